# Sources of the viewer window, compiled into Quillpost.dll.
set(QUILLPOST_VIEWER_SOURCES
  ${CMAKE_SOURCE_DIR}/viewer/form1.cpp
  ${CMAKE_SOURCE_DIR}/viewer/form1_window.cpp
  ${CMAKE_SOURCE_DIR}/viewer/picture.cpp
  ${CMAKE_SOURCE_DIR}/viewer/skin.cpp
  ${CMAKE_SOURCE_DIR}/viewer/browser_pane.cpp
  ${CMAKE_SOURCE_DIR}/viewer/browser_site.cpp
  ${CMAKE_SOURCE_DIR}/viewer/browser_frame.cpp
  ${CMAKE_SOURCE_DIR}/viewer/dpi_scope.cpp)
