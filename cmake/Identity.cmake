# The component's identity is written once, in its IDL: the library's name, LIBID, version and
# locale, the class's name and CLSID, and the class's default interface. The constants by which
# hosts and the registry know the component (plugin/identity.h) and the assembly manifest the DLL
# carries are made from it when the build is configured, and again whenever the IDL changes.
#
# quillpost_read_identity(<idl>) sets, in the caller's scope:
#   QUILLPOST_LIBRARY, QUILLPOST_LIBID, QUILLPOST_TYPELIB_MAJOR, QUILLPOST_TYPELIB_MINOR,
#   QUILLPOST_TYPELIB_LOCALE, QUILLPOST_CLASS, QUILLPOST_CLSID, QUILLPOST_PROGID (the library's
#   name, a dot, the class's), QUILLPOST_INTERFACE, QUILLPOST_IID, QUILLPOST_THREADING_MODEL.
# Identifiers are upper case, without braces.

# IDL has no word for the apartments a class lives in: the registry and the manifest say it.
set(QUILLPOST_THREADING_MODEL Apartment)

set(_quillpost_name "[A-Za-z_][A-Za-z0-9_]*")
set(_quillpost_blank "[ \t\r\n]")
set(_quillpost_guid "[0-9A-Fa-f]+-[0-9A-Fa-f]+-[0-9A-Fa-f]+-[0-9A-Fa-f]+-[0-9A-Fa-f]+")

# The attribute list ([...]) written just before "<keyword> <name>", and the name.
function(_quillpost_declaration idl text keyword name_pattern attributes_variable name_variable)
  set(blank ${_quillpost_blank})
  string(REGEX MATCHALL "(^|[^A-Za-z0-9_])${keyword}${blank}+${name_pattern}${blank}*[{:]" all "${text}")
  list(LENGTH all count)
  if(NOT count EQUAL 1)
    message(FATAL_ERROR "${idl}: the identity needs one ${keyword} ${name_pattern}, found ${count}")
  endif()
  if(NOT text MATCHES "\\[([^]]*)\\]${blank}*${keyword}${blank}+(${name_pattern})${blank}*[{:]")
    message(FATAL_ERROR "${idl}: the ${keyword} has no attributes in [...]")
  endif()
  set(${attributes_variable} "${CMAKE_MATCH_1}" PARENT_SCOPE)
  set(${name_variable} "${CMAKE_MATCH_2}" PARENT_SCOPE)
endfunction()

function(_quillpost_uuid idl what attributes variable)
  if(NOT attributes MATCHES "(^|[^A-Za-z0-9_])uuid${_quillpost_blank}*\\(${_quillpost_blank}*(${_quillpost_guid})")
    message(FATAL_ERROR "${idl}: the ${what} has no uuid(...)")
  endif()
  string(TOUPPER "${CMAKE_MATCH_2}" uuid)
  set(${variable} ${uuid} PARENT_SCOPE)
endfunction()

macro(quillpost_read_identity idl)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${idl})
  file(READ ${idl} _quillpost_text)
  # Comments could hold anything, even a sample declaration.
  string(REGEX REPLACE "/\\*([^*]|\\*+[^*/])*\\*+/" "" _quillpost_text "${_quillpost_text}")
  string(REGEX REPLACE "//[^\n]*" "" _quillpost_text "${_quillpost_text}")

  _quillpost_declaration(${idl} "${_quillpost_text}" library ${_quillpost_name} _quillpost_attributes
                         QUILLPOST_LIBRARY)
  _quillpost_uuid(${idl} library "${_quillpost_attributes}" QUILLPOST_LIBID)
  if(NOT _quillpost_attributes MATCHES "version${_quillpost_blank}*\\(${_quillpost_blank}*([0-9]+)\\.([0-9]+)")
    message(FATAL_ERROR "${idl}: the library has no version(major.minor)")
  endif()
  set(QUILLPOST_TYPELIB_MAJOR ${CMAKE_MATCH_1})
  set(QUILLPOST_TYPELIB_MINOR ${CMAKE_MATCH_2})
  if(NOT _quillpost_attributes MATCHES "lcid${_quillpost_blank}*\\(${_quillpost_blank}*(0[xX][0-9A-Fa-f]+|[0-9]+)")
    message(FATAL_ERROR "${idl}: the library has no lcid(...)")
  endif()
  set(QUILLPOST_TYPELIB_LOCALE ${CMAKE_MATCH_1})

  _quillpost_declaration(${idl} "${_quillpost_text}" coclass ${_quillpost_name} _quillpost_attributes
                         QUILLPOST_CLASS)
  _quillpost_uuid(${idl} class "${_quillpost_attributes}" QUILLPOST_CLSID)
  set(QUILLPOST_PROGID ${QUILLPOST_LIBRARY}.${QUILLPOST_CLASS})
  string(REGEX MATCH "coclass${_quillpost_blank}+${QUILLPOST_CLASS}${_quillpost_blank}*{[^}]*}" _quillpost_body
         "${_quillpost_text}")
  if(NOT _quillpost_body MATCHES "\\[[^]]*default[^]]*\\]${_quillpost_blank}*interface${_quillpost_blank}+(${_quillpost_name})")
    message(FATAL_ERROR "${idl}: the class ${QUILLPOST_CLASS} names no [default] interface")
  endif()
  set(QUILLPOST_INTERFACE ${CMAKE_MATCH_1})

  _quillpost_declaration(${idl} "${_quillpost_text}" interface ${QUILLPOST_INTERFACE} _quillpost_attributes
                         _quillpost_unused)
  _quillpost_uuid(${idl} "interface ${QUILLPOST_INTERFACE}" "${_quillpost_attributes}" QUILLPOST_IID)
endmacro()
