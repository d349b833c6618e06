# Fails unless the library exports exactly the twelve interface functions: for libtnl.so the
# defined symbols of its dynamic symbol table (nm), for tnl.dll the names of its export table
# (the cross toolchain's objdump).
#   cmake -DLIBRARY=path/libtnl.so -P check_exports.cmake
#   cmake -DLIBRARY=path/tnl.dll -DOBJDUMP=x86_64-w64-mingw32-objdump -P check_exports.cmake
set(found "")
if(LIBRARY MATCHES "\\.dll$")
  execute_process(COMMAND ${OBJDUMP} -p ${LIBRARY} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} -p failed on ${LIBRARY}")
  endif()
  # The name table follows "[Ordinal/Name Pointer] Table", one "[   n] name" line per export.
  string(FIND "${dump}" "[Ordinal/Name Pointer] Table" start)
  if(start EQUAL -1)
    message(FATAL_ERROR "${LIBRARY} has no export name table")
  endif()
  string(SUBSTRING "${dump}" ${start} -1 table)
  string(REGEX REPLACE "\n[ \t]*\n.*" "" table "${table}")
  string(REGEX MATCHALL "\\[ *[0-9]+\\] [^\n]+" entries "${table}")
  foreach(entry IN LISTS entries)
    string(REGEX REPLACE ".* " "" name "${entry}")
    list(APPEND found ${name})
  endforeach()
else()
  execute_process(COMMAND nm -D --defined-only ${LIBRARY} OUTPUT_VARIABLE symbols RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "nm failed on ${LIBRARY}")
  endif()
  string(REGEX MATCHALL "[^ \n]+\n" names "${symbols}")
  foreach(line IN LISTS names)
    string(STRIP "${line}" name)
    list(APPEND found ${name})
  endforeach()
endif()
list(SORT found)
set(expected tnl_AddConnectionService tnl_ApplyConnection tnl_ConnectService tnl_CreateConnection
    tnl_DeleteAllConnections tnl_DeleteConnection tnl_DisconnectService tnl_GetConnectionsList
    tnl_GetLastError tnl_GetParam tnl_SetParam tnl_UpdateConnectionStatus)
if(NOT found STREQUAL expected)
  message(FATAL_ERROR "exported: ${found}\nexpected: ${expected}")
endif()
message(STATUS "the library exports exactly the twelve functions: ${found}")
