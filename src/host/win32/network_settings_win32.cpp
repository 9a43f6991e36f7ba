// Reading a connection's IPv4 settings back on Windows. The connection's name (as the user
// sees it in Network Connections and as netsh takes it) is kept in the registry under the
// network class key, per adapter; the adapter's addresses, gateway and DHCP state come from
// GetAdaptersInfo, its DNS servers from GetPerAdapterInfo. Both are looked up in the system's
// iphlpapi.dll when the settings are read, not imported: Windows NT 4.0 lacks them, and the
// program must still load there to refuse to run.
#include <windows.h>
// clang-format off
#include <iphlpapi.h>
// clang-format on

#include <string>
#include <vector>

#include "host/adapter_settings.h"
#include "host/platform.h"
#include "host/win32/system_library.h"
#include "host/win32/wide_text.h"

namespace norvane::host {
namespace {

constexpr const wchar_t* network_class_key =
    L"SYSTEM\\CurrentControlSet\\Control\\Network\\{4D36E972-E325-11CE-BFC1-08002BE10318}";

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

  private:
    HKEY key_ = nullptr;
};

std::vector<connection_name> connection_names() {
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

    ip_helper()
        : adapters_info(library.entry<adapters_info_call>("GetAdaptersInfo")),
          per_adapter_info(library.entry<per_adapter_info_call>("GetPerAdapterInfo")) {}

    win32::system_library library{L"iphlpapi.dll"};
    adapters_info_call adapters_info;
    per_adapter_info_call per_adapter_info;
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

std::string adapters_unreadable(DWORD code) {
    return "アダプターの情報を取得できません（" + std::to_string(code) + "）。";
}

// The adapters, or false with the reason when they cannot be listed.
bool list_adapters(std::vector<adapter_record>& adapters, std::string& reason) {
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
        adapters.push_back(std::move(adapter));
    }
    return true;
}

class win32_network_settings : public network_settings {
  public:
    ipv4_settings read_ipv4(const std::string& connection) override {
        std::vector<adapter_record> adapters;
        ipv4_settings settings;
        if (!list_adapters(adapters, settings.reason)) {
            return settings;
        }
        return settings_for_connection(connection, connection_names(), adapters);
    }
};

}  // namespace

std::unique_ptr<network_settings> create_network_settings() {
    return std::make_unique<win32_network_settings>();
}

}  // namespace norvane::host
