// The input check and the Save, Delete and Submit commands, on a real profile.dat.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <iostream>

#include "host/cp932.h"
#include "host/platform.h"
#include "profiles/profile_store.h"
#include "support/form_fixture.h"
#include "support/recording_waiter.h"
#include "support/scripted_network.h"
#include "support/temp_dir.h"

namespace norvane {
namespace {

using testing::read_bytes;
using testing::write_bytes;

struct command_fixture : testing::form_fixture {
    testing::temp_dir dir;

    command_fixture() { state.file_system = host::create_file_system(); }

    // Writes profile.dat (lines in UTF-8, stored as CP932 with CR LF) and loads the window.
    void start_with(const std::vector<std::string>& lines) {
        std::string bytes;
        for (const auto& line : lines) {
            bytes += host::to_cp932(line) + "\r\n";
        }
        write_bytes("profile.dat", bytes);
        std::string error;
        ASSERT_TRUE(load_profiles(*state.file_system, state.table, error)) << error;
        form.form_load();
    }
    std::string file() const { return host::from_cp932(read_bytes("profile.dat")); }
    void fill_static() {
        view.set_check_value(unchecked);
        view.set_text({control::profile_list}, "New");
        view.set_text({control::connect_txt}, "ローカル エリア接続");
        fill(control::ip_add_txt, "192", "168", "0", "10");
        fill(control::net_mask_txt, "255", "255", "255", "0");
        fill(control::gateway_txt, "192", "168", "0", "1");
    }
};

TEST_F(command_fixture, check_input_guides_to_the_first_gap) {
    using edits = std::vector<std::pair<control_ref, const char*>>;
    const char* const dns = "正しいＤＮＳアドレスを入力してください。";
    const control_ref name{control::profile_list}, connection{control::connect_txt},
        ip2{control::ip_add_txt, 2}, mask3{control::net_mask_txt, 3},
        gateway0{control::gateway_txt};
    const struct {
        edits changes;  // made to a complete static profile
        control_ref focus;
        const char* message;  // "" when complete
    } cases[] = {
        {{{name, ""}}, name, "プロファイル名を入力してください。"},
        {{{connection, ""}}, connection, "有効な接続名を入力してください。"},
        {{{ip2, ""}}, ip2, "ＩＰアドレスを入力してください。"},
        {{{mask3, ""}}, mask3, "サブネットマスクを入力してください。"},
        {{{gateway0, ""}}, gateway0, "ディフォルトゲートウェイを入力してください。"},
        {{{{control::dns1_txt, 0}, "8"}, {{control::dns1_txt, 1}, "8"}}, {control::dns1_txt}, dns},
        {{{{control::dns2_txt, 0}, "8"}}, {control::dns2_txt}, dns},
        {{{{control::dns3_txt, 3}, "8"}}, {control::dns3_txt}, dns},
        {{}, {control::save_bt}, ""},
        {{{{control::dns1_txt, 0}, " "},
          {{control::dns1_txt, 1}, " "},
          {{control::dns1_txt, 2}, " "},
          {{control::dns1_txt, 3}, " "}},
         {control::save_bt},
         ""},  // a blank counts as filled
    };
    for (const auto& c : cases) {
        fill_static();
        for (control f : {control::dns1_txt, control::dns2_txt, control::dns3_txt}) {
            fill(f, "", "", "", "");
        }
        view.move_focus({control::save_bt});
        for (const auto& [target, text] : c.changes) {
            view.set_text(target, text);
        }
        ui.events.clear();
        const bool complete = form.check_input();
        EXPECT_EQ(complete, *c.message == '\0') << c.message;
        EXPECT_EQ(view.focused, c.focus) << c.message;
        if (!complete) {
            EXPECT_EQ(view.status, c.message);  // not the help text of the focused box
            EXPECT_EQ(ui.events, std::vector<std::string>{"events"});
        }
    }
    // With DHCP the address boxes are not looked at.
    fill(control::ip_add_txt, "", "", "", "");
    fill(control::dns1_txt, "1", "", "", "");
    view.set_check_value(checked);
    EXPECT_TRUE(form.check_input());
}

TEST_F(command_fixture, save_of_new_names_appends_lines_and_refreshes_the_list) {
    start_with({"Office,ローカル エリア接続,,,,,,,1"});
    fill_static();
    fill(control::dns1_txt, "8", "8", "4", "4");
    view.click(control::save_bt);
    EXPECT_EQ(view.items, (std::vector<std::string>{"Office", "New"}));
    EXPECT_EQ(view.text({control::profile_list}), "New");
    EXPECT_EQ(view.focused, (control_ref{control::profile_list}));
    EXPECT_EQ(view.status, "データベースを更新しました。");
    EXPECT_TRUE(view.list_visible);
    EXPECT_EQ(address(control::ip_add_txt), "192|168|0|10");  // the fields stay

    view.set_text({control::profile_list}, "Dhcp");
    view.set_check_value(checked);  // the boxes still hold numbers
    view.click(control::save_bt);
    EXPECT_EQ(file(),
              "Office,ローカル エリア接続,,,,,,,1\r\n"
              "New,ローカル エリア接続,192.168.0.10,255.255.255.0,192.168.0.1,8.8.4.4,,,0\r\n"
              "Dhcp,ローカル エリア接続,,,,,,,1\r\n");
    EXPECT_EQ(view.items, (std::vector<std::string>{"Office", "New", "Dhcp"}));
}

TEST_F(command_fixture, overwrite_asks_first_and_cancel_changes_nothing) {
    const std::vector<std::string> lines = {"A,c,,,,,,,1", "B,c,,,,,,,1", "New,old,,,,,,,1",
                                            "D,c,,,,,,,1", "E,c,,,,,,,1"};
    start_with(lines);
    const std::string before = read_bytes("profile.dat");
    fill_static();
    ui.answers = {answer_cancel};
    view.click(control::save_bt);
    EXPECT_EQ(read_bytes("profile.dat"), before);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0],
              (testing::shown_message{"プロファイル名が重複しています。上書きしますか？", 33,
                                      "問い合わせ"}));
    EXPECT_NE(view.status, "データベースを更新しました。");
    EXPECT_EQ(state.table.profile_lines, lines);

