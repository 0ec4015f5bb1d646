#include "ui/controls/FreeSpace.h"

#include <windows.h>

bool AvailableBytes(const char* folder, int64_t& bytes) {
    ULARGE_INTEGER available{};
    if (!folder || !GetDiskFreeSpaceExA(folder, &available, nullptr, nullptr)) {
        bytes = 0;
        return false;
    }
    // More than 2^63 bytes cannot be; keep the value positive all the same.
    bytes = available.QuadPart > static_cast<ULONGLONG>(INT64_MAX) ? INT64_MAX
                                                                    : static_cast<int64_t>(available.QuadPart);
    return true;
}
