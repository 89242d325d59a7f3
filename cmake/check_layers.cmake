# Fails when a source file includes a header of a higher layer, or of a sibling layer.
#   cmake -DSOURCE_DIR=<src folder> -DGRAPH=<layer graph> [-DSTAMP=<file to touch on success>]
#         -P check_layers.cmake
# A layer may include its own headers and those of the layers it reaches through the layers it
# uses. GRAPH is the file cmake/layers.cmake writes from the layers' declarations (layers, and
# layer_NAME for each).

if(NOT GRAPH OR NOT EXISTS "${GRAPH}")
  message(FATAL_ERROR "check_layers: GRAPH names no layer graph (${GRAPH})")
endif()
include("${GRAPH}")

if(NOT SOURCE_DIR)
  message(FATAL_ERROR "check_layers: SOURCE_DIR is not set")
endif()

set(problems "")
foreach(layer IN LISTS layers)
  file(GLOB_RECURSE files "${SOURCE_DIR}/${layer}/*.h" "${SOURCE_DIR}/${layer}/*.cpp")
  foreach(file IN LISTS files)
    file(STRINGS "${file}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"[A-Za-z_]+/")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([A-Za-z_]+)/.*" "\\1" target "${line}")
      if(target STREQUAL layer)
        continue()
      endif()
      list(FIND layers "${target}" known)
      if(known EQUAL -1)
        continue()  # not one of ours (a library's folder)
      endif()
      list(FIND layer_${layer} "${target}" allowed)
      if(allowed EQUAL -1)
        file(RELATIVE_PATH shown "${SOURCE_DIR}" "${file}")
        string(STRIP "${line}" line)
        string(APPEND problems "  ${shown}: ${line} (${layer} may use: ${layer_${layer}})\n")
      endif()
    endforeach()
  endforeach()
endforeach()

if(problems)
  message(FATAL_ERROR "Layering: these files include headers of a layer above or beside them:\n"
                      "${problems}")
endif()
if(STAMP)
  file(TOUCH "${STAMP}")
endif()
