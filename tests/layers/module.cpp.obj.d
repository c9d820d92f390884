core/CMakeFiles/quillpost_core.dir/module.cpp.obj: core/module.cpp \
 core/module.h /usr/share/mingw-w64/include/windows.h \
 core/../plugin/sample.h tests/layers/build/generated/component/quillpost_idl.h \
 core/../forms/form_window.h \
 tests/layers/build/generated/core/addresses.h /opt/a\ blank/x.h
