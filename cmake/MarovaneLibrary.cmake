# SPDX-License-Identifier: GPL-3.0-or-later
# marovane_headers(TARGET FOLDER): the headers of the folder this is called
# from are seen as "<FOLDER>/<Header>.h", and only by targets that link
# TARGET: it gets an include directory of its own that holds links to these
# headers and no others. A header of a library that a target does not link,
# one above it in particular, is then not found and the build fails.
function(marovane_headers name folder)
  set(root ${PROJECT_BINARY_DIR}/include/${name})
  file(REMOVE_RECURSE ${root})
  file(MAKE_DIRECTORY ${root}/${folder})
  file(GLOB headers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  foreach(header IN LISTS headers)
    get_filename_component(file ${header} NAME)
    file(CREATE_LINK ${header} ${root}/${folder}/${file} SYMBOLIC)
  endforeach()
  target_include_directories(${name} PUBLIC ${root})
endfunction()

# marovane_library(NAME SOURCES...): the library of the folder this is called
# from, its headers seen as "<folder>/<Header>.h", the folder counted from
# src/.
function(marovane_library name)
  add_library(${name} STATIC ${ARGN})
  file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR}/src ${CMAKE_CURRENT_SOURCE_DIR})
  marovane_headers(${name} ${folder})
endfunction()
