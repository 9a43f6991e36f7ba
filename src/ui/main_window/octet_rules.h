// The rules of the octet boxes: which keystrokes enter them and which values they accept.
#pragma once

#include <optional>
#include <string>

namespace norvane {

// The character code to keep for a keystroke in an octet box: the code itself for Backspace
// and the digits 0 to 9, 0 (discard) for anything else.
int filter_octet_key(int key_ascii);

// An ordinary octet: box 0 accepts 1 to 254, boxes 1 to 3 accept 0 to 254.
bool check_octet(const std::string& text, int index);

// A subnet-mask octet, given the text of the box before it ("" for box 0).
bool check_mask_octet(const std::string& text, const std::string& previous_text, int index);

// The value of a box's text when it counts as a number: a plain string of decimal digits
// within the 16-bit signed range. Anything else is not numeric.
std::optional<int> octet_value(const std::string& text);

}  // namespace norvane
