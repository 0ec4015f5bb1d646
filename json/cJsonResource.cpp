// Loading the built-in UI description (Windows only).
#include <windows.h>
#include <shlwapi.h>

#include <memory>

#include "app/cApp.h"
#include "json/cJson.h"

namespace {
const WORD kUiDescriptionResource = 104;

struct StreamRelease {
    void operator()(IStream* stream) const { stream->Release(); }
};

[[noreturn]] void FailRead() {
    const char text[] = "json error -34";
    if (theApp) {
        theApp->ShowMessage(text, MB_ICONWARNING);
    } else {
        MessageBoxA(nullptr, text, nullptr, MB_ICONWARNING);
    }
    ExitProcess(UINT(-34));
}
}  // namespace

bool cJson::LoadFromResource() {
    HMODULE module = theApp && theApp->instance ? theApp->instance : GetModuleHandleA(nullptr);
    HRSRC info = FindResourceA(module, MAKEINTRESOURCEA(kUiDescriptionResource), RT_RCDATA);
    HGLOBAL loaded = info ? LoadResource(module, info) : nullptr;
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    DWORD resourceSize = info ? SizeofResource(module, info) : 0;
    // The program always carries the description; without it nothing is parsed and
    // the readers find the document as it was.
    if (!bytes || resourceSize == 0) return true;

    std::unique_ptr<IStream, StreamRelease> stream(
        SHCreateMemStream(static_cast<const BYTE*>(bytes), UINT(resourceSize)));
    if (!stream) FailRead();
    ULARGE_INTEGER streamSize = {};
    if (FAILED(IStream_Size(stream.get(), &streamSize))) FailRead();
    ULONG size = streamSize.LowPart;

    std::unique_ptr<char[]> text(new char[size_t(size) + 1]);
    ULONG read = 0;
    HRESULT result = stream->Read(text.get(), size, &read);
    if (FAILED(result) || read < size) FailRead();
    text[read] = '\0';
    Parse(text.get());
    return true;
}
