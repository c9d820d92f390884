# Layers point down only: core, then forms, then viewer and about, then plugin, then component (the DLL); the
# host program stands apart. Once a layer's objects are compiled, cmake/check_layers.cmake reads
# the files the compiler really opened for them, and the build stops on one against that direction.
#
# quillpost_check_layers(<name> <layer> <target> [<layer> <target>]...): a target <name>, built by
# default, that checks each <target> as <layer> once it is built, and again whenever it changes.
# quillpost_check_layer_before_link(<target> <layer>): checks <target>'s objects before it is
# linked, so that nothing is made of them; call it where <target> is made.

set(QUILLPOST_CHECK_LAYERS ${CMAKE_CURRENT_LIST_DIR}/check_layers.cmake)

# Only the Makefile generators leave the compiler's dependency files beside the objects (Ninja
# takes them into its own log and deletes them; Visual Studio's projects write none).
if(CMAKE_GENERATOR MATCHES "Makefiles")
  set(QUILLPOST_LAYER_CHECK ON)
else()
  set(QUILLPOST_LAYER_CHECK OFF)
  message(WARNING "The layer check reads the dependency files that the compiler writes beside each "
                  "object, which only the Makefile generators keep: this ${CMAKE_GENERATOR} build "
                  "does not check the layers.")
endif()

function(_quillpost_layer_check_command variable target layer)
  set(${variable} ${CMAKE_COMMAND} -DLAYER=${layer} "-DOBJECTS=$<TARGET_OBJECTS:${target}>"
      "-DWORK_DIR=$<TARGET_PROPERTY:${target},BINARY_DIR>" -DSOURCE_DIR=${CMAKE_SOURCE_DIR}
      -DBINARY_DIR=${CMAKE_BINARY_DIR} ${ARGN} -P ${QUILLPOST_CHECK_LAYERS} PARENT_SCOPE)
endfunction()

function(quillpost_check_layers name)
  set(stamps "")
  if(QUILLPOST_LAYER_CHECK)
    set(pairs ${ARGN})
    while(pairs)
      list(POP_FRONT pairs layer target)
      # The stamp is written only when the check passes: a failed check runs again next build.
      set(stamp ${CMAKE_BINARY_DIR}/layer_check/${target}.passed)
      _quillpost_layer_check_command(command ${target} ${layer} -DSTAMP=${stamp})
      add_custom_command(OUTPUT ${stamp} COMMAND ${command}
        DEPENDS ${target} ${QUILLPOST_CHECK_LAYERS}
        COMMENT "Checking what ${target} was compiled against (layer ${layer})" VERBATIM)
      list(APPEND stamps ${stamp})
    endwhile()
  endif()
  add_custom_target(${name} ALL DEPENDS ${stamps})
endfunction()

function(quillpost_check_layer_before_link target layer)
  if(QUILLPOST_LAYER_CHECK)
    _quillpost_layer_check_command(command ${target} ${layer})
    add_custom_command(TARGET ${target} PRE_LINK COMMAND ${command}
      COMMENT "Checking what ${target} was compiled against (layer ${layer})" VERBATIM)
  endif()
endfunction()
