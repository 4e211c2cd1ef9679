# SPDX-License-Identifier: GPL-3.0-or-later
# Fails when a file below the Qt shell includes a Qt header or reaches another
# folder by a relative path: the include directories of the libraries stop
# every other upward include at build time, but not these.
file(GLOB_RECURSE sources ${SOURCE_DIR}/src/midi/* ${SOURCE_DIR}/src/engine/*
  ${SOURCE_DIR}/src/patterns/* ${SOURCE_DIR}/src/ports/*)
set(found "")
foreach(source IN LISTS sources)
  file(STRINGS ${source} lines REGEX "^#include *[<\"](Q[A-Za-z]|\\.\\./)")
  foreach(line IN LISTS lines)
    string(APPEND found "\n  ${source}: ${line}")
  endforeach()
endforeach()
if(found)
  message(FATAL_ERROR "Includes that break the layering:${found}")
endif()
