// The version query on Windows: GetVersionExA with the 148-byte version record. The query's
// own result is not examined; a failed query leaves every field at 0.
#include <windows.h>

#include "host/platform.h"

namespace norvane::host {

os_version query_os_version() {
    OSVERSIONINFOA info;
    ZeroMemory(&info, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;  // 148
    GetVersionExA(&info);
    return os_version{.platform_id = info.dwPlatformId,
                      .major_version = info.dwMajorVersion,
                      .minor_version = info.dwMinorVersion,
                      .build_number = info.dwBuildNumber};
}

}  // namespace norvane::host
