#include "profiles/profile_names.h"

namespace norvane {

std::string unstorable_name_message(const std::string& name, const char* field,
                                    host::file_system& file_system) {
    if (name.find(',') != std::string::npos) {
        return std::string(field) + "に「,」（カンマ）は使用できません。";
    }
    bool control_character = false;
    for (unsigned char c : name) {
        control_character = control_character || c < 0x20 || c == 0x7F;
    }
    if (control_character || !file_system.can_store(name)) {
        return std::string(field) + "にデータベースに保存できない文字が含まれています。";
    }
    return "";
}

std::string untouched_file_message(store_result::status result) {
    switch (result) {
        case store_result::status::shared_place:
            return "profile.dat は他のユーザーが変更できる場所にあるため、変更しませんでした。";
        case store_result::status::not_shift_jis:
            return "profile.dat が Shift-JIS のテキストではないため、変更しませんでした。";
        default:
            return "";
    }
}

}  // namespace norvane
