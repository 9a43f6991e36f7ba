# Cross build for 32-bit Windows (Windows 2000 and XP) with Debian's mingw-w64.
#
# NORVANE_MINGW_THREADS picks the compiler's thread model: "win32" (the default, Debian's
# default too) for the program, since the posix model's runtime imports calls Windows 2000
# lacks (GetTickCount64, the vectored exception handler calls); "posix" for the tests, whose
# GoogleTest needs std::mutex, which the win32 model lacks. The tests only run under Wine.
# NORVANE_MINGW_ARCH: "i686" (the default, the program users get); "x86_64" only for the tests
# where Wine cannot start 32-bit programs (scripts/test-windows.sh).
set(CMAKE_SYSTEM_NAME Windows)
if(NOT NORVANE_MINGW_ARCH)
  set(NORVANE_MINGW_ARCH i686)
endif()
set(CMAKE_SYSTEM_PROCESSOR ${NORVANE_MINGW_ARCH})

if(NOT NORVANE_MINGW_THREADS)
  set(NORVANE_MINGW_THREADS win32)
endif()
set(CMAKE_TRY_COMPILE_PLATFORM_VARIABLES NORVANE_MINGW_THREADS NORVANE_MINGW_ARCH)

set(NORVANE_MINGW_PREFIX ${NORVANE_MINGW_ARCH}-w64-mingw32)
set(CMAKE_C_COMPILER ${NORVANE_MINGW_PREFIX}-gcc-${NORVANE_MINGW_THREADS})
set(CMAKE_CXX_COMPILER ${NORVANE_MINGW_PREFIX}-g++-${NORVANE_MINGW_THREADS})
set(CMAKE_RC_COMPILER ${NORVANE_MINGW_PREFIX}-windres)
set(CMAKE_OBJDUMP ${NORVANE_MINGW_PREFIX}-objdump)

set(CMAKE_FIND_ROOT_PATH /usr/${NORVANE_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Tests built here run under Wine.
find_program(NORVANE_WINE wine)
if(NORVANE_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${NORVANE_WINE})
endif()