    ui.answers = {answer_ok};
    view.click(control::save_bt);
    EXPECT_EQ(file(),
              "A,c,,,,,,,1\r\nB,c,,,,,,,1\r\n"
              "New,ローカル エリア接続,192.168.0.10,255.255.255.0,192.168.0.1,,,,0\r\n"
              "D,c,,,,,,,1\r\nE,c,,,,,,,1\r\n");
    EXPECT_EQ(view.items, (std::vector<std::string>{"A", "B", "New", "D", "E"}));
}

TEST_F(command_fixture, save_refuses_names_a_line_cannot_hold_before_writing) {
    start_with({"A,c,,,,,,,1"});
    const std::string before = read_bytes("profile.dat");
    const struct {
        control id;
        const char* text;
        const char* message;
    } cases[] = {
        {control::profile_list, "a,b", "プロファイル名に「,」（カンマ）は使用できません。"},
        {control::connect_txt, "x,y", "接続名に「,」（カンマ）は使用できません。"},
        {control::profile_list, "tab\there",
         "プロファイル名にデータベースに保存できない文字が含まれています。"},
    };
    for (const auto& c : cases) {
        fill_static();
        view.set_text({c.id}, c.text);
        const int beeps = ui.beeps;
        view.click(control::save_bt);
        EXPECT_EQ(view.status, c.message);
        EXPECT_EQ(view.focused, (control_ref{c.id}));
        EXPECT_EQ(ui.beeps, beeps + 1);
    }
    view.set_text({control::profile_list}, "");
    view.click(control::save_bt);  // incomplete: only the beep
    EXPECT_EQ(ui.beeps, 4);
    EXPECT_EQ(read_bytes("profile.dat"), before);
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(command_fixture, a_read_only_file_fails_save_and_delete_with_their_messages) {
    start_with({"A,c,,,,,,,1"});
    std::filesystem::permissions("profile.dat", std::filesystem::perms::owner_read);
    fill_static();
    view.click(control::save_bt);
    view.set_text({control::profile_list}, "A");
    ui.answers = {answer_yes};
    view.click(control::delete_bt);
    ASSERT_EQ(ui.messages.size(), 3u);
    EXPECT_EQ(ui.messages[0],
              (testing::shown_message{"データベースファイルをオープンできませんでした。\r\n"
                                      "データベースは更新されていません。",
                                      16, "エラー"}));
    EXPECT_EQ(ui.messages[2].title, "エラー(70)");
    EXPECT_EQ(ui.messages[2].style, 16);
    EXPECT_EQ(view.items, (std::vector<std::string>{"A"}));
    EXPECT_EQ(view.text({control::connect_txt}), "ローカル エリア接続");  // untouched
}

// A profile.dat that the program will not change (a link in a folder open to others, a file in
// another encoding) is still loaded; Save and Delete say why it was left alone and change
// nothing, the window included.
TEST_F(command_fixture, save_and_delete_say_why_a_file_was_left_alone) {
    const std::string utf16(
        "\xFF\xFE"
        "A\0,\0c\0\r\0\n\0",
        12);
    const struct {
        const char* why;
        std::function<void()> make;
        const char* message;
    } cases[] = {
        {"a link in a folder open to others",
         [] {
             std::filesystem::rename("profile.dat", "elsewhere.dat");
             std::filesystem::create_symlink("elsewhere.dat", "profile.dat");
             std::filesystem::permissions(".", std::filesystem::perms::all);
         },
         "profile.dat は他のユーザーが変更できる場所にあるため、変更しませんでした。"},
        {"UTF-16", [&] { write_bytes("profile.dat", utf16); },
         "profile.dat が Shift-JIS のテキストではないため、変更しませんでした。"},
    };
    for (const auto& c : cases) {
        std::filesystem::remove("profile.dat");
        std::filesystem::remove("elsewhere.dat");
        std::filesystem::permissions(".", std::filesystem::perms::owner_all);
        start_with({"A,c,,,,,,,1"});
        try {
            c.make();
        } catch (const std::filesystem::filesystem_error& error) {
            // Windows before Vista (and Wine's) makes no symbolic link to a file.
            std::cout << c.why << ": not here (" << error.what() << ")\n";
            continue;
        }
        std::string error;
        ASSERT_TRUE(load_profiles(*state.file_system, state.table, error)) << c.why;
        const std::string before = read_bytes("profile.dat");
        ui.messages.clear();
        fill_static();
        view.click(control::save_bt);
        view.set_text({control::profile_list}, "A");
        ui.answers = {answer_yes};
        view.click(control::delete_bt);
        const testing::shown_message refusal{c.message, 16, "エラー"};
        ASSERT_EQ(ui.messages.size(), 3u) << c.why;
        EXPECT_EQ(ui.messages[0], refusal) << c.why;
        EXPECT_EQ(ui.messages[2], refusal) << c.why;
        EXPECT_EQ(read_bytes("profile.dat"), before) << c.why;
        EXPECT_EQ(view.text({control::connect_txt}), "ローカル エリア接続") << c.why;
    }
    std::filesystem::permissions(".", std::filesystem::perms::owner_all);
}

TEST_F(command_fixture, delete_of_the_second_of_three_then_the_rest) {
    start_with({"A,c,,,,,,,1", "B,c,,,,,,,1", "C,c,,,,,,,1"});
    view.choose(1);
    ui.answers = {answer_yes};
    view.click(control::delete_bt);
    EXPECT_EQ(file(), "A,c,,,,,,,1\r\nC,c,,,,,,,1\r\n");
    EXPECT_EQ(view.items, (std::vector<std::string>{"A", "C"}));
    EXPECT_EQ(view.text({control::profile_list}), "");
    EXPECT_EQ(view.text({control::connect_txt}), "");
    EXPECT_EQ(view.check_value(), unchecked);
    EXPECT_EQ(view.status, "データベースを更新しました。");
    EXPECT_EQ(ui.messages[0],
              (testing::shown_message{"データが削除されます。続けますか？", 36, "問い合わせ"}));
    for (int i = 0; i < 2; ++i) {  // then the others: an empty file remains
        view.choose(0);
        ui.answers = {answer_yes};
        view.click(control::delete_bt);
    }
    EXPECT_EQ(read_bytes("profile.dat"), "");
    EXPECT_TRUE(view.items.empty());
    EXPECT_TRUE(state.table.no_profiles);
}

TEST_F(command_fixture, delete_of_a_typed_name_leaves_exactly_the_reloaded_names) {
    start_with({"A,c,,,,,,,1", "", "B,c,,,,,,,1", "A,second,,,,,,,1"});
    view.choose(1);
    view.set_text({control::profile_list}, "A");  // typed over the chosen B: no entry selected
    ui.answers = {answer_yes};
    view.click(control::delete_bt);
    // The first A goes, and the blank line with it; the list ends with exactly the names left.
    EXPECT_EQ(file(), "B,c,,,,,,,1\r\nA,second,,,,,,,1\r\n");
    EXPECT_EQ(view.items, (std::vector<std::string>{"B", "A"}));
}

TEST_F(command_fixture, delete_stops_early_without_touching_the_window) {
    start_with({"A,c,,,,,,,1"});
    const std::string before = read_bytes("profile.dat");
    view.set_text({control::profile_list}, "");
    view.click(control::delete_bt);  // nothing chosen
    // Only Yes deletes: No, and a box that could not be shown (0), leave the file alone.
    ui.answers = {answer_no, 0};
    view.set_text({control::profile_list}, "A");
    view.click(control::delete_bt);
    view.click(control::delete_bt);
    ui.answers = {answer_yes};
    view.set_text({control::profile_list}, "a");
    view.click(control::delete_bt);  // not in the file
    EXPECT_EQ(read_bytes("profile.dat"), before);
    ASSERT_EQ(ui.messages.size(), 5u);
    EXPECT_EQ(ui.messages[0],
              (testing::shown_message{"削除するプロファイルが選択されていません。", 48, "エラー"}));
    EXPECT_EQ(ui.messages[4], (testing::shown_message{
                                  "このプロファイルはデータベースに存在しません。", 16, "エラー"}));
    EXPECT_EQ(view.items, (std::vector<std::string>{"A"}));
    EXPECT_EQ(view.text({control::connect_txt}), "c");
}

TEST_F(command_fixture, submit_applies_what_the_window_shows) {
    start_with({});
    fill_static();
    fill(control::ip_add_txt, "010", "1", "1", "1");  // taken exactly as it stands
    fill(control::dns2_txt, "8", "8", "4", "4");
    std::string script;
    shell.on_run = [&](const std::string&) {
        script = host::from_cp932(read_bytes("cmd_tmp.cmd"));
        EXPECT_EQ(view.status, "処理中です。しばらくお待ちください。");
    };
    view.click(control::submit_bt);
    EXPECT_EQ(script,
              "@echo off\r\n"
              "netsh interface ip set address \"ローカル エリア接続\" static 010.1.1.1 "
              "255.255.255.0 192.168.0.1 1\r\n"
              "netsh interface ip add dns \"ローカル エリア接続\" 8.8.4.4\r\n");
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0],
              (testing::shown_message{"ネットワークの設定を変更しました。\r\n"
                                      "設定が反映されない場合はWindowsを再起動してください。",
                                      64, "処理終了"}));
    EXPECT_EQ(view.status, "");
    EXPECT_EQ(shell.scripts.at(0).owner, view.window_handle());
    EXPECT_EQ(read_bytes("profile.dat"), "");  // untouched
}

