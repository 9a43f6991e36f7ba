// The version query on this host. The host layer provides the services of the platform
// generation the program was made for (platform 2, version 5.1), so that is what it answers.
#include <cstring>

#include "host/host.h"

namespace norvane::host {

void query_os_version(os_version_info& info) {
    info.major_version = 5;
    info.minor_version = 1;
    info.build_number = 2600;
    info.platform_id = 2;
    std::memset(info.service_pack, 0, sizeof info.service_pack);
}

}  // namespace norvane::host
