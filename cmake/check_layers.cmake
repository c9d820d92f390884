cmake_minimum_required(VERSION 3.20)
# Fails when an object of a layer was compiled against a header of a higher layer.
#
#   cmake -DLAYER=<layer> -DOBJECTS=<object>;... -DWORK_DIR=<directory the compiler ran in>
#         -DSOURCE_DIR=<source tree> -DBINARY_DIR=<build tree> [-DSTAMP=<file>] -P check_layers.cmake
#
# It reads what the compiler read, not what the sources say: the dependency file the compiler wrote
# beside each object (<object>.d) names every file it opened, however the include was spelt
# (quotes or angle brackets, "core/../plugin/x.h") and whatever file it sat in (.h, .inl, ...).
# Each path is resolved (links, "..") before its layer is looked up.
#
#   component   Quillpost.dll: exports, class factory, registration
#   plugin      Sample and the host contract
#   viewer  about   the two windows, side by side, unaware of each other
#   forms       the window core both forms share: form window, control tables, DPI, keyboard,
#               accessibility
#   shell       web addresses and the user's browser, handed to the system shell (beside forms)
#   core        the lifetime core: module holds, loader references, the COM object base, owners,
#               per-thread instances, error text
#
# A file of the build tree belongs to the folder it is generated for (generated/core/addresses.h is
# core). "quillpost_idl.h", the interface generated from the IDL, is for the layers that speak
# _Sample. The host program is a client of the DLL and reads nothing of its insides. Files outside
# both trees (the system's and the compiler's headers) belong to no layer and are not checked.
set(allowed_core core)
set(allowed_forms core forms)
set(allowed_shell core shell)
set(allowed_viewer core forms shell viewer)
set(allowed_about core forms shell about)
set(allowed_plugin core forms shell viewer about plugin interface)
set(allowed_component core forms shell viewer about plugin component interface)
set(allowed_host host)

foreach(required LAYER WORK_DIR SOURCE_DIR BINARY_DIR)
  if(NOT DEFINED ${required})
    message(FATAL_ERROR "check_layers.cmake needs -D${required}=...")
  endif()
endforeach()
if(NOT DEFINED allowed_${LAYER})
  message(FATAL_ERROR "check_layers.cmake: no layer called \"${LAYER}\"")
endif()

if(STAMP)
  file(REMOVE ${STAMP})
endif()
file(REAL_PATH ${SOURCE_DIR} source_root)
file(REAL_PATH ${BINARY_DIR} binary_root)

# below(<variable> <path> <root>): the part of <path> below <root>, or "" when it is not below it.
function(below variable path root)
  string(LENGTH "${root}/" length)
  string(SUBSTRING "${path}" 0 ${length} head)
  set(rest "")
  if(head STREQUAL "${root}/")
    string(SUBSTRING "${path}" ${length} -1 rest)
  endif()
  set(${variable} "${rest}" PARENT_SCOPE)
endfunction()

# layer_of(<variable> <resolved path>): the layer a file belongs to, or "" for files of neither
# tree. The build tree is looked at first, since it may lie inside the source tree.
function(layer_of variable path)
  set(layer "")
  below(in_build "${path}" ${binary_root})
  below(in_source "${path}" ${source_root})
  if(in_build MATCHES "^generated/component/quillpost_idl[^/]*$")
    set(layer interface)
  elseif(in_build MATCHES "^generated/([^/]+)/")
    set(layer ${CMAKE_MATCH_1})
  elseif(in_build)
    set(layer "the build tree")
  elseif(in_source MATCHES "^([^/]+)/")
    set(layer ${CMAKE_MATCH_1})
  elseif(in_source)
    set(layer "the tree's top")
  endif()
  set(${variable} "${layer}" PARENT_SCOPE)
endfunction()

# dependencies_of(<variable> <depfile>): the files a make-style dependency file lists.
function(dependencies_of variable depfile)
  file(READ ${depfile} text)
  string(REPLACE "\\\r\n" " " text "${text}")
  string(REPLACE "\\\n" " " text "${text}")
  # An escaped space belongs to the path; a list separator would split it.
  string(REPLACE "\\ " "<space>" text "${text}")
  string(REPLACE "$$" "$" text "${text}")
  string(REGEX REPLACE "[\r\n]+" ";" rules "${text}")
  set(files "")
  foreach(rule IN LISTS rules)
    if(rule MATCHES "^[ \t]*$")
      continue()
    endif()
    # "target: prerequisites"; a drive letter's colon is never followed by a blank.
    string(FIND "${rule}" ": " colon)
    if(colon LESS 0)
      if(rule MATCHES ":[ \t]*$")  # a rule with no prerequisites
        continue()
      endif()
      message(FATAL_ERROR "${depfile}: cannot read \"${rule}\"")
    endif()
    math(EXPR colon "${colon} + 2")
    string(SUBSTRING "${rule}" ${colon} -1 prerequisites)
    string(REGEX REPLACE "[ \t]+" ";" prerequisites "${prerequisites}")
    foreach(file IN LISTS prerequisites)
      if(file STREQUAL "")
        continue()
      endif()
      string(REPLACE "<space>" " " file "${file}")
      list(APPEND files "${file}")
    endforeach()
  endforeach()
  set(${variable} "${files}" PARENT_SCOPE)
endfunction()

set(violations "")
set(checked 0)
foreach(object IN LISTS OBJECTS)
  if(object STREQUAL "")
    continue()
  elseif(object MATCHES "\\.rc\\.[^/.]+$")
    continue()  # a compiled resource script: the resource compiler writes no dependency file
  endif()
  file(REAL_PATH "${object}" object BASE_DIRECTORY ${WORK_DIR})
  if(NOT EXISTS ${object}.d)
    message(FATAL_ERROR "${object}.d is missing: the layer check reads the dependency file the "
                        "compiler writes beside each object (-MD), which Makefile generators keep")
  endif()
  dependencies_of(files ${object}.d)
  foreach(file IN LISTS files)
    file(REAL_PATH "${file}" resolved BASE_DIRECTORY ${WORK_DIR})
    layer_of(target_layer "${resolved}")
    if(NOT target_layer STREQUAL "" AND NOT target_layer IN_LIST allowed_${LAYER})
      file(RELATIVE_PATH shown ${source_root} "${resolved}")
      get_filename_component(name ${object} NAME)
      list(APPEND violations "${name}: ${shown} (${target_layer})")
    endif()
  endforeach()
  math(EXPR checked "${checked} + 1")
endforeach()
if(checked EQUAL 0)
  message(FATAL_ERROR "check_layers.cmake: no object of layer ${LAYER} to check")
endif()

if(violations)
  list(REMOVE_DUPLICATES violations)
  list(JOIN violations "\n  " text)
  list(JOIN allowed_${LAYER} ", " allowed)
  message(FATAL_ERROR "Layer ${LAYER} (which may read only ${allowed}) was compiled "
                      "against files of other layers:\n  ${text}")
endif()
if(STAMP)
  file(WRITE ${STAMP} "")
endif()
