#include "ui/main_window/octet_rules.h"

#include <algorithm>
#include <array>

namespace norvane {

namespace {
constexpr std::array<int, 8> mask_values = {128, 192, 224, 240, 248, 252, 254, 255};

bool is_mask_value(int v) {
    return std::find(mask_values.begin(), mask_values.end(), v) != mask_values.end();
}
}  // namespace

int filter_octet_key(int key_ascii) {
    if (key_ascii == 8) {
        return 8;
    }
    for (int digit = 0; digit <= 9; ++digit) {
        if (key_ascii == '0' + digit) {
            return key_ascii;
        }
    }
    return 0;
}

std::optional<int> octet_value(const std::string& text) {
    if (text.empty()) {
        return std::nullopt;
    }
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
        if (value > 32767) {
            return std::nullopt;
        }
    }
    return value;
}

bool check_octet(const std::string& text, int index) {
    auto value = octet_value(text);
    if (!value || *value > 254) {
        return false;
    }
    return !(index == 0 && *value == 0);
}

bool check_mask_octet(const std::string& text, const std::string& previous_text, int index) {
    auto value = octet_value(text);
    if (!value || *value > 255) {
        return false;
    }
    if (index == 0) {
        return is_mask_value(*value);
    }
    // A box after one that is empty or holds no number cannot continue a run of ones: only
    // 0 is certain to keep the mask contiguous there.
    auto previous = octet_value(previous_text);
    if (previous && *previous == 255) {
        return *value == 0 || is_mask_value(*value);
    }
    return *value == 0;
}

}  // namespace norvane