TEST_F(command_fixture, submit_shows_no_success_after_a_failed_run_and_nothing_when_incomplete) {
    start_with({});
    view.click(control::submit_bt);
    EXPECT_EQ(ui.beeps, 1);
    EXPECT_TRUE(shell.scripts.empty());
    EXPECT_EQ(std::count(view.status_history.begin(), view.status_history.end(),
                         "処理中です。しばらくお待ちください。"),
              0);

    fill_static();
    view.set_check_value(checked);
    using run = host::script_run::status;
    const struct {
        run result;
        const char* connection;
        const char* message;
    } cases[] = {
        {run::not_started, "LAN", "CMD.EXEが実行できません。"},
        {run::wait_failed, "LAN", "ウェイトできません。"},
        {run::finished, "name=LAN",
         "接続名に使用できない文字（\"、%、=、改行などの制御文字）が含まれています。"
         "接続名を確認してください。"},
    };
    for (const auto& c : cases) {
        ui.messages.clear();
        shell.script_result.result = c.result;
        view.set_text({control::connect_txt}, c.connection);
        view.click(control::submit_bt);
        EXPECT_EQ(ui.messages, (std::vector<testing::shown_message>{{c.message, 16, "エラー"}}));
        EXPECT_EQ(view.status, "");
    }
    std::filesystem::remove("cmd_tmp.cmd");            // left by the runs that did not start
    std::filesystem::create_directory("cmd_tmp.cmd");  // a leftover that cannot be removed
    view.set_text({control::connect_txt}, "LAN");
    const auto runs = shell.scripts.size();
    view.click(control::submit_bt);
    EXPECT_EQ(shell.scripts.size(), runs);  // nothing is run
    EXPECT_EQ(ui.messages.back(),
              (testing::shown_message{"cmd_tmp.cmd を作成できません。同じ名前のファイルを削除して"
                                      "から、もう一度実行してください。",
                                      16, "エラー"}));
    EXPECT_TRUE(std::filesystem::is_directory("cmd_tmp.cmd"));
}

