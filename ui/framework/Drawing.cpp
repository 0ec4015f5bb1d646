#include "ui/framework/Drawing.h"

#include "app/cApp.h"

D2D1_COLOR_F ColourFromRgb(uint32_t rgb, float alpha) {
    return D2D1_COLOR_F{static_cast<float>((rgb >> 16) & 0xFF) / 255.0f,
                        static_cast<float>((rgb >> 8) & 0xFF) / 255.0f,
                        static_cast<float>(rgb & 0xFF) / 255.0f, alpha};
}

bool FinishDraw(cWindow& window) {
    if (!window.renderTarget) return false;
    return HandleEndDrawResult(window, window.renderTarget->EndDraw());
}

bool HandleEndDrawResult(cWindow& window, HRESULT result) {
    if (SUCCEEDED(result)) {
        window.lostFramesInARow = 0;
        return true;
    }
    if (result == static_cast<HRESULT>(D2DERR_RECREATE_TARGET)) {
        window.DiscardRenderTarget();
        // Repaint at once only after a good frame, so that a device that keeps
        // failing does not keep the main thread painting.
        if (window.lostFramesInARow++ == 0) {
            window.Invalidate();
            return false;
        }
    }
    if (theApp) theApp->ShowMessage("error", MB_ICONWARNING);
    return false;
}
