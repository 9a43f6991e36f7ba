// The real Qt main window driven through its commands, from the input event to the window
// updated: each round opens a fresh window on profile.dat of N profiles in the current folder
// and times, with wall-clock and CPU time of the whole process,
//   open     the press on the list's arrow until the drop-down list is painted (the first time),
//   choose   the click on the middle profile in the list until its fields are shown,
//   save_over  Save of that profile unchanged, answered OK, until "database updated" shows,
//   save_new   Save of a new name (one line appended),
//   delete     Delete of the middle profile, answered Yes.
// Each command's time ends when the event loop has nothing left to deliver. The file is put
// back between rounds. Prints "command wall_ms cpu_ms" a line.
//   window_bench N ROUNDS           (in a folder of its own; it writes profile.dat there)
//   window_bench --write N          (only writes profile.dat of N profiles)
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QTest>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <memory>
#include <string>

#include "bench_profiles.h"
#include "host/large_buffer.h"
#include "host/platform.h"
#include "profiles/profile_store.h"
#include "ui/main_window/qt/qt_main_window.h"

namespace {

using namespace norvane;

using bench::name_of;
using bench::profile_file;

// Every question answered yes (OK); any other box is a failure of the run.
struct answering_ui final : ui_services {
    int failures = 0;
    int message_box(const std::string& text, int style, const std::string&) override {
        if ((style & mb_question) == 0) {
            std::fprintf(stderr, "window_bench: unexpected message: %s\n", text.c_str());
            ++failures;
        }
        return (style & mb_yes_no) == mb_yes_no ? answer_yes : answer_ok;
    }
    void beep() override {}
    void process_pending_events() override { QCoreApplication::processEvents(); }
};

struct no_shell final : host::shell {
    host::script_run run_script(host::command_script&, host::window_handle) override { return {}; }
    bool open_address(const std::string&, host::window_handle) override { return false; }
};

// Counts the events the application delivers, and the paints of one widget.
struct event_counter final : QObject {
    long delivered = 0;
    QObject* watched = nullptr;
    bool painted = false;
    bool eventFilter(QObject* target, QEvent* event) override {
        ++delivered;
        if (target == watched && event->type() == QEvent::Paint) {
            painted = true;
        }
        return false;
    }
};

double cpu_now_ms() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

class stopwatch {
  public:
    stopwatch() : wall_(std::chrono::steady_clock::now()), cpu_(cpu_now_ms()) {}
    void print(const char* command) const {
        const double wall =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - wall_)
                .count();
        std::printf("%s %.2f %.2f\n", command, wall, cpu_now_ms() - cpu_);
        std::fflush(stdout);
    }

  private:
    std::chrono::steady_clock::time_point wall_;
    double cpu_;
};

// Delivers events until a round of the event loop delivers none (and, when asked, a paint of
// the watched widget has happened).
void settle(event_counter& counter, bool until_painted = false) {
    for (int rounds = 0; rounds < 100000; ++rounds) {
        const long before = counter.delivered;
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (counter.delivered == before && (!until_painted || counter.painted)) {
            return;
        }
    }
}

void click_window(QWidget& window, QWidget* target) {
    QTest::mouseClick(window.windowHandle(), Qt::LeftButton, Qt::NoModifier,
                      target->mapTo(&window, target->rect().center()));
}

int run(int profiles, int rounds) {
    const std::string original = profile_file(profiles);
    const std::string middle = name_of(profiles / 2);
    event_counter counter;
    qApp->installEventFilter(&counter);
    answering_ui ui;
    no_shell shell;
    for (int round = 0; round < rounds; ++round) {
        std::ofstream(profile_file_name, std::ios::binary | std::ios::trunc) << original;
        program_state state;
        state.file_system = host::create_file_system();
        std::string error_text;
        if (!load_profiles(*state.file_system, state.table, error_text)) {
            std::fprintf(stderr, "window_bench: %s\n", error_text.c_str());
            return 1;
        }
        auto window = std::make_unique<qt_main_window>(ui, state, shell);
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get())) {
            std::fprintf(stderr, "window_bench: the window was not shown\n");
            return 1;
        }
        settle(counter);
        auto* list = qobject_cast<QComboBox*>(window->control_widget({control::profile_list}));
        QAbstractItemView* popup = list->view();

        // Opening the list: the press on its arrow until the list is painted.
        counter.watched = popup->viewport();
        counter.painted = false;
        const QPoint arrow =
            list->mapTo(window.get(), QPoint(list->width() - 6, list->height() / 2));
        {
            const stopwatch watch;
            QTest::mousePress(window->windowHandle(), Qt::LeftButton, Qt::NoModifier, arrow);
            settle(counter, true);
            watch.print("open");
        }
        QTest::mouseRelease(window->windowHandle(), Qt::LeftButton, Qt::NoModifier, arrow);
        settle(counter);

        // Choosing the middle profile in the open list.
        const QModelIndex entry = list->model()->index(profiles / 2, 0);
        popup->scrollTo(entry, QAbstractItemView::PositionAtCenter);
        // The list ignores a release within a double click's time after the press opened it.
        QTest::qWait(QApplication::doubleClickInterval() + 100);
        settle(counter);
        const QPoint at = popup->visualRect(entry).center();
        {
            const stopwatch watch;
            QTest::mouseClick(popup->viewport(), Qt::LeftButton, Qt::NoModifier, at);
            settle(counter);
            watch.print("choose");
        }
        if (window->text({control::profile_list}) != middle || list->view()->isVisible()) {
            std::fprintf(stderr, "window_bench: the middle profile was not chosen\n");
            return 1;
        }

        QWidget* save = window->control_widget({control::save_bt});
        {
            const stopwatch watch;
            click_window(*window, save);
            settle(counter);
            watch.print("save_over");
        }
        window->set_text({control::profile_list}, "新しいプロファイル");
        settle(counter);
        {
            const stopwatch watch;
            click_window(*window, save);
            settle(counter);
            watch.print("save_new");
        }
        window->set_text({control::profile_list}, middle);
        window->form().profile_list_click();
        settle(counter);
        {
            const stopwatch watch;
            click_window(*window, window->control_widget({control::delete_bt}));
            settle(counter);
            watch.print("delete");
        }
        if (list->count() != profiles || ui.failures > 0) {
            std::fprintf(stderr, "window_bench: %d entries after the commands, %d failures\n",
                         list->count(), ui.failures);
            return 1;
        }
        window.reset();
        settle(counter);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    host::keep_large_blocks();  // as the program's entry point does
    if (argc == 3 && std::string(argv[1]) == "--write") {
        std::ofstream(profile_file_name, std::ios::binary | std::ios::trunc)
            << profile_file(std::stoi(argv[2]));
        return 0;
    }
    if (argc != 3) {
        std::fprintf(stderr, "usage: window_bench PROFILES ROUNDS | window_bench --write N\n");
        return 2;
    }
    QApplication app(argc, argv);
    return run(std::stoi(argv[1]), std::stoi(argv[2]));
}
