#pragma once
// Bounded copies into the fixed-size text fields of the system's records.

#include <cstring>

// Copies src into dest, cutting it to fit; returns whether the whole text fitted.
template <size_t N>
bool CopyText(char (&dest)[N], const char* src) {
    size_t length = strnlen(src, N);
    bool fits = length < N;
    if (!fits) length = N - 1;
    memcpy(dest, src, length);
    dest[length] = '\0';
    return fits;
}
