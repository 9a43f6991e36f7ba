// The program's entry: the Qt application, the start-up procedure and, when it opened the
// main window, the event loop until the window is closed.
#include <QApplication>
#include <memory>

#include "common/program_state.h"
#include "host/platform.h"
#include "startup/startup.h"
#include "ui/main_window/qt/qt_main_window.h"
#include "ui/qt/qt_ui_services.h"

int main(int argc, char** argv) {
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
