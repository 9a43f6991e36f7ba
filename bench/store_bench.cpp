// The profile store at 1,000, 10,000 and 100,000 profiles, driven as the window drives it:
// each command is the click's whole reaction (the file change, the reload and the refreshed
// profile list) on a real file in a temporary folder (TMPDIR), with a view that keeps the
// list in memory. "append_only" is the store's append alone, which costs the same at any
// size.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <vector>

#include "bench_profiles.h"
#include "host/large_buffer.h"
#include "host/platform.h"
#include "profiles/profile_store.h"
#include "ui/main_window/main_form.h"

namespace norvane {
namespace {

namespace fs = std::filesystem;

// The controls in memory; a list entry is picked by its text, as in the real combo box.
struct list_view final : main_view {
    std::map<std::pair<int, int>, std::string> texts;
    const profile_list_entries* entries = nullptr;  // read on demand, as the Qt list does
    std::string text(control_ref c) const override {
        const auto found = texts.find({static_cast<int>(c.id), c.index});
        return found == texts.end() ? std::string() : found->second;
    }
    void set_text(control_ref c, const std::string& t) override {
        texts[{static_cast<int>(c.id), c.index}] = t;
    }
    bool enabled(control_ref) const override { return true; }
    void set_enabled(control_ref, bool) override {}
    int max_length(control_ref c) const override { return is_address_field(c.id) ? 3 : 0; }
    void set_selection(control_ref, int, int) override {}
    int check_value() const override { return checked; }  // DHCP: a complete profile
    void set_check_value(int) override {}
    void set_focus(control_ref) override {}
    void set_list_entries(const profile_list_entries& e) override { entries = &e; }
    int list_index() const override {
        const std::string current = text({control::profile_list});
        for (int i = 0; entries != nullptr && i < entries->count(); ++i) {
            if (entries->name(i) == current) {
                return i;
            }
        }
        return -1;
    }
    void set_list_visible(bool) override {}
    std::string status_text() const override { return ""; }
    void set_status_text(const std::string&) override {}
    void set_caption(const std::string&) override {}
    void set_topmost(bool) override {}
    std::uintptr_t window_handle() const override { return 0; }
    void show_about_dialog() override {}
    void unload() override {}
};

// Every question answered yes (OK), every message counted as a failure.
struct yes_ui final : ui_services {
    int messages = 0;
    int message_box(const std::string&, int style, const std::string&) override {
        messages += (style & mb_question) != 0 ? 0 : 1;
        return (style & mb_yes_no) == mb_yes_no ? answer_yes : answer_ok;
    }
    void beep() override {}
    void process_pending_events() override {}
};

struct no_shell final : host::shell {
    host::script_run run_script(host::command_script&, host::window_handle) override { return {}; }
    bool open_address(const std::string&, host::window_handle) override { return false; }
};

using bench::name_of;
using bench::profile_file;

// A folder with profile.dat of n profiles, the program's state loaded and the window filled.
struct session {
    fs::path folder, previous = fs::current_path();
    std::string original;
    list_view view;
    yes_ui ui;
    no_shell shell;
    program_state state;
    main_form form{view, ui, state, shell};

    explicit session(int n) : original(profile_file(n)) {
        std::string pattern = (fs::temp_directory_path() / "norvane-bench-XXXXXX").string();
        folder = ::mkdtemp(pattern.data());
        fs::current_path(folder);
        state.file_system = host::create_file_system();
        reset();
    }
    ~session() {
        fs::current_path(previous);
        fs::remove_all(folder);
    }
    // Puts the file back as it was and shows it afresh.
    void reset() {
        std::ofstream("profile.dat", std::ios::binary | std::ios::trunc) << original;
        std::string error;
        state.table = profile_table{};
        load_profiles(*state.file_system, state.table, error);
        view.entries = nullptr;
        form.form_load();
    }
    void choose(const std::string& name) { view.set_text({control::profile_list}, name); }
};

void counters(benchmark::State& run, const session& s) {
    run.counters["failures"] = s.ui.messages;
    run.SetLabel(std::to_string(fs::file_size("profile.dat") / 1024) + " KiB");
}

// Start-up: the table loaded from nothing and the list filled.
void load(benchmark::State& run) {
    session s(static_cast<int>(run.range(0)));
    for (auto _ : run) {
        s.state.table = profile_table{};
        s.view.entries = nullptr;
        std::string error;
        load_profiles(*s.state.file_system, s.state.table, error);
        s.form.form_load();
    }
    counters(run, s);
}

// Save of a new name: one line appended. The file is cut back between rounds.
void save_append(benchmark::State& run) {
    session s(static_cast<int>(run.range(0)));
    for (auto _ : run) {
        s.choose("新しいプロファイル");
        s.form.save_bt_click();
        run.PauseTiming();
        fs::resize_file("profile.dat", s.original.size());
        s.reset();
        run.ResumeTiming();
    }
    counters(run, s);
}

// Save over the profile in the middle of the file, answering OK.
void save_overwrite(benchmark::State& run) {
    session s(static_cast<int>(run.range(0)));
    const std::string middle = name_of(static_cast<int>(run.range(0) / 2));
    for (auto _ : run) {
        s.choose(middle);
        s.form.save_bt_click();
    }
    counters(run, s);
}

// Delete of the profile in the middle of the file. The file is put back between rounds.
void delete_profile(benchmark::State& run) {
    session s(static_cast<int>(run.range(0)));
    const std::string middle = name_of(static_cast<int>(run.range(0) / 2));
    for (auto _ : run) {
        s.choose(middle);
        s.form.delete_bt_click();
        run.PauseTiming();
        s.reset();
        run.ResumeTiming();
    }
    counters(run, s);
}

// The store's append alone. The file and the table are put back between rounds (the table
// takes the line it appended).
void append_only(benchmark::State& run) {
    session s(static_cast<int>(run.range(0)));
    const profile_record record{
        "新しいプロファイル", "ローカル エリア接続", "", "", "", "", "", "", "1"};
    for (auto _ : run) {
        save_profile(*s.state.file_system, s.state.table, record, false);
        run.PauseTiming();
        fs::resize_file("profile.dat", s.original.size());
        s.reset();
        run.ResumeTiming();
    }
    counters(run, s);
}

#define NORVANE_SIZES ->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)
BENCHMARK(load) NORVANE_SIZES;
BENCHMARK(save_append) NORVANE_SIZES;
BENCHMARK(save_overwrite) NORVANE_SIZES;
BENCHMARK(delete_profile) NORVANE_SIZES;
BENCHMARK(append_only) NORVANE_SIZES;

}  // namespace
}  // namespace norvane

int main(int argc, char** argv) {
    norvane::host::keep_large_blocks();  // as the program's entry point does
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
