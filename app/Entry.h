#pragma once
#include <windows.h>

// The program's body from the single-instance guard to shutdown; the result is
// the process's exit code.
int RunProgram(HINSTANCE instance);

// Prepares the two levels of the working folder under the user's temporary folder.
void PrepareWorkFolder(char (&workFolder)[260]);
