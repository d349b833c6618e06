// The Windows headers define macros named like some of this program's platform functions
// (GetProfileString, CreateSymbolicLink, GetFreeSpace ...), which would rename them in every
// file that sees those headers. The headers that declare such functions include this one: it
// takes the system headers in first, whose include guards keep them from defining the macros
// again, and removes the macros. Elsewhere it does nothing.
#pragma once

#ifdef _WIN32
#include <winsock2.h>
#include <windows.h>
#undef GetProfileInt
#undef GetProfileString
#undef WriteProfileString
#undef CreateSymbolicLink
#undef GetFreeSpace
#endif
