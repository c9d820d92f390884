cmake_minimum_required(VERSION 3.20)
# Fails when the module's code hands the system a way into it that does not go through the
# entry points (core/entry_points.h), which take the module's running scope first:
#
#   cmake -DSOURCE_DIR=<tree> [-DFOLDERS=core;forms;...] [-DSTAMP=<file>] -P check_entries.cmake
#
#   a message hook            SetWindowsHookEx, only in core/entry_points.h
#   a subclassed control      a window procedure set through SetWindowLongPtr or SetClassLongPtr,
#                             or SetWindowSubclass: only in core/entry_points.h
#   a window class            RegisterClass, only in forms/window_class.cpp, whose rows can only
#                             be made from an entry point
#   work on another thread    a pool submit, a work item, a wait or timer callback or a thread of
#                             its own: only the give-back of loader references in
#                             core/loader_reference.cpp, which runs on the very reference it frees
#
# The sources are read statement by statement, without their comments, so a call split over lines
# is seen whole.
set(rules hook subclass window_class pool)
set(hook_pattern "SetWindowsHookEx")
set(hook_allowed core/entry_points.h)
set(subclass_pattern "Set(Window|Class)Long(Ptr)?[AW]?[ \t]*\\([^,]*,[ \t]*G[CW]LP?_WNDPROC|SetWindowSubclass")
set(subclass_allowed core/entry_points.h)
set(window_class_pattern "RegisterClass(Ex)?[AW]?[ \t]*\\(")
set(window_class_allowed forms/window_class.cpp)
set(pool_pattern "SubmitThreadpool|CreateThreadpool(Work|Wait|Timer|Io)|QueueUserWorkItem|RegisterWaitForSingleObject|CreateTimerQueueTimer|CreateThread[ \t]*\\(|_beginthread")
set(pool_allowed core/loader_reference.cpp)

if(NOT DEFINED SOURCE_DIR)
  message(FATAL_ERROR "check_entries.cmake needs -DSOURCE_DIR=...")
endif()
if(NOT DEFINED FOLDERS)
  set(FOLDERS core forms shell viewer about plugin component)
endif()
if(STAMP)
  file(REMOVE ${STAMP})
endif()

set(sources "")
foreach(folder IN LISTS FOLDERS)
  file(GLOB_RECURSE found RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/${folder}/*.h ${SOURCE_DIR}/${folder}/*.cpp)
  list(APPEND sources ${found})
endforeach()
if(NOT sources)
  message(FATAL_ERROR "check_entries.cmake: no source under ${FOLDERS} in ${SOURCE_DIR}")
endif()

set(violations "")
foreach(source IN LISTS sources)
  file(READ ${SOURCE_DIR}/${source} text)
  string(REGEX REPLACE "//[^\n]*" "" text "${text}")
  string(REGEX REPLACE "[\r\n]+" " " text "${text}")
  # Statements: CMake's lists split on ';', which the text then no longer holds.
  string(REPLACE "[" "<" text "${text}")
  string(REPLACE "]" ">" text "${text}")
  foreach(statement IN LISTS text)
    foreach(rule IN LISTS rules)
      if(statement MATCHES "${${rule}_pattern}" AND NOT source IN_LIST ${rule}_allowed)
        list(APPEND violations "${source}: ${CMAKE_MATCH_0} (${rule}, only in ${${rule}_allowed})")
      endif()
    endforeach()
  endforeach()
endforeach()

if(violations)
  list(REMOVE_DUPLICATES violations)
  list(JOIN violations "\n  " shown)
  message(FATAL_ERROR "Ways into the module that do not go through its entry points:\n  ${shown}")
endif()
if(STAMP)
  file(WRITE ${STAMP} "")
endif()
