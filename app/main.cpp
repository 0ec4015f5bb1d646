#include <windows.h>

#include "app/Entry.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    return RunProgram(instance);
}
