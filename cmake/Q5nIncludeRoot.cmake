# q5n_include_root(<var> NAME <name> BASE <folder> ENTRIES <entry>...)
#
# Makes the include root of a library: a folder in the build tree that holds,
# under their usual names, symbolic links to the library's own source folders
# or files (entries relative to BASE) and nothing else. A library's sources and
# everything that links it include "model/ConfigImage.h" through its root and
# the roots of the layers below; the headers of a layer above are not there,
# so including one fails to compile. Sets <var> to the root's path.
function(q5n_include_root var)
  cmake_parse_arguments(ARG "" "NAME;BASE" "ENTRIES" ${ARGN})
  set(root ${CMAKE_BINARY_DIR}/include/${ARG_NAME})
  file(REMOVE_RECURSE ${root})
  foreach(entry IN LISTS ARG_ENTRIES)
    get_filename_component(parent ${root}/${entry} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    file(CREATE_LINK ${ARG_BASE}/${entry} ${root}/${entry} SYMBOLIC)
  endforeach()
  set(${var} ${root} PARENT_SCOPE)
endfunction()

# The entries of `folder` (relative to `base`) whose names match one of the
# patterns, as paths relative to `base`; new files are found at the next build.
function(q5n_folder_files var base folder)
  set(found)
  foreach(pattern IN LISTS ARGN)
    file(GLOB matches RELATIVE ${base} CONFIGURE_DEPENDS ${base}/${folder}/${pattern})
    list(APPEND found ${matches})
  endforeach()
  list(REMOVE_DUPLICATES found)
  list(SORT found)
  set(${var} ${found} PARENT_SCOPE)
endfunction()
