#include "ui/controls/ProgressFigures.h"

#include <cmath>

float AverageSpeed(int64_t transferredBytes, uint32_t wholeSeconds) {
    if (wholeSeconds == 0) return 0.0f;
    return static_cast<float>(static_cast<double>(transferredBytes)) / static_cast<float>(wholeSeconds);
}

float MebibytesPerSecond(float bytesPerSecond) {
    return bytesPerSecond * (1.0f / 1048576.0f);
}

uint32_t RemainingSeconds(int64_t missingBytes, float bytesPerSecond) {
    float quotient = static_cast<float>(static_cast<double>(missingBytes)) / bytesPerSecond;
    // Infinite or not a number while the speed is 0; below 0 when more is on disk than
    // the total (a remaining time of its low 32 bits would read as days).
    if (!std::isfinite(quotient) || quotient <= 0.0f) return 0;
    // More than 136 years is shown as the longest time the slot holds anyway.
    if (quotient >= 4294967295.0f) return UINT32_MAX;
    return static_cast<uint32_t>(quotient);
}

int32_t ProgressRate(int64_t receivedBytes, int64_t totalBytes) {
    if (totalBytes == 0) return 0;
    float percent = static_cast<float>(static_cast<double>(receivedBytes) * 100.0 / static_cast<double>(totalBytes));
    float hundredths = percent * 100.0f;
    // Counters far out of step must not overflow the conversion.
    if (std::isnan(hundredths)) return 0;
    if (hundredths <= -2.0e9f) return -2000000000;
    if (hundredths >= 2.0e9f) return 2000000000;
    return static_cast<int32_t>(hundredths);
}
