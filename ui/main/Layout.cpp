// The main window's layout from the UI description.
#include "app/cApp.h"
#include "json/cJson.h"
#include "ui/framework/Drawing.h"
#include "ui/main/cWinMain.h"

namespace {

// Applied when the description asks for a default and no folder is known yet.
const char kDefaultDownloadFolder[] = "c:\\MOXI\\download\\VM_cn_cbt\\";
// The folder text's box, from its top-left corner.
const float kFolderTextWidth = 173.0f;
const float kFolderTextHeight = 19.0f;

// A path longer than its box stays on its one line, ending in an ellipsis. Where
// DirectWrite honours the trimming delimiter (Windows) the middle gives way instead,
// and the last two folder levels stay readable.
void KeepOnOneLine(IDWriteTextFormat* format) {
    if (!format || !cWindow::DWriteFactory) return;
    format->SetWordWrapping(DWRITE_WORD_WRAPPING_NO_WRAP);
    ComPtr<IDWriteInlineObject> ellipsis;
    if (FAILED(cWindow::DWriteFactory->CreateEllipsisTrimmingSign(format, ellipsis.GetAddressOf()))) return;
    DWRITE_TRIMMING trimming{DWRITE_TRIMMING_GRANULARITY_CHARACTER, L'\\', 3};
    format->SetTrimming(&trimming, ellipsis.Get());
}

}  // namespace

bool cWinMain::LoadLayout() {
    JsonNode* root = uiDocument.root;
    if (!root) return false;

    // The download folder: a default when none is known, and where its path is drawn.
    cJson::Node* folder = (*root)["folder"];
    if (folder && folder->GetNode("default")) {
        if (theApp->downloadFolder[0] == '\0') theApp->CreateDownloadDirectory(kDefaultDownloadFolder);
        if (cJson::Node* left = folder->GetNode("x")) {
            folderTextRect.left = static_cast<float>(left->GetInt());
            folderTextRect.right = folderTextRect.left + kFolderTextWidth;
            if (cJson::Node* top = folder->GetNode("y")) {
                folderTextRect.top = static_cast<float>(top->GetInt());
                folderTextRect.bottom = folderTextRect.top + kFolderTextHeight;
            }
        }
    }

    // The folder path's font and colour; without all four members it is not drawn.
    cJson::Node* font = (*root)["font"];
    cJson::Node* value = font ? font->GetNode("value") : nullptr;
    cJson::Node* name = value ? value->GetNode("name") : nullptr;
    cJson::Node* size = name ? value->GetNode("size") : nullptr;
    cJson::Node* alpha = size ? value->GetNode("alpha") : nullptr;
    cJson::Node* color = alpha ? value->GetNode("color") : nullptr;
    if (color) {
        folderTextFormat = MakeTextFormat(name->GetWString(), static_cast<float>(size->GetInt()));
        KeepOnOneLine(folderTextFormat.Get());
        folderTextColour =
            ColourFromRgb(static_cast<uint32_t>(color->GetHex()), static_cast<float>(alpha->GetInt()) / 100.0f);
        CreateFolderTextBrush();
    }

    // Each control reads its own settings; the first incomplete one fails the layout.
    if (!btnLaunch.ReadLayout(uiDocument, "launch") || !btnStart.ReadLayout(uiDocument, "start") ||
        !btnPause.ReadLayout(uiDocument, "pause") || !btnCancel.ReadLayout(uiDocument, "cancel") ||
        !btnFolder.ReadLayout(uiDocument, "folder") || !progressBar.ReadLayout(uiDocument)) {
        return false;
    }
    progressBar.SetTextRects();

    theApp->WriteVersionFile();
    Invalidate();
    return true;
}
