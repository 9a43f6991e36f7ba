// Read before every C++ file of the Windows program when the compiler is mingw-w64 GCC 13 or
// later with the win32 thread model (cmake/mingw-w64-i686.cmake).
//
// That compiler's C++ library was built for Windows Vista: its thread layer declares the
// condition variable only when _WIN32_WINNT says Vista or later, yet in C++20 <memory> reaches
// it unconditionally (<memory> -> <bits/atomic_wait.h> -> <bits/std_mutex.h>), so with the
// program's Windows 2000 setting nothing that includes <memory> compiles. The library's
// thread header is read once, here, with the Vista setting it was built with, and the
// program's own setting is restored before any Windows header is read: the program still sees
// only what Windows 2000 declares. That header hides the Windows API (it declares no Windows
// function and reads no Windows header), so the Vista setting reaches nothing else.
//
// The calls the library's thread layer then makes that Windows 2000 lacks are answered by
// runtime_fallbacks.cpp.
#pragma once

#pragma push_macro("_WIN32_WINNT")
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0600
#include <bits/c++config.h>
#include <bits/gthr.h>
#pragma pop_macro("_WIN32_WINNT")
