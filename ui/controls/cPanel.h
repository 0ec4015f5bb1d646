#pragma once
// A child window that draws a strip of its own on the main window.

#include "ui/framework/cWindow.h"

class cPanel : public cWindow {
public:
    LRESULT OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override = 0;
    virtual ~cPanel();
};
