// The program's entry: a command of the command line, carried out without a window; or the Qt
// application, the start-up procedure and, when it opened the main window, the event loop
// until the window is closed.
#include <QApplication>
#include <memory>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "common/program_state.h"
#include "host/large_buffer.h"
#include "host/platform.h"
#include "startup/startup.h"
#include "ui/main_window/qt/qt_main_window.h"
#include "ui/qt/qt_ui_services.h"

namespace {

int run_command(const norvane::command_line& command) {
    const std::unique_ptr<norvane::host::shell> shell = norvane::host::create_shell();
    const auto reader = norvane::host::create_network_settings();
    const auto waiter = norvane::host::create_waiter();
    const auto log = norvane::host::create_change_log();
    norvane::command_services services;
    services.query_version = norvane::host::query_os_version;
    services.create_file_system = norvane::host::create_file_system;
    services.shell = shell.get();
    services.reader = reader.get();
    services.waiter = waiter.get();
    services.log = log.get();
    const auto output = norvane::host::create_command_console();
    return norvane::run_command(command, services, *output);
}

}  // namespace

int main(int argc, char** argv) {
    norvane::host::keep_large_blocks();
    const norvane::command_line command =
        norvane::parse_command_line(std::vector<std::string>(argv + 1, argv + argc), false);
    if (command.what != norvane::command_line::action::window) {
        return run_command(command);
    }

    QApplication app(argc, argv);
    norvane::qt_ui_services ui;
    norvane::program_state state;
    const std::unique_ptr<norvane::host::shell> shell = norvane::host::create_shell();

    std::unique_ptr<norvane::qt_main_window> window;
    norvane::startup_services services;
    services.query_version = norvane::host::query_os_version;
    services.create_file_system = norvane::host::create_file_system;
    state.network_settings = norvane::host::create_network_settings();
    state.waiter = norvane::host::create_waiter();
    state.change_log = norvane::host::create_change_log();
    services.show_main_form = [&](norvane::program_state& loaded) {
        window = std::make_unique<norvane::qt_main_window>(ui, loaded, *shell);
        window->show();
    };
    norvane::Main(state, ui, services);

    // No window: start-up has told the user why the program cannot run.
    if (window == nullptr || !window->isVisible()) {
        return 0;
    }
    return QApplication::exec();
}
