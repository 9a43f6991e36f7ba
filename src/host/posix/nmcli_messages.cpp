#include "host/posix/nmcli_messages.h"

#include <sys/stat.h>
#include <unistd.h>

namespace norvane::host {

std::string nmcli_program(const std::vector<std::string>& places) {
    for (const std::string& place : places) {
        struct stat st {};
        if (::stat(place.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
            ::access(place.c_str(), X_OK) == 0) {
            return place;
        }
    }
    return places.empty() ? std::string() : places.front();
}

std::string nmcli_failure_reason(const std::string& connection, int exit_status,
                                 const std::string& errors) {
    // nmcli's first line, without its "Error: ".
    std::string words = errors.substr(0, errors.find('\n'));
    if (words.starts_with("Error: ")) {
        words.erase(0, 7);
    }
    const std::string in_parentheses = words.empty() ? "" : "（" + words + "）";
    const std::string named = "接続「" + connection + "」";
    switch (exit_status) {
        case nmcli_not_found:
            return named + "が見つかりません。";
        case nmcli_not_running:
            return "NetworkManager が動作していません。";
        case nmcli_activation_failed:
            return named + "を有効にできませんでした" + in_parentheses + "。";
        case nmcli_timeout:
            return named + "の処理が時間内に終わりませんでした" + in_parentheses + "。";
        default:
            break;
    }
    const auto says = [&errors](const char* text) {
        return errors.find(text) != std::string::npos;
    };
    if (says("Insufficient privileges") || says("Not authorized") || says("not authorized")) {
        return named + "を変更する権限がありません" + in_parentheses + "。";
    }
    if (says("Could not create NMClient")) {
        return "NetworkManager に接続できません" + in_parentheses + "。";
    }
    return "nmcli が終了コード " + std::to_string(exit_status) + " で終了しました" +
           in_parentheses + "。";
}

}  // namespace norvane::host
