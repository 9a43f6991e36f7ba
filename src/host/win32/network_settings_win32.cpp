// Reading a connection's IPv4 settings back on Windows. The connection's name (as the user
// sees it in Network Connections and as netsh takes it) is kept in the registry under the
// network class key, per adapter; the adapter's addresses, gateway and DHCP state come from
// GetAdaptersInfo, its DNS servers from GetPerAdapterInfo, its link from GetIfEntry. These are
// looked up in the system's iphlpapi.dll when the settings are read, not imported: Windows NT
// 4.0 lacks them, and the program must still load there to refuse to run. An adapter without a
// link lists 0.0.0.0: what netsh stored for it is in the TCP/IP service's registry key of the
// adapter.
#include "host/win32/network_settings_win32.h"

#include <windows.h>
// clang-format off
#include <iphlpapi.h>
// clang-format on

#include <string>
#include <utility>
#include <vector>

#include "host/platform.h"
#include "host/win32/system_library.h"
#include "host/win32/wide_text.h"

namespace norvane::host {
namespace {

constexpr const wchar_t* network_class_key =
    L"SYSTEM\\CurrentControlSet\\Control\\Network\\{4D36E972-E325-11CE-BFC1-08002BE10318}";
constexpr const wchar_t* tcpip_interfaces_key =
    L"SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces";

class registry_key {
  public:
    registry_key(HKEY parent, const std::wstring& path) {
        if (RegOpenKeyExW(parent, path.c_str(), 0, KEY_READ, &key_) != ERROR_SUCCESS) {
            key_ = nullptr;
        }
    }
    ~registry_key() {
        if (key_ != nullptr) {
            RegCloseKey(key_);
        }
    }
    registry_key(const registry_key&) = delete;
    registry_key& operator=(const registry_key&) = delete;

    HKEY get() const { return key_; }

    // The names of the subkeys.
    std::vector<std::wstring> subkeys() const {
        std::vector<std::wstring> names;
        for (DWORD i = 0; key_ != nullptr; ++i) {
            wchar_t name[256];
            DWORD length = 256;
            if (RegEnumKeyExW(key_, i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS) {
                break;
            }
            names.emplace_back(name, length);
        }
        return names;
    }

    // A text value ("" when there is none).
    std::wstring text(const wchar_t* value) const {
        if (key_ == nullptr) {
            return L"";
        }
        DWORD type = 0;
        DWORD size = 0;
        if (RegQueryValueExW(key_, value, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
            type != REG_SZ || size == 0) {
            return L"";
        }
        std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1, L'\0');
        if (RegQueryValueExW(key_, value, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                             &size) != ERROR_SUCCESS) {
            return L"";
        }
        return std::wstring(buffer.data());
    }

    // The texts of a list value (REG_MULTI_SZ); nothing when there is none.
    std::vector<std::wstring> texts(const wchar_t* value) const {
        std::vector<std::wstring> items;
        DWORD type = 0;
        DWORD size = 0;
        if (key_ == nullptr ||
            RegQueryValueExW(key_, value, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
            type != REG_MULTI_SZ || size == 0) {
            return items;
        }
        std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 2, L'\0');
        if (RegQueryValueExW(key_, value, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                             &size) != ERROR_SUCCESS) {
            return items;
        }
        for (const wchar_t* item = buffer.data(); *item != L'\0'; item += wcslen(item) + 1) {
            items.emplace_back(item);
        }
        return items;
    }

    // A number value (REG_DWORD), or fallback when there is none.
    DWORD number(const wchar_t* value, DWORD fallback) const {
        DWORD type = 0;
        DWORD data = 0;
        DWORD size = sizeof data;
        if (key_ == nullptr ||
            RegQueryValueExW(key_, value, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size) !=
                ERROR_SUCCESS ||
            type != REG_DWORD) {
            return fallback;
        }
        return data;
    }

  private:
    HKEY key_ = nullptr;
};

std::vector<std::string> narrowed(const std::vector<std::wstring>& texts) {
    std::vector<std::string> items;
    for (const auto& text : texts) {
        items.push_back(win32::narrow(text));
    }
    return items;
}

// True while the interface has a link: Windows reports an adapter whose cable is out, or
// that has joined no wireless network, as not operational.
}  // namespace

std::vector<connection_name> registry_connection_names() {
    std::vector<connection_name> names;
    const registry_key network(HKEY_LOCAL_MACHINE, network_class_key);
    for (const std::wstring& adapter : network.subkeys()) {
        const registry_key connection(network.get(), adapter + L"\\Connection");
        const std::wstring name = connection.text(L"Name");
        if (!name.empty()) {
            names.emplace_back(win32::narrow(name), win32::narrow(adapter));
        }
    }
    return names;
}

std::optional<stored_configuration> registry_stored_configuration(const std::string& adapter_id) {
    const registry_key interfaces(HKEY_LOCAL_MACHINE, tcpip_interfaces_key);
    const registry_key adapter(interfaces.get(), win32::widen(adapter_id));
    if (interfaces.get() == nullptr || adapter.get() == nullptr) {
        return std::nullopt;
    }
    stored_configuration stored;
    stored.dhcp = adapter.number(L"EnableDHCP", 0) != 0;
    stored.ips = narrowed(adapter.texts(L"IPAddress"));
    stored.masks = narrowed(adapter.texts(L"SubnetMask"));
    stored.gateways = narrowed(adapter.texts(L"DefaultGateway"));
    stored.name_servers = win32::narrow(adapter.text(L"NameServer"));
    return stored;
}

namespace {

std::vector<std::string> address_strings(const IP_ADDR_STRING* entry) {
    std::vector<std::string> texts;
    for (; entry != nullptr; entry = entry->Next) {
        texts.emplace_back(entry->IpAddress.String);
    }
    return texts;
}

// The two calls of the IP helper library.
struct ip_helper {
    using adapters_info_call = DWORD(WINAPI*)(PIP_ADAPTER_INFO, PULONG);
    using per_adapter_info_call = DWORD(WINAPI*)(ULONG, PIP_PER_ADAPTER_INFO, PULONG);
    using if_entry_call = DWORD(WINAPI*)(PMIB_IFROW);

