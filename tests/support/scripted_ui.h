// A ui_services that records every message box, beep and pending-events call, and answers
// message boxes from a script.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "common/ui_services.h"

namespace norvane::testing {

struct shown_message {
    std::string text;
    int style = 0;
    std::string title;
    bool operator==(const shown_message&) const = default;
};

class scripted_ui : public ui_services {
  public:
    int message_box(const std::string& text, int style, const std::string& title) override {
        messages.push_back({text, style, title});
        events.push_back("message:" + text);
        if (answers.empty()) {
            return answer_ok;
        }
        int answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void beep() override {
        ++beeps;
        events.push_back("beep");
    }
    void process_pending_events() override { events.push_back("events"); }

    std::deque<int> answers;  // answers for the next message boxes (OK when empty)
    std::vector<shown_message> messages;
    std::vector<std::string> events;  // everything in the order it happened
    int beeps = 0;
};

}  // namespace norvane::testing
