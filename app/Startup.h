#pragma once
// The startup sequence: from the UI description through the main window to the
// end of its message loop.

#include "app/cApp.h"

class cJson;

// Fills `document` with a UI description; false when it cannot be loaded.
using UiDescriptionLoader = bool (*)(cJson& document);

// The UI description built into the program (resource 104).
bool LoadBuiltInUiDescription(cJson& document);

// The body of cApp::OnExecute with the UI description that `load` gives; the
// result is the process's exit code.
int RunStartup(cApp& app, UiDescriptionLoader load);

// The message-box texts from the description's "message-box", each member that is
// absent (or the whole object) replaced by its default.
void ApplyMessageTexts(cApp& app, cJson& document);
