#include "host/host.h"

namespace norvane::host {

std::string describe_error(int number) {
    switch (number) {
        case type_mismatch:
            return "型が一致しません。";
        case file_not_found:
            return "ファイルが見つかりません。";
        case bad_file_mode:
            return "ファイル モードが不正です。";
        case disk_full:
            return "ディスクの空き容量が不足しています。";
        case input_past_end:
            return "ファイルにこれ以上データがありません。";
        case permission_denied:
            return "書き込みできません。";
        case path_file_access_error:
            return "パス名が無効です。";
        case cannot_create_component:
            return "ActiveX コンポーネントはオブジェクトを作成できません。";
        case others_may_change:
            return "他のユーザーが変更できる場所にあるファイルは変更しません。";
        case changed_meanwhile:
            return "ファイルが他のプログラムによって変更されました。";
        default:
            return "";
    }
}

host_error::host_error(int number) : host_error(number, describe_error(number)) {}

}  // namespace norvane::host
