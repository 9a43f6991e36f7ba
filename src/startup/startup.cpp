#include "startup/startup.h"

#include <exception>
#include <new>

#include "profiles/profile_store.h"

namespace norvane {

namespace {

// Failures that do not come from the host layer, numbered as the platform numbers them.
constexpr int out_of_memory = 7;
constexpr int internal_error = 51;

}  // namespace

bool get_os_name(std::string& os_name, const std::function<host::os_version()>& query) {
    const host::os_version info = query();
    const auto platform = info.platform_id;
    const auto major = info.major_version;
    const auto minor = info.minor_version;
    bool allowed = false;
    if (platform == 0) {
        os_name = "Win32s";
    } else if (platform == 1) {
        os_name = minor == 0    ? "Windows 95"
                  : minor == 10 ? "Windows 98"
                  : minor == 90 ? "Windows Me"
                                : "Unknown";
    } else if (platform == 2 && major == 4) {
        os_name = "Windows NT 4.0";
    } else if (platform == 2 && major == 5 && minor == 0) {
        os_name = "Windows 2000";
        allowed = true;
    } else if (platform == 2 && major == 5 && minor == 1) {
        os_name = "Windows XP";
        allowed = true;
    } else {
        os_name = "Unknown";
    }
    return allowed;
}

void Main(program_state& state, ui_services& ui, const startup_services& services) {
    try {
        std::string error_text;
        std::string os_name;
        if (!get_os_name(os_name, services.query_version)) {
            ui.message_box(
                "このプログラムはWindows2000専用です。\r\n" + os_name + " 上では動作いたしません。",
                mb_exclamation, error_title);
            return;
        }
        state.file_system = services.create_file_system();
        if (!load_profiles(*state.file_system, state.table, error_text)) {
            ui.message_box(error_text, mb_critical, error_title);
            return;
        }
        services.show_main_form(state);
    } catch (const host::host_error& failure) {
        ui.message_box(failure.description(), mb_critical, numbered_error_title(failure.number()));
    } catch (const std::bad_alloc&) {
        ui.message_box("メモリが不足しています。", mb_critical,
                       numbered_error_title(out_of_memory));
    } catch (const std::exception&) {
        ui.message_box("内部エラーが発生しました。", mb_critical,
                       numbered_error_title(internal_error));
    }
}

}  // namespace norvane
