// The download folder and the version stamp file that carries it from one run
// to the next.
#include <cstdio>
#include <cstring>

#include "app/TextCopy.h"
#include "app/cApp.h"
#include "json/cJson.h"

namespace {

// "%s\version.txt" from workFolder; the folder already ends with a backslash and
// the file system reads the doubled separator as one.
bool VersionFilePath(const char* workFolder, char (&path)[MAX_PATH + 16]) {
    int n = snprintf(path, sizeof path, "%s\\version.txt", workFolder);
    return n > 0 && n < static_cast<int>(sizeof path);
}

}  // namespace

void cApp::CreateDownloadDirectory(const char* path) {
    // A folder that does not fit the record is refused as a whole: a cut path would
    // name a different folder and the client's files would land there.
    size_t length = strlen(path);
    if (length >= sizeof downloadFolder) {
        ShowMessage("cApp::CreateDownloadDirectory :: folder path too long (-33)", MB_ICONWARNING);
        return;
    }
    const int capacity = static_cast<int>(sizeof downloadFolderWide / sizeof downloadFolderWide[0]);
    int units = MultiByteToWideChar(CP_ACP, 0, path, static_cast<int>(length), nullptr, 0);
    if (units > 0 && units < capacity) {
        units = MultiByteToWideChar(CP_ACP, 0, path, static_cast<int>(length), downloadFolderWide, units);
    } else {
        units = 0;
    }
    downloadFolderWide[units > 0 ? units : 0] = L'\0';
    memcpy(downloadFolder, path, length + 1);

    char* firstSeparator = strchr(downloadFolder, '\\');
    if (!firstSeparator) {
        ShowMessage("cApp::CreateDownloadDirectory :: error (-32)", MB_ICONWARNING);
    } else {
        // Create every level after the drive, outermost first.
        for (char* cut = strchr(firstSeparator + 1, '\\'); ; cut = strchr(cut + 1, '\\')) {
            if (!cut) {
                if (firstSeparator[1] != '\0' && downloadFolder[length - 1] != '\\') CreateDirectoryA(downloadFolder, nullptr);
                break;
            }
            *cut = '\0';
            CreateDirectoryA(downloadFolder, nullptr);
            *cut = '\\';
            if (cut[1] == '\0') break;
        }
    }
    HWND window = MainWindowHandle();
    if (window) InvalidateRect(window, nullptr, FALSE);
}

void cApp::WriteVersionFile() {
    char path[MAX_PATH + 16];
    if (!VersionFilePath(workFolder, path)) return;
    FILE* file = fopen(path, "wb");
    if (!file) return;
    fwrite(version, 1, strlen(version), file);
    fputc('\n', file);
    fwrite(downloadFolder, 1, strlen(downloadFolder), file);
    fflush(file);
    fclose(file);
}

void cApp::CheckVersion(cJson& uiDocument) {
    cJson::Node* versionNode = uiDocument.root ? uiDocument.root->GetNode("version") : nullptr;
    if (!versionNode) {
        ShowMessage("cApp::CheckVersion :: version check error(-41)", MB_ICONWARNING);
        ExitProcess(0);
    }
    // A stamp longer than the field is cut; it only labels version.txt.
    CopyText(version, versionNode->GetString() ? versionNode->GetString() : "");

    cJson::Node* useLocal = uiDocument.root->GetNode("use-local-resource");
    const char* useLocalText = useLocal ? useLocal->GetString() : nullptr;
    if (useLocalText && strcmp(useLocalText, "true") == 0) {
        if (!resourceFolder) resourceFolder = moduleFolder;
    } else {
        resourceFolder = workFolder;
    }
    SetCurrentDirectoryA(resourceFolder);

    if (downloadFolder[0] != '\0') return;
    char path[MAX_PATH + 16];
    if (!VersionFilePath(workFolder, path)) return;
    FILE* file = fopen(path, "rb");
    if (!file) return;
    fseek(file, 0, SEEK_END);
    long size = ftell(file);
    fseek(file, 0, SEEK_SET);
    if (size <= 0) {
        fclose(file);
        return;
    }
    char* text = new char[size + 1];
    size_t read = fread(text, 1, static_cast<size_t>(size), file);
    fclose(file);
    text[read] = '\0';
    char* lineFeed = strchr(text, '\n');
    if (lineFeed) {
        *lineFeed = '\0';
        char* folder = lineFeed + 1;
        // A hand-edited file may end with a line break; it is not part of the folder.
        size_t length = strlen(folder);
        while (length > 0 && (folder[length - 1] == '\r' || folder[length - 1] == '\n')) folder[--length] = '\0';
        if (length > 0) CreateDownloadDirectory(folder);
    }
    delete[] text;
}
