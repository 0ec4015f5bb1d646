#pragma once
// Runs of the engine in a child process of the test program, for what shows
// message boxes or ends the process: the parent answers every box with OK,
// records its caption and text, and sees the exit code and a result file.

#include <map>
#include <string>
#include <vector>

namespace engine_testing {

struct ChildOutcome {
    std::vector<std::string> texts;      // every message box, in the order they were seen
    std::vector<std::string> captions;
    bool ownerless = true;               // no box had an owner window
    bool exited = false;                 // the child ended within the time-out
    int exitCode = 0;
    std::map<std::string, std::string> result;  // what the child wrote to its result file
};

// Starts the test program's scenario `scenario` with the environment entries
// `environment` ("NAME=value"), answers each box with OK and waits for the end.
// The child reads ZT_WORK, ZT_DOWNLOAD and ZT_RESULT (paths) among its entries.
ChildOutcome RunChild(const char* scenario, const std::vector<std::string>& environment, const std::string& resultPath,
                      unsigned timeoutMs = 60000);

}  // namespace engine_testing
