# The fuzz targets: each fuzz/<name>.cpp defines LLVMFuzzerTestOneInput, linked with the library
# named after the colon. fuzz/CMakeLists.txt builds them for libFuzzer; tests/CMakeLists.txt builds
# each into a replay program run over fuzz/corpus/<name>/.
set(ATELIER_FUZZ_TARGETS
  pe:atelier_core
  res:atelier_core
  rccompile:atelier_core
  rcwriter:atelier_core
  stringblock:atelier_core
  stringtext:atelier_core
  cursor:atelier_gui
  shelllink:atelier_platform
  settings:atelier_platform
  expr:atelier_core
  versioninfo:atelier_core
  png:atelier_platform
  jpeg:atelier_platform
  bitmap:atelier_core
  iconimage:atelier_core
  ani:atelier_core
  font:atelier_core
  dialog:atelier_core
  menu:atelier_core
  msgtable:atelier_core
  rtf:atelier_gui
  mht:atelier_gui
  typelib:atelier_gui
  rcpp:atelier_core
  hwb:atelier_core
  memmodule:atelier_core
  riff:atelier_gui
  package:atelier_core
  gif:atelier_core
)
set(ATELIER_FUZZ_DIR ${CMAKE_CURRENT_LIST_DIR})

# atelier_fuzz_executable(<executable> <target name> <library> <extra sources...>)
function(atelier_fuzz_executable executable name library)
  # The common helpers start the model's units, so they link the core.
  if(NOT TARGET atelier_fuzz_support)
    add_library(atelier_fuzz_support STATIC ${ATELIER_FUZZ_DIR}/FuzzCommon.cpp ${ATELIER_FUZZ_DIR}/FuzzModules.cpp)
    target_link_libraries(atelier_fuzz_support PUBLIC atelier_core)
    target_include_directories(atelier_fuzz_support PUBLIC ${ATELIER_FUZZ_DIR})
    atelier_target_defaults(atelier_fuzz_support)
  endif()
  add_executable(${executable} ${ATELIER_FUZZ_DIR}/${name}.cpp ${ARGN})
  target_link_libraries(${executable} PRIVATE ${library} atelier_fuzz_support)
  atelier_target_defaults(${executable})
endfunction()
