#include "ui/controls/ValueText.h"

#include <cmath>
#include <cstdio>

namespace {

// Copies a formatted ASCII text into a wide slot; `text` always fits, the callers
// chose formats that do.
template <int N>
void Widen(wchar_t (&slot)[N], const char* text) {
    int i = 0;
    for (; i < N - 1 && text[i]; ++i) slot[i] = static_cast<wchar_t>(static_cast<unsigned char>(text[i]));
    slot[i] = L'\0';
}

}  // namespace

void FormatDuration(wchar_t (&text)[kValueTextSize], uint32_t seconds) {
    const uint32_t kLongest = 99 * 3600 + 59 * 60 + 59;
    if (seconds > kLongest) seconds = kLongest;
    char narrow[kValueTextSize];
    snprintf(narrow, sizeof narrow, "%02d:%02d:%02d", static_cast<int>(seconds / 3600),
             static_cast<int>((seconds / 60) % 60), static_cast<int>(seconds % 60));
    Widen(text, narrow);
}

void FormatSize(wchar_t (&text)[kValueTextSize], int64_t bytes) {
    static const char* const kUnits[] = {"MBytes", "GBytes", "TBytes", "PBytes"};
    double amount = static_cast<double>(bytes) * (1.0 / 1048576.0);
    char narrow[64];
    for (const char* unit : kUnits) {
        int length = snprintf(narrow, sizeof narrow, "%03.1f %s", amount, unit);
        // Six digits before the point would fit the text but run into the next label.
        if (length > 0 && length < kValueTextSize && amount < 99999.95) break;
        amount /= 1024.0;
    }
    // The largest 64-bit size is 8192.0 PBytes, so the loop always ends on a fit.
    Widen(text, narrow);
}

void FormatRate(wchar_t (&text)[kRateTextSize], int32_t rate) {
    if (rate < 0) rate = 0;
    if (rate > 99999) rate = 99999;
    char narrow[kRateTextSize];
    snprintf(narrow, sizeof narrow, "%.02f%%", static_cast<double>(static_cast<float>(rate) / 100.0f));
    Widen(text, narrow);
}

void FormatSpeed(wchar_t (&text)[kValueTextSize], float mebibytesPerSecond) {
    double speed = mebibytesPerSecond;
    if (!(speed >= 0.0)) speed = 0.0;  // also a speed that is not a number
    const char* unit = "MiB/Sec";
    // The comparison is made on the printed value, so that 999.9996 does not print as 1000.000 MiB.
    if (speed >= 999.9995) {
        speed /= 1024.0;
        unit = "GiB/Sec";
        if (speed > 999.999) speed = 999.999;
    }
    char narrow[kValueTextSize];
    snprintf(narrow, sizeof narrow, "%.03f %s", speed, unit);
    Widen(text, narrow);
}

double Gigabytes(int64_t bytes) {
    return static_cast<double>(bytes) * (1.0 / 1073741824.0);
}
