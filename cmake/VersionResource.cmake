# The program's own version resource: the bytes of a VS_VERSIONINFO block made from the project version,
# written as a C++ array (AtelierVersionResource, AtelierVersionResourceSize) that src/model/VersionInfo
# reads. Texts must be ASCII (they are widened byte by byte).

# Little-endian hex of an unsigned value in `bytes` bytes.
function(_atelier_vr_le out value bytes)
  math(EXPR hex "${value}" OUTPUT_FORMAT HEXADECIMAL)
  string(SUBSTRING "${hex}" 2 -1 hex)
  math(EXPR digits "${bytes} * 2")
  string(LENGTH "${hex}" len)
  while(len LESS digits)
    string(PREPEND hex "0")
    math(EXPR len "${len} + 1")
  endwhile()
  set(le "")
  math(EXPR last "${digits} - 2")
  foreach(i RANGE ${last} 0 -2)
    string(SUBSTRING "${hex}" ${i} 2 pair)
    string(APPEND le "${pair}")
  endforeach()
  set(${out} "${le}" PARENT_SCOPE)
endfunction()

# UTF-16LE hex of an ASCII text with its terminating zero.
function(_atelier_vr_text out text)
  if(NOT text MATCHES "^[ -~]*$")
    message(FATAL_ERROR "Version resource texts must be ASCII: ${text}")
  endif()
  string(HEX "${text}" hex)
  string(REGEX REPLACE "(..)" "\\100" hex "${hex}")
  set(${out} "${hex}0000" PARENT_SCOPE)
endfunction()

# Pads hex to a 32-bit boundary counted from `base` bytes before it.
function(_atelier_vr_pad var base)
  string(LENGTH "${${var}}" len)
  math(EXPR at "${base} + ${len} / 2")
  math(EXPR missing "(4 - ${at} % 4) % 4")
  if(missing GREATER 0)
    foreach(i RANGE 1 ${missing})
      string(APPEND ${var} "00")
    endforeach()
  endif()
  set(${var} "${${var}}" PARENT_SCOPE)
endfunction()

# One block: length, value length, type (1 text, 0 binary), key, value, children (each starts aligned).
function(_atelier_vr_block out key type value value_length)
  _atelier_vr_text(body "${key}")
  _atelier_vr_pad(body 6)
  string(APPEND body "${value}")
  foreach(child IN LISTS ARGN)
    _atelier_vr_pad(body 6)
    string(APPEND body "${child}")
  endforeach()
  string(LENGTH "${body}" len)
  math(EXPR length "6 + ${len} / 2")
  _atelier_vr_le(h1 ${length} 2)
  _atelier_vr_le(h2 ${value_length} 2)
  _atelier_vr_le(h3 ${type} 2)
  set(${out} "${h1}${h2}${h3}${body}" PARENT_SCOPE)
endfunction()

function(_atelier_vr_string out key text)
  _atelier_vr_text(value "${text}")
  string(LENGTH "${text}" chars)
  math(EXPR chars "${chars} + 1")
  _atelier_vr_block(block "${key}" 1 "${value}" ${chars})
  set(${out} "${block}" PARENT_SCOPE)
endfunction()

function(atelier_version_resource output)
  set(major ${PROJECT_VERSION_MAJOR})
  set(minor ${PROJECT_VERSION_MINOR})
  set(patch ${PROJECT_VERSION_PATCH})
  set(tweak ${PROJECT_VERSION_TWEAK})
  foreach(part major minor patch tweak)
    if("${${part}}" STREQUAL "")
      set(${part} 0)
    endif()
  endforeach()
  set(file_version "${major}.${minor}.${patch}.${tweak}")

  math(EXPR version_ms "(${major} << 16) | ${minor}")
  math(EXPR version_ls "(${patch} << 16) | ${tweak}")
  set(flags 0)
  if(CMAKE_BUILD_TYPE STREQUAL "Debug")
    set(flags 1) # VS_FF_DEBUG
  endif()
  # Signature, structure version, file and product versions, flags mask and flags, OS (unknown),
  # type (application), subtype, date.
  set(fixed "")
  foreach(v 0xFEEF04BD 0x00010000 ${version_ms} ${version_ls} ${version_ms} ${version_ls} 0x3F ${flags} 0 1 0 0 0)
    _atelier_vr_le(h ${v} 4)
    string(APPEND fixed "${h}")
  endforeach()

  set(strings "")
  foreach(pair
      "CompanyName=Lorn Kestovar"
      "FileDescription=Atelier resource editor"
      "FileVersion=${file_version}"
      "InternalName=atelier"
      "LegalCopyright=Copyright (C) Lorn Kestovar"
      "OriginalFilename=atelier"
      "ProductName=Atelier"
      "ProductVersion=${PROJECT_VERSION}")
    string(FIND "${pair}" "=" eq)
    string(SUBSTRING "${pair}" 0 ${eq} key)
    math(EXPR eq "${eq} + 1")
    string(SUBSTRING "${pair}" ${eq} -1 text)
    _atelier_vr_string(s "${key}" "${text}")
    list(APPEND strings "${s}")
  endforeach()
  # US English, Unicode.
  _atelier_vr_block(table "040904b0" 1 "" 0 ${strings})
  _atelier_vr_block(string_info "StringFileInfo" 1 "" 0 "${table}")
  _atelier_vr_le(translation 0x04B00409 4)
  _atelier_vr_block(var "Translation" 0 "${translation}" 4)
  _atelier_vr_block(var_info "VarFileInfo" 1 "" 0 "${var}")
  _atelier_vr_block(root "VS_VERSION_INFO" 0 "${fixed}" 52 "${string_info}" "${var_info}")

  string(REGEX REPLACE "(..)" "0x\\1," bytes "${root}")
  string(REPEAT "0x..," 16 row)
  string(REGEX REPLACE "(${row})" "\\1\n  " bytes "${bytes}")
  file(CONFIGURE OUTPUT "${output}" CONTENT
"// Generated from the project version by cmake/VersionResource.cmake.
#include <cstddef>
extern const unsigned char AtelierVersionResource[] = {
  @bytes@
};
extern const std::size_t AtelierVersionResourceSize = sizeof(AtelierVersionResource);
" @ONLY)
endfunction()
