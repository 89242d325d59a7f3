# The layers and what each may use, declared once. quorvex_layer() makes a layer's library and
# links it to the layers it uses; the includes a layer may make are those of the layers it reaches
# through these links, and quorvex_write_layer_graph() writes them down for check_layers.cmake.
#   quorvex_layer(NAME [TARGET library] [USES lower layers...] SOURCES files...)

function(quorvex_layer name)
  cmake_parse_arguments(PARSE_ARGV 1 layer "" "TARGET" "USES;SOURCES")
  if(NOT layer_TARGET)
    set(layer_TARGET quorvex_${name})
  endif()
  add_library(${layer_TARGET} STATIC ${layer_SOURCES})
  set(reach ${layer_USES})
  foreach(lower IN LISTS layer_USES)
    get_property(lower_target GLOBAL PROPERTY QUORVEX_LAYER_TARGET_${lower})
    if(NOT lower_target)
      message(FATAL_ERROR "layer ${name} uses ${lower}, which is not declared before it")
    endif()
    target_link_libraries(${layer_TARGET} PUBLIC ${lower_target})
    get_property(below GLOBAL PROPERTY QUORVEX_LAYER_REACH_${lower})
    list(APPEND reach ${below})
  endforeach()
  list(REMOVE_DUPLICATES reach)
  set_property(GLOBAL PROPERTY QUORVEX_LAYER_TARGET_${name} ${layer_TARGET})
  set_property(GLOBAL PROPERTY QUORVEX_LAYER_REACH_${name} ${reach})
  set_property(GLOBAL APPEND PROPERTY QUORVEX_LAYERS ${name})
endfunction()

# Writes every declared layer and the layers it reaches as CMake variables (layers, layer_NAME).
function(quorvex_write_layer_graph file)
  get_property(layers GLOBAL PROPERTY QUORVEX_LAYERS)
  set(text "# Written by cmake/layers.cmake from the layers' declarations.\nset(layers ${layers})\n")
  foreach(layer IN LISTS layers)
    get_property(reach GLOBAL PROPERTY QUORVEX_LAYER_REACH_${layer})
    string(APPEND text "set(layer_${layer} ${reach})\n")
  endforeach()
  # Rewritten only when it changes, so that the check runs again only then.
  file(WRITE "${file}.new" "${text}")
  configure_file("${file}.new" "${file}" COPYONLY)
endfunction()
