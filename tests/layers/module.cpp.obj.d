base/CMakeFiles/quillpost_base.dir/module.cpp.obj: base/module.cpp \
 base/module.h /usr/share/mingw-w64/include/windows.h \
 base/../plugin/sample.h tests/layers/build/generated/component/quillpost_idl.h \
 tests/layers/build/generated/base/addresses.h /opt/a\ blank/x.h
