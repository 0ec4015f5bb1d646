// The startup sequence and the message loop.
#include "app/Startup.h"

#include <memory>

#include "app/TextCopy.h"
#include "json/cJson.h"
#include "ui/main/cWinMain.h"

bool LoadBuiltInUiDescription(cJson& document) {
    return document.LoadFromResource();
}

void ApplyMessageTexts(cApp& app, cJson& document) {
    cJson::Node* texts = document.root ? (*document.root)["message-box"] : nullptr;
    auto textOf = [texts](const char* key, const char* fallback) {
        cJson::Node* member = texts ? texts->GetNode(key) : nullptr;
        const char* text = member ? member->GetString() : nullptr;
        return text ? text : fallback;
    };
    CopyText(app.messageTitle, textOf("title", "zentav-downloader..."));
    CopyText(app.exitQuestion, textOf("exit", "Are you really going to quit?"));
    CopyText(app.networkErrorText, textOf("error", "network error, try again."));
}

int RunStartup(cApp& app, UiDescriptionLoader load) {
    // The manifests live in the working folder, and files are named relative to it.
    app.resourceFolder = app.workFolder;
    SetCurrentDirectoryA(app.workFolder);

    cJson document;
    if (!load(document) || !document.root) {
        app.ShowMessage("cApp::OnExecute :: file(ux.json) loading error (-22)", MB_ICONWARNING);
        return 0;
    }

    // Owned here; the record only refers to it. It goes before the document it reads.
    auto window = std::make_unique<cWinMain>(document);
    app.mainWindow = window.get();
    CopyText(app.serverBaseUrl, kServerBaseUrl);
    // Its messages have no owner window and, before the texts below, an empty caption.
    app.CheckVersion(document);
    ApplyMessageTexts(app, document);

    // WM_CREATE gives the window its real size and place and lays it out.
    if (!window->Create(nullptr, 10, 10, 100, 100, WS_POPUP, SW_SHOW)) {
        app.mainWindow = nullptr;
        return 0;
    }
    MoveWindow(window->hWnd, window->x, window->y, window->width, window->height, TRUE);

    cJson::Node* title = (*document.root)["window-title"];
    if (!title) {
        // No message loop; the window goes with its object, so that nothing is left
        // that refers to the document.
        app.mainWindow = nullptr;
        return 0;
    }
    SetWindowTextA(window->hWnd, title->GetString());

    MSG message{};
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    // 1 after the window was destroyed, -1 after its layout failed.
    app.mainWindow = nullptr;
    window.reset();
    return static_cast<int>(message.wParam);
}

int cApp::OnExecute() {
    return RunStartup(*this, LoadBuiltInUiDescription);
}

HWND cApp::MainWindowHandle() const {
    return mainWindow ? mainWindow->hWnd : nullptr;
}
