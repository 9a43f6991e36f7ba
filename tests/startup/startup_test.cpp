#include "startup/startup.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <new>
#include <stdexcept>

#include "host/platform.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"

namespace norvane {
namespace {

using testing::scripted_ui;

host::os_version version(std::uint32_t platform, std::uint32_t major, std::uint32_t minor) {
    return {.platform_id = platform, .major_version = major, .minor_version = minor};
}

// The rows where a slip is easy: the two supported versions and their neighbours, the 95
// family's minor versions whatever the major one, a failed query.
TEST(os_name, only_windows_2000_and_xp_are_supported) {
    const struct {
        host::os_version version;
        const char* name;
    } cases[] = {{version(2, 5, 0), "Windows 2000"},   {version(2, 5, 1), "Windows XP"},
                 {version(2, 5, 2), "Unknown"},        {version(2, 6, 1), "Unknown"},
                 {version(2, 4, 7), "Windows NT 4.0"}, {version(1, 7, 90), "Windows Me"},
                 {version(1, 4, 3), "Unknown"},        {version(3, 5, 1), "Unknown"},
                 {host::os_version{}, "Win32s"}};
    for (const auto& c : cases) {
        std::string name;
        const bool allowed = get_os_name(name, [&] { return c.version; });
        EXPECT_EQ(name, c.name);
        EXPECT_EQ(allowed,
                  name == std::string("Windows 2000") || name == std::string("Windows XP"));
    }
}

struct startup_fixture : ::testing::Test {
    testing::temp_dir dir;
    scripted_ui ui;
    program_state state;
    int windows_opened = 0;
    int components_created = 0;
    startup_services services;

    startup_fixture() {
        services.query_version = host::query_os_version;  // this host must be supported
        services.create_file_system = [this] {
            ++components_created;
            return host::create_file_system();
        };
        services.show_main_form = [this](program_state&) { ++windows_opened; };
    }
};

TEST_F(startup_fixture, refuses_an_unsupported_system_before_touching_anything) {
    services.query_version = [] { return version(2, 4, 0); };
    Main(state, ui, services);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(
        ui.messages[0],
        (testing::shown_message{
            "このプログラムはWindows2000専用です。\r\nWindows NT 4.0 上では動作いたしません。", 48,
            "エラー"}));
    EXPECT_EQ(components_created, 0);
    EXPECT_EQ(windows_opened, 0);
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST_F(startup_fixture, opens_the_window_with_an_empty_table_when_there_is_no_file) {
    Main(state, ui, services);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(windows_opened, 1);
    EXPECT_TRUE(state.table.no_profiles);
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "profile.dat"));
}

TEST_F(startup_fixture, a_failed_load_shows_its_text_and_opens_no_window) {
    // Another copy of the program is writing the file.
    auto other = host::create_file_system();
    auto writer = other->open_text_file("profile.dat", host::for_appending, true);
    Main(state, ui, services);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].style, 16);
    EXPECT_EQ(ui.messages[0].title, "エラー");
    EXPECT_EQ(ui.messages[0].text, host::describe_error(70) + "(70)");
    EXPECT_EQ(windows_opened, 0);
}

TEST_F(startup_fixture, a_component_that_cannot_be_created_is_reported_with_its_number) {
    services.create_file_system = []() -> std::unique_ptr<host::file_system> {
        throw host::host_error(host::cannot_create_component);
    };
    Main(state, ui, services);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].title, "エラー(429)");
    EXPECT_EQ(ui.messages[0].text, host::describe_error(429));
    EXPECT_EQ(windows_opened, 0);
}

// Whatever fails while the window is being built is told with a description and a number.
TEST_F(startup_fixture, any_other_failure_is_reported_with_a_description_and_a_number) {
    const struct {
        std::function<void()> failure;
        const char* title;
    } cases[] = {{[] { throw std::bad_alloc(); }, "エラー(7)"},
                 {[] { throw std::runtime_error("x"); }, "エラー(51)"}};
    for (const auto& c : cases) {
        ui.messages.clear();
        services.show_main_form = [&](program_state&) { c.failure(); };
        Main(state, ui, services);
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(ui.messages[0].title, c.title);
        EXPECT_EQ(ui.messages[0].style, 16);
        EXPECT_FALSE(ui.messages[0].text.empty());
    }
}

}  // namespace
}  // namespace norvane
