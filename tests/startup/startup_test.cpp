#include "startup/startup.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/scripted_ui.h"
#include "support/temp_dir.h"

namespace norvane {
namespace {

using testing::scripted_ui;

TEST(os_name, classifies_every_row_of_the_version_table) {
    const struct {
        std::uint32_t platform, major, minor;
        const char* name;
    } cases[] = {{0, 3, 10, "Win32s"},      {1, 4, 0, "Windows 95"}, {1, 4, 10, "Windows 98"},
                 {1, 7, 90, "Windows Me"},  {1, 4, 3, "Unknown"},    {2, 4, 7, "Windows NT 4.0"},
                 {2, 5, 0, "Windows 2000"}, {2, 5, 1, "Windows XP"}, {2, 5, 2, "Unknown"},
                 {2, 6, 1, "Unknown"},      {2, 3, 51, "Unknown"},   {3, 5, 1, "Unknown"}};
    for (const auto& c : cases) {
        std::string name;
        const bool allowed = get_os_name(name, [&](host::os_version_info& info) {
            EXPECT_EQ(info.size, 148u);
            EXPECT_EQ(info.platform_id, 0u);  // cleared before the query
            info.platform_id = c.platform;
            info.major_version = c.major;
            info.minor_version = c.minor;
        });
        EXPECT_EQ(name, c.name);
        EXPECT_EQ(allowed,
                  name == std::string("Windows 2000") || name == std::string("Windows XP"));
    }
    std::string name;
    EXPECT_FALSE(get_os_name(name, [](host::os_version_info&) {}));  // a failed query
    EXPECT_EQ(name, "Win32s");
}

TEST(os_name, this_host_is_supported) {
    std::string name;
    EXPECT_TRUE(get_os_name(name));
}

struct startup_fixture : ::testing::Test {
    testing::temp_dir dir;
    scripted_ui ui;
    program_state state;
    int windows_opened = 0;
    int components_created = 0;
    startup_services services;

    startup_fixture() {
        services.query_version = [](host::os_version_info& info) {
            info.platform_id = 2;
            info.major_version = 5;
            info.minor_version = 1;
        };
        services.create_file_system = [this] {
            ++components_created;
            return host::create_file_system();
        };
        services.show_main_form = [this](program_state&) { ++windows_opened; };
    }
};

TEST_F(startup_fixture, refuses_an_unsupported_system_before_touching_anything) {
    services.query_version = [](host::os_version_info& info) {
        info.platform_id = 2;
        info.major_version = 4;
    };
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
    auto writer = other->OpenTextFile("profile.dat", host::for_appending, true);
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

}  // namespace
}  // namespace norvane
