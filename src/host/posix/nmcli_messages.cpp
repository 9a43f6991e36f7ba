#include "host/posix/nmcli_messages.h"

namespace norvane::host {

std::string nmcli_failure_reason(const std::string& connection, int exit_status,
                                 const std::string& errors) {
    const auto says = [&errors](const char* words) {
        return errors.find(words) != std::string::npos;
    };
    if (says("unknown connection") || says("no such connection")) {
        return "接続「" + connection + "」が見つかりません。";
    }
    if (says("Insufficient privileges") || says("Not authorized") || says("not authorized")) {
        return "接続「" + connection + "」を変更する権限がありません。";
    }
    if (says("NetworkManager is not running") || says("Could not create NMClient")) {
        return "NetworkManager が動作していません。";
    }
    // nmcli's first line, without its "Error: ".
    std::string line = errors.substr(0, errors.find('\n'));
    if (line.starts_with("Error: ")) {
        line.erase(0, 7);
    }
    if (const auto at = line.find("activation failed: "); at != std::string::npos) {
        return "接続「" + connection + "」を有効にできませんでした（" + line.substr(at + 19) +
               "）。";
    }
    if (line.empty()) {
        return "nmcli が終了コード " + std::to_string(exit_status) + " で終了しました。";
    }
    return line;
}

}  // namespace norvane::host
