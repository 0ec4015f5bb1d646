#include "json/WideText.h"

#ifdef _WIN32
#include <windows.h>
#endif

void AnsiToWide(const char* text, wchar_t* wide, int wideCount) {
    if (wideCount <= 0) return;
#ifdef _WIN32
    // Any ANSI code page yields at most one UTF-16 unit per byte.
    int written = MultiByteToWideChar(CP_ACP, 0, text, -1, wide, wideCount);
    if (written <= 0) wide[0] = L'\0';
#else
    int i = 0;
    for (; i < wideCount - 1 && text[i]; ++i) wide[i] = wchar_t(static_cast<unsigned char>(text[i]));
    wide[i] = L'\0';
#endif
    wide[wideCount - 1] = L'\0';
}