// Settings read back as the test says.
struct fixed_settings : host::network_settings {
    host::ipv4_settings answer;
    std::vector<std::string> asked;
    host::ipv4_settings read_ipv4(const std::string& name) override {
        asked.push_back(name);
        return answer;
    }
};

// Success is said only when the connection now has what was asked; otherwise one error box
// says what differs. Without a way to read back, the run's status decides.
TEST_F(command_fixture, submit_says_success_only_for_settings_that_took_effect) {
    start_with({});
    fill_static();
    auto settings = std::make_unique<fixed_settings>();
    fixed_settings& read_back = *settings;
    read_back.answer.result = host::ipv4_settings::lookup::found;
    read_back.answer.addresses = {{"192.168.0.10", "255.255.255.0"}};
    read_back.answer.gateway = "192.168.0.1";
    state.network_settings = std::move(settings);
    auto waiter = std::make_unique<testing::recording_waiter>();
    const auto& pauses = waiter->pauses;
    state.waiter = std::move(waiter);
    view.click(control::submit_bt);
    // Read before the change (kept for the way back) and after it.
    EXPECT_EQ(read_back.asked, (std::vector<std::string>(2, "ローカル エリア接続")));
    EXPECT_TRUE(pauses.empty());
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].title, "処理終了");

    // Settings that never show are waited for about five seconds, and then reported.
    read_back.answer.gateway = "192.168.0.254";
    view.click(control::submit_bt);
    EXPECT_EQ(pauses.size(), 50u);
    EXPECT_EQ(read_back.asked.size(), 54u);
    ASSERT_EQ(ui.messages.size(), 3u);
    EXPECT_EQ(ui.messages[1],
              (testing::shown_message{"ネットワークの設定は反映されませんでした。\r\n"
                                      "デフォルトゲートウェイ: 192.168.0.1 → 実際 192.168.0.254",
                                      16, "エラー"}));
    EXPECT_EQ(ui.messages[2],
              (testing::shown_message{"変更前の設定に戻しますか？", 292, "問い合わせ"}));
    EXPECT_EQ(shell.scripts.size(), 2u);  // answered with the default: nothing more was run
    EXPECT_EQ(view.status, "");

    state.network_settings.reset();
    shell.script_result = {host::script_run::status::finished, 1,
                           "NetworkManager が動作していません。"};
    view.click(control::submit_bt);
    ASSERT_EQ(ui.messages.size(), 4u);  // without the settings before, no question
    EXPECT_EQ(ui.messages[3].style, 16);
    EXPECT_NE(ui.messages[3].text.find("NetworkManager が動作していません。"), std::string::npos);
}

