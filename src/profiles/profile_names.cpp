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

}  // namespace norvane
