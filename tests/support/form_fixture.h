// A main window's logic on an in-memory window, scripted message boxes and a recording shell.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/memory_view.h"
#include "support/recording_shell.h"
#include "support/scripted_ui.h"
#include "ui/main_window/main_form.h"

namespace norvane::testing {

struct form_fixture : ::testing::Test {
    memory_view view;
    scripted_ui ui;
    program_state state;
    recording_shell shell;
    main_form form{view, ui, state, shell};

    form_fixture() { view.attach(form); }

    // Loads the window on a table of these lines (no lines: no profiles).
    void load(const std::vector<std::string>& lines) {
        if (!lines.empty()) {
            state.table.profile_lines = lines;
            state.table.no_profiles = false;
        }
        form.form_load();
    }

    std::string box(control field, int i) const { return view.text({field, i}); }
    std::string address(control field) const {
        return box(field, 0) + "|" + box(field, 1) + "|" + box(field, 2) + "|" + box(field, 3);
    }
    void fill(control field, const std::string& a, const std::string& b, const std::string& c,
              const std::string& d) {
        view.set_text({field, 0}, a);
        view.set_text({field, 1}, b);
        view.set_text({field, 2}, c);
        view.set_text({field, 3}, d);
    }
    bool all_boxes_enabled(bool expected) const {
        for (control field : address_fields) {
            for (int i = 0; i < boxes_per_field; ++i) {
                if (view.enabled({field, i}) != expected) {
                    return false;
                }
            }
        }
        return true;
    }
};

}  // namespace norvane::testing
