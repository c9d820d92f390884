# Sources of the About window, compiled into Quillpost.dll.
set(QUILLPOST_ABOUT_SOURCES
  ${CMAKE_SOURCE_DIR}/about/form2.cpp
  ${CMAKE_SOURCE_DIR}/about/form2_layout.cpp
  ${CMAKE_SOURCE_DIR}/about/shell.cpp)