    ip_helper()
        : adapters_info(library.entry<adapters_info_call>("GetAdaptersInfo")),
          per_adapter_info(library.entry<per_adapter_info_call>("GetPerAdapterInfo")),
          if_entry(library.entry<if_entry_call>("GetIfEntry")) {}

    win32::system_library library{L"iphlpapi.dll"};
    adapters_info_call adapters_info;
    per_adapter_info_call per_adapter_info;
    if_entry_call if_entry;
};

std::vector<std::string> dns_servers(const ip_helper& helper, DWORD index) {
    ULONG size = 0;
    if (helper.per_adapter_info(index, nullptr, &size) != ERROR_BUFFER_OVERFLOW || size == 0) {
        return {};
    }
    std::vector<unsigned char> buffer(size);
    auto* info = reinterpret_cast<IP_PER_ADAPTER_INFO*>(buffer.data());
    if (helper.per_adapter_info(index, info, &size) != ERROR_SUCCESS) {
        return {};
    }
    return address_strings(&info->DnsServerList);
}

// False only when the system says the adapter has no link (cable out, no wireless network).
bool has_link(const ip_helper& helper, DWORD index) {
    MIB_IFROW row{};
    row.dwIndex = index;
    if (helper.if_entry == nullptr || helper.if_entry(&row) != NO_ERROR) {
        return true;  // not known: read as it is listed
    }
    return row.dwOperStatus == MIB_IF_OPER_STATUS_CONNECTED ||
           row.dwOperStatus == MIB_IF_OPER_STATUS_OPERATIONAL;
}

std::string adapters_unreadable(DWORD code) {
    return "アダプターの情報を取得できません（" + std::to_string(code) + "）。";
}

// The adapters, or false with the reason when they cannot be listed.
bool list_system_adapters(std::vector<adapter_record>& adapters, std::string& reason) {
    const ip_helper helper;
    if (helper.adapters_info == nullptr || helper.per_adapter_info == nullptr) {
        reason = adapters_unreadable(ERROR_PROC_NOT_FOUND);
        return false;
    }
    ULONG size = 0;
    DWORD result = helper.adapters_info(nullptr, &size);
    if (result == ERROR_NO_DATA) {
        return true;  // no adapter at all
    }
    if (result != ERROR_BUFFER_OVERFLOW) {
        reason = adapters_unreadable(result);
        return false;
    }
    std::vector<unsigned char> buffer(size);
    auto* first = reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data());
    result = helper.adapters_info(first, &size);
    if (result != ERROR_SUCCESS) {
        reason = adapters_unreadable(result);
        return false;
    }
    for (const IP_ADAPTER_INFO* info = first; info != nullptr; info = info->Next) {
        adapter_record adapter;
        adapter.id = info->AdapterName;
        adapter.dhcp = info->DhcpEnabled != 0;
        for (const IP_ADDR_STRING* entry = &info->IpAddressList; entry != nullptr;
             entry = entry->Next) {
            adapter.addresses.push_back({entry->IpAddress.String, entry->IpMask.String});
        }
        adapter.gateways = address_strings(&info->GatewayList);
        adapter.dns = dns_servers(helper, info->Index);
        adapter.connected = has_link(helper, info->Index);
        adapters.push_back(std::move(adapter));
    }
    return true;
}

class system_source : public windows_network_source {
  public:
    bool list_adapters(std::vector<adapter_record>& adapters, std::string& reason) override {
        return list_system_adapters(adapters, reason);
    }
    std::vector<connection_name> connection_names() override { return registry_connection_names(); }
    std::optional<stored_configuration> stored(const std::string& adapter_id) override {
        return registry_stored_configuration(adapter_id);
    }
};

class win32_network_settings : public network_settings {
  public:
    explicit win32_network_settings(std::unique_ptr<windows_network_source> source)
        : source_(std::move(source)) {}

    ipv4_settings read_ipv4(const std::string& connection) override {
        std::vector<adapter_record> adapters;
        ipv4_settings settings;
        if (!source_->list_adapters(adapters, settings.reason)) {
            return settings;
        }
        return settings_for_connection(
            connection, source_->connection_names(), adapters,
            [this](const std::string& id) { return source_->stored(id); });
    }

  private:
    std::unique_ptr<windows_network_source> source_;
};

}  // namespace

std::unique_ptr<windows_network_source> create_system_network_source() {
    return std::make_unique<system_source>();
}

std::unique_ptr<network_settings> create_network_settings(
    std::unique_ptr<windows_network_source> source) {
    return std::make_unique<win32_network_settings>(std::move(source));
}

std::unique_ptr<network_settings> create_network_settings() {
    return create_network_settings(create_system_network_source());
}

}  // namespace norvane::host
