// The stand-ins for the calls of the C++ runtime that Windows 2000, 98 or Me lack: they keep
// the contract of the system's own calls, checked here against those (Wine has them all).
#include "win32/runtime_fallbacks.h"

#include <gtest/gtest.h>

namespace fallback = norvane::win32::fallback;

namespace {

DWORD WINAPI wait_for_event(LPVOID event) {
    WaitForSingleObject(static_cast<HANDLE>(event), INFINITE);
    return 0;
}

}  // namespace

TEST(runtime_fallbacks, a_threads_identifier_is_the_one_windows_gives_it) {
    EXPECT_EQ(fallback::GetThreadId(GetCurrentThread()), GetCurrentThreadId());

    const HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(event, nullptr);
    DWORD id = 0;
    const HANDLE thread = CreateThread(nullptr, 0, wait_for_event, event, 0, &id);
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(fallback::GetThreadId(thread), id);
    SetEvent(event);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    CloseHandle(event);

    SetLastError(0);
    EXPECT_EQ(fallback::GetThreadId(nullptr), 0u);
    EXPECT_NE(GetLastError(), 0u);
}

namespace {

struct handoff {
    CRITICAL_SECTION section;
    void* condition = nullptr;
    bool ready = false;
};

DWORD WINAPI hand_over(LPVOID data) {
    auto* shared = static_cast<handoff*>(data);
    Sleep(20);
    EnterCriticalSection(&shared->section);
    shared->ready = true;
    fallback::WakeAllConditionVariable(&shared->condition);
    LeaveCriticalSection(&shared->section);
    return 0;
}

DWORD WINAPI try_to_enter(LPVOID section) {
    return TryEnterCriticalSection(static_cast<PCRITICAL_SECTION>(section)) ? 1 : 0;
}

}  // namespace

TEST(runtime_fallbacks, a_waiter_lets_the_section_go_and_sees_what_another_thread_set) {
    handoff shared;
    InitializeCriticalSection(&shared.section);
    fallback::InitializeConditionVariable(&shared.condition);
    EnterCriticalSection(&shared.section);

    // A wait of no time: nobody woke it, and the section is still held.
    SetLastError(0);
    EXPECT_FALSE(fallback::SleepConditionVariableCS(&shared.condition, &shared.section, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_TIMEOUT));
    const HANDLE other = CreateThread(nullptr, 0, try_to_enter, &shared.section, 0, nullptr);
    ASSERT_NE(other, nullptr);
    WaitForSingleObject(other, INFINITE);
    DWORD entered = 2;
    GetExitCodeThread(other, &entered);
    CloseHandle(other);
    EXPECT_EQ(entered, 0u) << "another thread took the section during a wait of no time";

    // The other thread can only set the flag while this one waits.
    const HANDLE setter = CreateThread(nullptr, 0, hand_over, &shared, 0, nullptr);
    ASSERT_NE(setter, nullptr);
    int waits = 0;
    while (!shared.ready && waits < 10000) {
        EXPECT_TRUE(
            fallback::SleepConditionVariableCS(&shared.condition, &shared.section, INFINITE));
        ++waits;
    }
    EXPECT_TRUE(shared.ready);
    LeaveCriticalSection(&shared.section);
    WaitForSingleObject(setter, INFINITE);
    CloseHandle(setter);
    DeleteCriticalSection(&shared.section);
}
