#pragma once
// The figures of a run that the panel's refresh and the main window's last refresh
// derive from the download manager's counters, computed one way for both.

#include <cstdint>

// Average speed in bytes per second over the whole run: the bytes transferred by
// this run over its whole seconds; 0 in the first second.
float AverageSpeed(int64_t transferredBytes, uint32_t wholeSeconds);
// MiB per second, as the progress bar takes it.
float MebibytesPerSecond(float bytesPerSecond);
// Seconds until `missingBytes` have arrived at `bytesPerSecond`; 0 while the speed
// is 0 (or the quotient is no usable number) and when nothing is missing.
uint32_t RemainingSeconds(int64_t missingBytes, float bytesPerSecond);
// Progress in hundredths of a percent (0 to 10000 for consistent counters); 0 for
// a total of 0.
int32_t ProgressRate(int64_t receivedBytes, int64_t totalBytes);
