#pragma once
// Converts a zero-terminated text in the ANSI code page to UTF-16 (on other
// platforms than Windows, each byte becomes the character of the same number).
// Writes at most `wideCount` characters including the terminating zero, which is
// always written; a text that cannot be converted becomes empty.
void AnsiToWide(const char* text, wchar_t* wide, int wideCount);
