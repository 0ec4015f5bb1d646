#pragma once
// The texts in which the controls show amounts, times, progress and speed, each
// made to fit its fixed slot. The one place that decides what a value that does not
// fit turns into:
// - sizes switch from MBytes to GBytes (and on to TBytes, PBytes) instead of growing
//   past 15 characters;
// - times of 100 hours or more read 99:59:59 (the slot beside a label holds eight
//   characters before the next label begins);
// - progress reads at most 999.99% and at least 0.00%;
// - speeds of 1000 MiB/Sec or more read in GiB/Sec, and what is not a number or
//   below zero reads 0.000 MiB/Sec.

#include <cstdint>

// The panel's and the bar's text slots, terminator included.
constexpr int kRateTextSize = 8;
constexpr int kValueTextSize = 16;

// "hh:mm:ss" of whole seconds, capped at 99:59:59.
void FormatDuration(wchar_t (&text)[kValueTextSize], uint32_t seconds);
// "%03.1f MBytes" of bytes / 2^20, or the next larger unit where that is too long.
void FormatSize(wchar_t (&text)[kValueTextSize], int64_t bytes);
// "%.02f%%" of rate / 100 (rate in hundredths of a percent), clamped to 0 .. 99999.
void FormatRate(wchar_t (&text)[kRateTextSize], int32_t rate);
// "%.03f MiB/Sec", or "%.03f GiB/Sec" from 1000 MiB/Sec on.
void FormatSpeed(wchar_t (&text)[kValueTextSize], float mebibytesPerSecond);
// Bytes in GB of 2^30, as the folder dialog shows them.
double Gigabytes(int64_t bytes);
