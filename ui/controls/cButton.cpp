#include "ui/controls/cButton.h"

#include "json/cJson.h"
#include "ui/framework/Drawing.h"

cButton::cButton(int32_t firstPictureId) : state(normal), firstPictureId(firstPictureId), pictures{} {}

cButton::~cButton() {
    for (ComPtr<ID2D1Bitmap>& picture : pictures) picture.Reset();
}

LRESULT cButton::OnMessage(HWND, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        OnCreate();
        break;
    case WM_PAINT:
        OnPaint();
        break;
    case WM_MOUSEMOVE:
        OnMouseMove(wParam, lParam);
        break;
    case WM_LBUTTONDOWN:
        OnLButtonDown();
        break;
    case WM_LBUTTONUP:
        OnLButtonUp(wParam, lParam);
        break;
    case WM_MOUSEHOVER:
        OnMouseHover();
        break;
    case WM_MOUSELEAVE:
        OnMouseLeave();
        break;
    default:
        break;
    }
    return 0;
}

void cButton::OnCreate() {
    LoadPictures();
    // Without its normal picture the button keeps its provisional size; it is shown
    // all the same and draws nothing.
    int32_t pictureWidth = width;
    int32_t pictureHeight = height;
    if (pictures[normal]) {
        D2D1_SIZE_F size = pictures[normal]->GetSize();
        pictureWidth = static_cast<int32_t>(size.width);
        pictureHeight = static_cast<int32_t>(size.height);
    }
    width = pictureWidth;
    height = pictureHeight;
    SetWindowPos(hWnd, HWND_TOP, x, y, pictureWidth, pictureHeight, SWP_SHOWWINDOW);
}

void cButton::LoadPictures() {
    for (int s = 0; s < kStateCount; ++s) pictures[s] = LoadPicture(static_cast<WORD>(firstPictureId + s));
}

void cButton::OnPaint() {
    PAINTSTRUCT paint{};
    HDC paintDC = BeginPaint(hWnd, &paint);
    ID2D1DCRenderTarget* target = pictures[normal] ? BeginFrame(paintDC) : nullptr;
    if (target) {
        // A state whose picture is missing shows the normal one.
        int32_t shown = state;
        ID2D1Bitmap* picture = shown >= 0 && shown < kStateCount && pictures[shown] ? pictures[shown].Get()
                                                                                   : pictures[normal].Get();
        target->DrawBitmap(picture, nullptr, 1.0f, D2D1_BITMAP_INTERPOLATION_MODE_LINEAR, nullptr);
        FinishDraw(*this);
    }
    EndPaint(hWnd, &paint);
}

void cButton::ReleaseDeviceResources() {
    for (ComPtr<ID2D1Bitmap>& picture : pictures) picture.Reset();
}

void cButton::RecreateDeviceResources() {
    LoadPictures();
}

void cButton::TrackMouse() {
    TRACKMOUSEEVENT tracking{};
    tracking.cbSize = sizeof tracking;
    tracking.dwFlags = TME_HOVER | TME_LEAVE;
    tracking.hwndTrack = hWnd;
    tracking.dwHoverTime = kHoverMs;
    TrackMouseEvent(&tracking);
}

void cButton::ChangeState(int32_t newState) {
    state = newState;
    Invalidate();
}

void cButton::SetState(int32_t newState) {
    ChangeState(newState);
}

void cButton::OnMouseMove(WPARAM keys, LPARAM) {
    if (state == disable) return;
    int32_t wanted = (keys & MK_LBUTTON) ? down : over;
    if (state == wanted) return;
    TrackMouse();
    ChangeState(wanted);
}

void cButton::OnMouseHover() {
    if (state == disable || state == over) return;
    ChangeState(over);
}

void cButton::OnMouseLeave() {
    if (state == disable || state == normal) return;
    ChangeState(normal);
}

void cButton::OnLButtonDown() {
    if (state == disable || state == down) return;
    SetCapture(hWnd);
    ChangeState(down);
}

void cButton::OnLButtonUp(WPARAM, LPARAM position) {
    ReleaseCapture();
    if (state != down) return;
    ChangeState(over);

    // Client coordinates of the release; with the capture they may lie outside.
    int32_t releaseX = static_cast<int16_t>(LOWORD(position));
    int32_t releaseY = static_cast<int16_t>(HIWORD(position));
    if (releaseX < 0 || releaseY < 0) return;
    RECT bounds{};
    GetWindowRect(hWnd, &bounds);
    // The right and bottom edges themselves count as inside.
    if (releaseX <= bounds.right - bounds.left && releaseY <= bounds.bottom - bounds.top) OnExecute();
}

bool cButton::ReadLayout(cJson& uiDocument, const char* name) {
    cJson::Node* buttons = uiDocument.root ? (*uiDocument.root)["button"] : nullptr;
    cJson::Node* entry = buttons ? buttons->GetNode(name) : nullptr;
    if (!entry) return false;
    cJson::Node* left = entry->GetNode("x");
    if (!left) return false;
    x = left->GetInt();
    cJson::Node* top = entry->GetNode("y");
    if (!top) return false;
    y = top->GetInt();
    // The picture names are listed but the pictures are built in: only their presence counts.
    static const char* const kPictureKeys[] = {"normal", "over", "down", "disable"};
    for (const char* key : kPictureKeys) {
        if (!entry->GetNode(key)) return false;
    }
    return true;
}
