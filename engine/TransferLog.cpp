#include "engine/TransferLog.h"

#include <cstdio>

#include "app/cApp.h"

void AppendTransferLog(const char* line) {
    if (!theApp) return;
    // The working folder already ends with a backslash; the doubled separator is
    // read as one by the file system.
    char path[260];
    int length = snprintf(path, sizeof path, "%s\\%s", theApp->workFolder, "zaririvoduz.izu");
    if (length <= 0 || length >= static_cast<int>(sizeof path)) return;
    // Several workers append without a lock: one open, one write and one close per
    // line keeps each line whole.
    FILE* file = fopen(path, "a");
    if (!file) return;
    fputs(line, file);
    fflush(file);
    fclose(file);
}
