#include "runtime_fallbacks.h"

#include "host/win32/system_library.h"

namespace norvane::win32::fallback {

void WINAPI InitializeConditionVariable(PVOID condition) {
    *static_cast<void**>(condition) = nullptr;
}

BOOL WINAPI SleepConditionVariableCS(PVOID, PCRITICAL_SECTION section, DWORD timeout) {
    if (timeout == 0) {
        SetLastError(ERROR_TIMEOUT);
        return FALSE;
    }
    LeaveCriticalSection(section);
    Sleep(1);
    EnterCriticalSection(section);
    return TRUE;
}

void WINAPI WakeConditionVariable(PVOID) {}

void WINAPI WakeAllConditionVariable(PVOID) {}

DWORD WINAPI GetThreadId(HANDLE thread) {
    // THREAD_BASIC_INFORMATION, information class 0.
    struct basic_information {
        LONG exit_status;
        PVOID environment_block;
        HANDLE process_id;
        HANDLE thread_id;
        ULONG_PTR affinity;
        LONG priority;
        LONG base_priority;
    };
    using query_call = LONG(WINAPI*)(HANDLE, int, PVOID, ULONG, PULONG);
    const auto query =
        host::win32::loaded_entry<query_call>("ntdll.dll", "NtQueryInformationThread");
    if (query == nullptr) {
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return 0;
    }
    basic_information information{};
    const LONG status = query(thread, 0, &information, sizeof information, nullptr);
    if (status < 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(information.thread_id));
}

BOOL WINAPI TryEnterCriticalSection(PCRITICAL_SECTION) {
    return FALSE;
}

}  // namespace norvane::win32::fallback
