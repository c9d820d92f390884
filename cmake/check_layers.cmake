cmake_minimum_required(VERSION 3.20)
# Fails when a source includes a header of a higher layer (cmake -DSOURCE_DIR=... -P).
#
#   component   exports, class factory, registration
#   plugin      Sample and the host contract
#   viewer  about   the two windows, side by side, unaware of each other
#   base        handle owners, units, error text, the module's handle and lock
#
# "quillpost_idl.h", the interface generated from the IDL, is for the layers that speak _Sample.
# The host program is a client of the DLL and includes nothing of its insides.
set(allowed_base base)
set(allowed_viewer base viewer)
set(allowed_about base about)
set(allowed_plugin base viewer about plugin interface)
set(allowed_component base viewer about plugin component interface)
set(allowed_host host)

set(violations "")
foreach(layer base viewer about plugin component host)
  file(GLOB_RECURSE sources RELATIVE ${SOURCE_DIR}
       ${SOURCE_DIR}/${layer}/*.h ${SOURCE_DIR}/${layer}/*.cpp ${SOURCE_DIR}/${layer}/*.rc)
  foreach(source ${sources})
    file(STRINGS ${SOURCE_DIR}/${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]+\"")
    foreach(line ${includes})
      string(REGEX REPLACE "^[^\"]*\"([^\"]*)\".*$" "\\1" header "${line}")
      if(header MATCHES "^([^/]+)/")
        set(target_layer ${CMAKE_MATCH_1})
      elseif(header STREQUAL "quillpost_idl.h")
        set(target_layer interface)
      else()
        set(target_layer ${layer})  # a header beside the source, or a resource of its own
      endif()
      if(NOT target_layer IN_LIST allowed_${layer})
        list(APPEND violations "${source}: \"${header}\" (${layer} may include only: ${allowed_${layer}})")
      endif()
    endforeach()
  endforeach()
endforeach()

if(violations)
  list(JOIN violations "\n  " text)
  message(FATAL_ERROR "Includes against the layers:\n  ${text}")
endif()
