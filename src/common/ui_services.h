// What the program asks of the toolkit beyond its windows: message boxes, the beep and
// processing pending window events. Tests put a scripted implementation in its place.
#pragma once

#include <string>

namespace norvane {

// Message box styles: icon plus buttons, plus which button is the default.
enum message_style : int {
    mb_ok_only = 0,
    mb_ok_cancel = 1,
    mb_yes_no = 4,
    mb_critical = 16,
    mb_question = 32,
    mb_exclamation = 48,
    mb_information = 64,
    mb_default_button2 = 256,  // the second button is the default (No of Yes and No)
};

// The button that closed a message box.
enum message_answer : int {
    answer_ok = 1,
    answer_cancel = 2,
    answer_yes = 6,
    answer_no = 7,
};

inline constexpr const char* error_title = "エラー";
inline constexpr const char* inquiry_title = "問い合わせ";
inline constexpr const char* finished_title = "処理終了";

// The title of a failure's message box: エラー(70) for failure number 70.
inline std::string numbered_error_title(int number) {
    return std::string(error_title) + "(" + std::to_string(number) + ")";
}

class ui_services {
  public:
    virtual ~ui_services() = default;
    // Shows a modal message box and returns the answer (answer_ok, answer_cancel, ...).
    virtual int message_box(const std::string& text, int style, const std::string& title) = 0;
    virtual void beep() = 0;
    virtual void process_pending_events() = 0;
};

}  // namespace norvane
