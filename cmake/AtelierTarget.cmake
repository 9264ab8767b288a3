# Common settings of every target: warnings, include root, precompiled standard and Qt headers.
set(ATELIER_PCH_HEADERS
  <QString> <QByteArray> <QList> <QStringList> <QObject> <QVariant> <QMetaType>
  <cstdint> <memory> <vector> <functional> <algorithm> <string>)

function(atelier_target_defaults target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wno-unused-parameter)
  target_compile_definitions(${target} PRIVATE QT_NO_KEYWORDS QT_USE_QSTRINGBUILDER)
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/src)
  target_precompile_headers(${target} PRIVATE ${ATELIER_PCH_HEADERS} ${ARGN})
endfunction()
