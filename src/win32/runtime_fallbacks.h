// Stand-ins for the Windows calls that the C++ runtime of mingw-w64 GCC 13 and later (win32
// thread model) imports and that Windows 2000 (the condition variables, GetThreadId: Vista) or
// Windows 98 and Me (TryEnterCriticalSection) lack. runtime_imports.cpp answers the runtime's
// imports of those calls with the system's own where it has them and with these where it does
// not, so the program loads on every Windows it must at least refuse on.
//
// The program runs one thread, so none of these is reached in practice; each still keeps the
// documented contract of the call it stands in for.
#pragma once

#include <windows.h>

namespace norvane::win32::fallback {

// The condition variable by polling: a wait lets the critical section go, sleeps for a moment
// and takes it again, which the contract allows as a spurious wake-up (every waiter checks its
// condition again); a wait of no time returns FALSE with ERROR_TIMEOUT, as when nobody wakes it.
// Waking therefore has nothing to do.
void WINAPI InitializeConditionVariable(PVOID condition);
BOOL WINAPI SleepConditionVariableCS(PVOID condition, PCRITICAL_SECTION section, DWORD timeout);
void WINAPI WakeConditionVariable(PVOID condition);
void WINAPI WakeAllConditionVariable(PVOID condition);

// A thread's identifier from its handle through ntdll's NtQueryInformationThread (Windows NT);
// 0 with ERROR_CALL_NOT_IMPLEMENTED where that is missing, or with the failure's code.
DWORD WINAPI GetThreadId(HANDLE thread);

// Never takes the section: a try that fails although nobody holds the lock is allowed to
// every C++ mutex's try_lock. Only Windows 98 and Me lack the call.
BOOL WINAPI TryEnterCriticalSection(PCRITICAL_SECTION section);

}  // namespace norvane::win32::fallback
