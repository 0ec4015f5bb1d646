// The main of every test program: runs the tests, or, with `--child NAME`, the
// child scenario of that name (see ChildProcess.h).
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>

#include "tests/support/ChildProcess.h"

namespace {
std::map<std::string, ChildScenarioBody>& Scenarios() {
    static std::map<std::string, ChildScenarioBody> scenarios;
    return scenarios;
}
}  // namespace

bool RegisterChildScenario(const char* name, ChildScenarioBody body) {
    Scenarios()[name] = body;
    return true;
}

int main(int argc, char** argv) {
    if (argc == 3 && strcmp(argv[1], "--child") == 0) {
        auto found = Scenarios().find(argv[2]);
        if (found == Scenarios().end()) return 98;
        return found->second();
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
