# Fails unless the library's dynamic symbol table defines exactly the twelve interface functions.
#   cmake -DLIBRARY=path/libtnl.so -P check_exports.cmake
execute_process(COMMAND nm -D --defined-only ${LIBRARY} OUTPUT_VARIABLE symbols RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
string(REGEX MATCHALL "[^ \n]+\n" names "${symbols}")
set(found "")
foreach(line IN LISTS names)
  string(STRIP "${line}" name)
  list(APPEND found ${name})
endforeach()
list(SORT found)
set(expected tnl_AddConnectionService tnl_ApplyConnection tnl_ConnectService tnl_CreateConnection
    tnl_DeleteAllConnections tnl_DeleteConnection tnl_DisconnectService tnl_GetConnectionsList
    tnl_GetLastError tnl_GetParam tnl_SetParam tnl_UpdateConnectionStatus)
if(NOT found STREQUAL expected)
  message(FATAL_ERROR "exported: ${found}\nexpected: ${expected}")
endif()
message(STATUS "libtnl exports exactly the twelve functions")
