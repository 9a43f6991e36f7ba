// The C++ runtime's imports of calls that Windows 2000, 98 or Me lack (runtime_fallbacks.h),
// answered here instead of by the system's import libraries: an import is reached through a
// pointer named __imp__NAME@ARGUMENT-BYTES, and the linker takes the one this file defines and
// leaves the call out of the import table. Each pointer first leads to a lookup that puts the
// system's own call in its place where kernel32.dll has it, else the stand-in.
// Linked into the program only when it is built by mingw-w64 GCC 13 or later with the win32
// thread model (CMakeLists.txt).
#include <windows.h>

#include "host/win32/system_library.h"
#include "runtime_fallbacks.h"

namespace {

template <typename Function>
Function kernel32_or(const char* name, Function fallback) {
    const auto call = norvane::host::win32::loaded_entry<Function>("kernel32.dll", name);
    return call != nullptr ? call : fallback;
}

}  // namespace

namespace fallback = norvane::win32::fallback;

extern "C" {

extern void(WINAPI* initialize_condition_variable)(PVOID) __asm__(
    "__imp__InitializeConditionVariable@4");
extern BOOL(WINAPI* sleep_condition_variable_cs)(PVOID, PCRITICAL_SECTION, DWORD) __asm__(
    "__imp__SleepConditionVariableCS@12");
extern void(WINAPI* wake_condition_variable)(PVOID) __asm__("__imp__WakeConditionVariable@4");
extern void(WINAPI* wake_all_condition_variable)(PVOID) __asm__(
    "__imp__WakeAllConditionVariable@4");
extern DWORD(WINAPI* get_thread_id)(HANDLE) __asm__("__imp__GetThreadId@4");
extern BOOL(WINAPI* try_enter_critical_section)(PCRITICAL_SECTION) __asm__(
    "__imp__TryEnterCriticalSection@4");

}  // extern "C"

namespace {

void WINAPI first_initialize_condition_variable(PVOID condition) {
    initialize_condition_variable =
        kernel32_or("InitializeConditionVariable", &fallback::InitializeConditionVariable);
    initialize_condition_variable(condition);
}

BOOL WINAPI first_sleep_condition_variable_cs(PVOID condition, PCRITICAL_SECTION section,
                                              DWORD timeout) {
    sleep_condition_variable_cs =
        kernel32_or("SleepConditionVariableCS", &fallback::SleepConditionVariableCS);
    return sleep_condition_variable_cs(condition, section, timeout);
}

void WINAPI first_wake_condition_variable(PVOID condition) {
    wake_condition_variable =
        kernel32_or("WakeConditionVariable", &fallback::WakeConditionVariable);
    wake_condition_variable(condition);
}

void WINAPI first_wake_all_condition_variable(PVOID condition) {
    wake_all_condition_variable =
        kernel32_or("WakeAllConditionVariable", &fallback::WakeAllConditionVariable);
    wake_all_condition_variable(condition);
}

DWORD WINAPI first_get_thread_id(HANDLE thread) {
    get_thread_id = kernel32_or("GetThreadId", &fallback::GetThreadId);
    return get_thread_id(thread);
}

BOOL WINAPI first_try_enter_critical_section(PCRITICAL_SECTION section) {
    try_enter_critical_section =
        kernel32_or("TryEnterCriticalSection", &fallback::TryEnterCriticalSection);
    return try_enter_critical_section(section);
}

}  // namespace

extern "C" {

void(WINAPI* initialize_condition_variable)(PVOID) = first_initialize_condition_variable;
BOOL(WINAPI* sleep_condition_variable_cs)
(PVOID, PCRITICAL_SECTION, DWORD) = first_sleep_condition_variable_cs;
void(WINAPI* wake_condition_variable)(PVOID) = first_wake_condition_variable;
void(WINAPI* wake_all_condition_variable)(PVOID) = first_wake_all_condition_variable;
DWORD(WINAPI* get_thread_id)(HANDLE) = first_get_thread_id;
BOOL(WINAPI* try_enter_critical_section)(PCRITICAL_SECTION) = first_try_enter_critical_section;

}  // extern "C"
