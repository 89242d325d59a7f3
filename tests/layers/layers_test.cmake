# The layering check passes on a copy of the real sources and fails once one file of the copy
# includes a header of a higher layer.
#   cmake -DSOURCE_DIR=<src> -DCHECK=<check_layers.cmake> -DGRAPH=<layer graph> -DSCRATCH=<folder>
#         -P layers_test.cmake

file(REMOVE_RECURSE "${SCRATCH}")
file(COPY "${SOURCE_DIR}/" DESTINATION "${SCRATCH}/src")

execute_process(COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${SCRATCH}/src -DGRAPH=${GRAPH} -P ${CHECK}
                RESULT_VARIABLE clean_result ERROR_VARIABLE clean_output)
if(NOT clean_result EQUAL 0)
  message(FATAL_ERROR "the unchanged copy should pass:\n${clean_output}")
endif()

file(APPEND "${SCRATCH}/src/base/text_ops.h" "\n#include \"session/session.h\"\n")
execute_process(COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${SCRATCH}/src -DGRAPH=${GRAPH} -P ${CHECK}
                RESULT_VARIABLE wrong_result ERROR_VARIABLE wrong_output)
if(wrong_result EQUAL 0)
  message(FATAL_ERROR "an include of a higher layer went unnoticed")
endif()
if(NOT wrong_output MATCHES "base/text_ops.h: #include \"session/session.h\"")
  message(FATAL_ERROR "the failure does not name the file and its include:\n${wrong_output}")
endif()

# A sibling layer is no lower layer either.
file(COPY "${SOURCE_DIR}/base/text_ops.h" DESTINATION "${SCRATCH}/src/base")
file(APPEND "${SCRATCH}/src/text/typeset.h" "\n#include \"net/web_request.h\"\n")
execute_process(COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${SCRATCH}/src -DGRAPH=${GRAPH} -P ${CHECK}
                RESULT_VARIABLE sibling_result ERROR_VARIABLE sibling_output)
if(sibling_result EQUAL 0 OR NOT sibling_output MATCHES "text/typeset.h")
  message(FATAL_ERROR "an include of a sibling layer went unnoticed:\n${sibling_output}")
endif()
file(REMOVE_RECURSE "${SCRATCH}")
