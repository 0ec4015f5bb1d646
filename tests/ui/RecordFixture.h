#pragma once
// A test whose application record works in a fresh temporary folder. The current
// folder is put back after the test, so that the temporary folder can go.

#include <gtest/gtest.h>

#include <cstdio>

#include "app/cApp.h"
#include "tests/support/ChildProcess.h"

struct RecordInTempFolder : ::testing::Test {
    testing_support::TempFolder temp;
    cApp app{GetModuleHandleA(nullptr)};

    // `messageTitle` captions the record's messages.
    explicit RecordInTempFolder(const char* messageTitle) : messageTitle(messageTitle) {}

    void SetUp() override {
        GetCurrentDirectoryA(sizeof previousFolder, previousFolder);
        snprintf(app.workFolder, sizeof app.workFolder, "%s", temp.Path().c_str());
        snprintf(app.version, sizeof app.version, "201904221642");
        snprintf(app.messageTitle, sizeof app.messageTitle, "%s", messageTitle);
        app.resourceFolder = app.workFolder;
        theApp = &app;
    }
    void TearDown() override {
        theApp = nullptr;
        SetCurrentDirectoryA(previousFolder);
    }

private:
    const char* messageTitle;
    char previousFolder[MAX_PATH] = {};
};
