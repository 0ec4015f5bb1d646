#pragma once
// Drawing services shared by every window: the colour rule and the end of a frame.

#include <windows.h>
#include <d2d1.h>

#include <cstdint>

#include "ui/framework/cWindow.h"

// A colour given as 0xRRGGBB (as GetHex reads it) with an opacity from 0 to 1.
// A UI description's "alpha" is a percentage: pass alpha / 100.0f.
D2D1_COLOR_F ColourFromRgb(uint32_t rgb, float alpha);

// Ends the frame that `window` began with BeginFrame; see
// HandleEndDrawResult. True when the frame was drawn.
bool FinishDraw(cWindow& window);

// What follows EndDraw's result. A lost render target is discarded with its
// resources and the window repainted, once: a new target is made on that paint.
// Any other failure, and a loss right after a loss, shows the "error" message
// (owner the main window, caption messageTitle) and leaves the next attempt to the
// next paint. True when the frame was drawn.
bool HandleEndDrawResult(cWindow& window, HRESULT result);
