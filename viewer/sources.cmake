# Sources of the viewer window, compiled into Quillpost.dll.
set(QUILLPOST_VIEWER_SOURCES
  ${CMAKE_SOURCE_DIR}/viewer/form1.cpp)
