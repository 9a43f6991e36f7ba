// The Windows settings reader for an adapter without a link, under Wine: the test lists the
// adapter itself (no link, 0.0.0.0, as Windows lists an unplugged one) and writes what netsh
// would have stored into the registry, where the reader finds the connection's name and the
// stored configuration. Submit then says the settings are saved, not applied.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/win32/network_settings_win32.h"
#include "netconfig/settings_check.h"

namespace norvane::host {
namespace {

constexpr const wchar_t* adapter_id = L"{0E5A1D2C-7F00-4C1E-9D0B-00000000A17E}";
const std::wstring connection_key = std::wstring(
                                        L"SYSTEM\\CurrentControlSet\\Control\\Network\\"
                                        L"{4D36E972-E325-11CE-BFC1-08002BE10318}\\") +
                                    adapter_id;
const std::wstring tcpip_key =
    std::wstring(L"SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces\\") +
    adapter_id;

// A registry key the test writes, and removes again with everything in it.
class test_key {
  public:
    explicit test_key(const std::wstring& path) : path_(path) {
        EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &key_, nullptr),
                  ERROR_SUCCESS);
    }
    ~test_key() {
        RegCloseKey(key_);
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, (path_ + L"\\Connection").c_str());
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, path_.c_str());
    }
    test_key(const test_key&) = delete;
    test_key& operator=(const test_key&) = delete;

    HKEY get() const { return key_; }
    // Texts are written with their terminating zero; a list (REG_MULTI_SZ) ends with one more.
    void text(const wchar_t* name, const std::wstring& value, DWORD type = REG_SZ) {
        const std::wstring data = value + (type == REG_MULTI_SZ ? std::wstring(1, L'\0') : L"");
        ASSERT_EQ(RegSetValueExW(key_, name, 0, type, reinterpret_cast<const BYTE*>(data.c_str()),
                                 static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t))),
                  ERROR_SUCCESS);
    }
    void number(const wchar_t* name, DWORD value) {
        ASSERT_EQ(RegSetValueExW(key_, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                                 sizeof value),
                  ERROR_SUCCESS);
    }

  private:
    std::wstring path_;
    HKEY key_ = nullptr;
};

// The adapters as the test says; names and stored configuration from the registry.
struct test_source : windows_network_source {
    std::vector<adapter_record> adapters;
    bool list_adapters(std::vector<adapter_record>& listed, std::string&) override {
        listed = adapters;
        return true;
    }
    std::vector<connection_name> connection_names() override { return registry_connection_names(); }
    std::optional<stored_configuration> stored(const std::string& id) override {
        return registry_stored_configuration(id);
    }
};

TEST(network_settings_win32, an_unplugged_adapter_is_read_from_what_netsh_stored) {
    test_key connection(connection_key);
    test_key name(connection_key + L"\\Connection");
    name.text(L"Name", L"ローカル エリア接続 9");
    test_key tcpip(tcpip_key);
    tcpip.number(L"EnableDHCP", 0);
    tcpip.text(L"IPAddress", L"192.168.0.10", REG_MULTI_SZ);
    tcpip.text(L"SubnetMask", L"255.255.255.0", REG_MULTI_SZ);
    tcpip.text(L"DefaultGateway", L"192.168.0.1", REG_MULTI_SZ);
    tcpip.text(L"NameServer", L"192.168.0.1,192.168.0.2");

    auto source = std::make_unique<test_source>();
    test_source& listed = *source;
    listed.adapters = {{"{0e5a1d2c-7f00-4c1e-9d0b-00000000a17e}",
                        false,
                        {{"0.0.0.0", "0.0.0.0"}},
                        {""},
                        {},
                        false}};
    const auto reader = create_network_settings(std::move(source));
    const profile_record office{"Office",
                                "ローカル エリア接続 9",
                                "192.168.0.10",
                                "255.255.255.0",
                                "192.168.0.1",
                                "192.168.0.1",
                                "192.168.0.2",
                                "",
                                "0"};
    const network_run ok{network_run::status::finished, 0, ""};
    const submit_message saved{
        "ネットワークの設定を保存しました。\r\n接続がつながると反映されます。", 64, "処理終了"};

    const auto stored = reader->read_ipv4("ローカル エリア接続 9");
    EXPECT_EQ(stored.result, ipv4_settings::lookup::found);
    EXPECT_TRUE(stored.not_connected);
    EXPECT_EQ(stored.addresses,
              (std::vector<ipv4_settings::address>{{"192.168.0.10", "255.255.255.0"}}));
    EXPECT_EQ(stored.gateway, "192.168.0.1");
    EXPECT_EQ(stored.dns, (std::vector<std::string>{"192.168.0.1", "192.168.0.2"}));
    EXPECT_EQ(submit_report(office, ok, stored), saved);

    // Another address stored: not what was asked, an error.
    tcpip.text(L"IPAddress", L"192.168.0.99", REG_MULTI_SZ);
    const auto other = submit_report(office, ok, reader->read_ipv4("ローカル エリア接続 9"));
    EXPECT_EQ(other.style, 16);
    EXPECT_NE(other.text.find("192.168.0.10 → 実際 192.168.0.99"), std::string::npos);

    // DHCP stored: a DHCP profile is saved.
    tcpip.number(L"EnableDHCP", 1);
    const profile_record dhcp{"Home", "ローカル エリア接続 9", "", "", "", "", "", "", "1"};
    EXPECT_EQ(submit_report(dhcp, ok, reader->read_ipv4("ローカル エリア接続 9")), saved);

    // With its link, the adapter's own 0.0.0.0 counts: not applied.
    listed.adapters[0].connected = true;
    const auto linked = reader->read_ipv4("ローカル エリア接続 9");
    EXPECT_FALSE(linked.not_connected);
    EXPECT_EQ(submit_report(office, ok, linked).style, 16);
}

}  // namespace
}  // namespace norvane::host
