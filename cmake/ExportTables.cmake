# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

# Export tables of the libraries, written from one list of operations per library.
#
# An operation is NAME:BYTES, BYTES being the size of its arguments on 32-bit x86. On
# 32-bit Windows the operations are __stdcall and travel under their decorated names
# (_NAME@BYTES); 64-bit Windows has one calling convention and no decoration, and ELF
# has none either, so there they travel as NAME.

# Splits NAME:BYTES into its two parts.
function(_operation_parts operation name_var bytes_var)
  string(REPLACE ":" ";" parts "${operation}")
  list(GET parts 0 name)
  list(GET parts 1 bytes)
  set(${name_var} ${name} PARENT_SCOPE)
  set(${bytes_var} ${bytes} PARENT_SCOPE)
endfunction()

# Rewrites the file only when its text changes, so that nothing relinks for nothing.
function(_write_if_changed path text)
  if(EXISTS ${path})
    file(READ ${path} old)
    if(old STREQUAL text)
      return()
    endif()
  endif()
  file(WRITE ${path} "${text}")
endfunction()

# export_table_windows(OUTPUT file LIBRARY dll OPERATIONS op... [PLAIN name...])
# The DLL's module definition file: the operations at ordinals 1, 2, ... in the order
# given, then the PLAIN (undecorated cdecl) names after them.
function(export_table_windows)
  cmake_parse_arguments(ARG "" "OUTPUT;LIBRARY" "OPERATIONS;PLAIN" ${ARGN})
  set(text "; Made by cmake/ExportTables.cmake from the list in CMakeLists.txt.\nLIBRARY \"${ARG_LIBRARY}\"\nEXPORTS\n")
  set(ordinal 0)
  foreach(operation IN LISTS ARG_OPERATIONS)
    math(EXPR ordinal "${ordinal} + 1")
    _operation_parts(${operation} name bytes)
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
      # The object symbol is the stdcall name; the linker drops the leading underscore
      # of .def names, so each entry renames the decorated name back in.
      string(APPEND text "  _${name}@${bytes} = ${name}@${bytes} @${ordinal}\n")
    else()
      string(APPEND text "  ${name} @${ordinal}\n")
    endif()
  endforeach()
  foreach(name IN LISTS ARG_PLAIN)
    math(EXPR ordinal "${ordinal} + 1")
    string(APPEND text "  ${name} @${ordinal}\n")
  endforeach()
  _write_if_changed(${ARG_OUTPUT} "${text}")
endfunction()

# import_table_windows(OUTPUT file LIBRARY dll OPERATIONS op...)
# Input for dlltool: an import library that binds what the compiler calls each operation
# to the name the DLL exports (on 32-bit x86, NAME@BYTES to _NAME@BYTES, which the
# linker's own import library gets wrong).
function(import_table_windows)
  cmake_parse_arguments(ARG "" "OUTPUT;LIBRARY" "OPERATIONS" ${ARGN})
  set(text "; Made by cmake/ExportTables.cmake from the list in CMakeLists.txt.\nLIBRARY \"${ARG_LIBRARY}\"\nEXPORTS\n")
  foreach(operation IN LISTS ARG_OPERATIONS)
    _operation_parts(${operation} name bytes)
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
      string(APPEND text "  ${name}@${bytes} == _${name}@${bytes}\n")
    else()
      string(APPEND text "  ${name}\n")
    endif()
  endforeach()
  _write_if_changed(${ARG_OUTPUT} "${text}")
endfunction()

# export_table_elf(OUTPUT file OPERATIONS op...)
# A linker version script that exports the operations and hides everything else.
function(export_table_elf)
  cmake_parse_arguments(ARG "" "OUTPUT" "OPERATIONS" ${ARGN})
  set(text "/* Made by cmake/ExportTables.cmake from the list in CMakeLists.txt. */\n{\n  global:\n")
  foreach(operation IN LISTS ARG_OPERATIONS)
    _operation_parts(${operation} name bytes)
    string(APPEND text "    ${name};\n")
  endforeach()
  string(APPEND text "  local: *;\n};\n")
  _write_if_changed(${ARG_OUTPUT} "${text}")
endfunction()
