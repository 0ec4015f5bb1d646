#pragma once
// Four of the main window's picture buttons and their actions: start a download
// run, pause it (end the run; the next start resumes the files), cancel (the quit
// question) and launch the downloaded client. The fifth, the folder button, is in
// cBtnFolder.h.

#include <cstdint>

#include "ui/controls/cButton.h"

class cBtnCancel final : public cButton {
public:
    static constexpr int32_t kFirstPictureId = 134;
    cBtnCancel();
    // The main window's quit question.
    void OnExecute() override;
};

class cBtnLaunch final : public cButton {
public:
    static constexpr int32_t kFirstPictureId = 142;
    cBtnLaunch();
    // Disabled until a run has ended.
    void OnCreate() override;
    // Starts the client's executable with administrator rights and closes the main
    // window; without a known executable warns and ends the process with 1.
    void OnExecute() override;
};

class cBtnStart final : public cButton {
public:
    static constexpr int32_t kFirstPictureId = 146;
    cBtnStart();
    // Asks for the download folder's free space and goes on with StartRun.
    void OnExecute() override;
    // The start once the free space is known: refuses with a message when
    // `availableBytes` is not more than the manifest's total size; otherwise sets the
    // buttons, resets the bar and starts a new download run.
    void StartRun(int64_t availableBytes);
};

class cBtnPause final : public cButton {
public:
    static constexpr int32_t kFirstPictureId = 150;
    cBtnPause();
    // Disabled until a run starts.
    void OnCreate() override;
    // Stops and destroys the run; the bar and the panel keep their values.
    void OnExecute() override;
};

// The caption of the not-enough-space message (fixed, not the description's title).
extern const char kNoSpaceCaption[];
// Its text for the drive `drive` ("C:").
void FormatNoSpaceMessage(char (&text)[256], const char* drive);