// After a failed Submit the user is asked whether to go back; Yes applies the settings kept
// before through the same script and reports it; every Submit leaves one record in the log.
TEST_F(command_fixture, submit_asks_to_go_back_after_a_failure_and_records_each_change) {
    start_with({});
    fill_static();
    auto settings = std::make_unique<testing::scripted_network>();
    testing::scripted_network& network = *settings;
    network.attach(shell);
    network.current = testing::found_dhcp();
    state.network_settings = std::move(settings);
    state.waiter = std::make_unique<testing::recording_waiter>();
    auto log = std::make_unique<testing::memory_change_log>();
    const auto& records = log->records;
    state.change_log = std::move(log);
    const testing::shown_message failed{
        "ネットワークの設定は反映されませんでした。\r\n"
        "デフォルトゲートウェイ: 192.168.0.1 → 実際 192.168.0.254",
        16, "エラー"};
    const testing::shown_message question{"変更前の設定に戻しますか？", 292, "問い合わせ"};
    const auto wrong = testing::found_static("192.168.0.10", "255.255.255.0", "192.168.0.254");

    const struct {
        const char* what;
        std::vector<host::ipv4_settings> after_runs;
        std::deque<int> answers;
        std::vector<testing::shown_message> messages;
        std::size_t scripts;
    } cases[] = {
        {"No", {wrong}, {answer_ok, answer_no}, {failed, question}, 1},
        {"Yes, and it is back",
         {wrong, testing::found_dhcp()},
         {answer_ok, answer_yes},
         {failed, question, {"変更前の設定に戻しました。", 64, "処理終了"}},
         2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        network.current = testing::found_dhcp();
        network.after_runs.assign(c.after_runs.begin(), c.after_runs.end());
        network.scripts.clear();
        ui.messages.clear();
        ui.answers = c.answers;
        view.click(control::submit_bt);
        EXPECT_EQ(ui.messages, c.messages);
        ASSERT_EQ(network.scripts.size(), c.scripts);
        EXPECT_NE(network.scripts.back().find(c.scripts == 2 ? " dhcp" : " static"),
                  std::string::npos);
        EXPECT_EQ(view.status, "");
    }
    ASSERT_EQ(records.size(), 2u);
    EXPECT_TRUE(records[0].ends_with("戻し: 戻さなかった\n\n")) << records[0];
    EXPECT_TRUE(records[1].ends_with("戻し相違: なし\n\n")) << records[1];
    EXPECT_TRUE(
        records[1].starts_with("[2026-12-07 21:57:27 +0900] プロファイル: New 接続: "
                               "ローカル エリア接続\n"))
        << records[1];
}

}  // namespace
}  // namespace norvane
