// The Windows side's settings reader and what it asks the system, so that a test can answer
// part of it (an adapter without a link) and let the registry answer the rest.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/adapter_settings.h"
#include "host/host.h"

namespace norvane::host {

class windows_network_source {
  public:
    virtual ~windows_network_source() = default;
    // The adapters and their settings, or false with the reason when they cannot be listed.
    virtual bool list_adapters(std::vector<adapter_record>& adapters, std::string& reason) = 0;
    virtual std::vector<connection_name> connection_names() = 0;
    virtual std::optional<stored_configuration> stored(const std::string& adapter_id) = 0;
};

// The connections' names, from the network class key of the registry.
std::vector<connection_name> registry_connection_names();

// What the TCP/IP service stores for an adapter (EnableDHCP, IPAddress, SubnetMask,
// DefaultGateway, NameServer under its Interfaces key); nothing when it has no key there.
std::optional<stored_configuration> registry_stored_configuration(const std::string& adapter_id);

// The system's answers: GetAdaptersInfo, GetPerAdapterInfo, GetIfEntry and the registry.
std::unique_ptr<windows_network_source> create_system_network_source();

std::unique_ptr<network_settings> create_network_settings(
    std::unique_ptr<windows_network_source> source);

}  // namespace norvane::host
