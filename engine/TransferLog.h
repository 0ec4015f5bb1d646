#pragma once
// The transfer log: an append-only text file in the working folder, one line per
// notable transfer event. Every line starts with the build stamp of the source file
// that writes it, so a log can be matched with the build that wrote each line.

// The stamp of the including file's own compilation, followed by one blank. It
// expands where it is used, so each writer carries its own build time.
#define TRANSFER_LOG_STAMP __DATE__ " " __TIME__ " "

// Appends one finished line (stamp and line end included) to the log in the
// application's working folder. A log that cannot be opened loses the line.
void AppendTransferLog(const char* line);
