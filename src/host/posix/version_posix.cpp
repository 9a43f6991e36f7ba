// The version query on this host. The host layer provides the services of the platform
// generation the program was made for (platform 2, version 5.1), so that is what it answers.
#include "host/platform.h"

namespace norvane::host {

os_version query_os_version() {
    return os_version{
        .platform_id = 2, .major_version = 5, .minor_version = 1, .build_number = 2600};
}

}  // namespace norvane::host
