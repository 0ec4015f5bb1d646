#pragma once
// The free-space rule that guards a download run, shared by the start action and
// the folder dialog.

#include <cstdint>

// Bytes available to the calling user on the drive that holds `folder`; false when
// the system cannot tell (no such folder, a drive without a medium).
bool AvailableBytes(const char* folder, int64_t& bytes);

// A run may start only when the available space is strictly greater than the
// bytes it needs; equal is not enough.
inline bool HasRoomFor(int64_t availableBytes, int64_t requiredBytes) {
    return availableBytes > requiredBytes;
}
