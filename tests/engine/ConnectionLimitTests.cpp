// The connection limit that sizes the manager's pool: set in WinINet for HTTP/1.1
// and HTTP/1.0 servers alike, read back, and asked of WinINet only once.
#include <gtest/gtest.h>

#include <windows.h>
#include <wininet.h>

#include "engine/cHttp.h"

namespace {

DWORD Option(DWORD option) {
    DWORD value = 0;
    DWORD size = sizeof value;
    InternetQueryOptionA(nullptr, option, &value, &size);
    return value;
}

TEST(ConnectionLimitTest, FourConnectionsPerServerSetOnceForTheProcess) {
    EXPECT_EQ(cHttp::GetMaxConnections(), 4);
    EXPECT_EQ(Option(INTERNET_OPTION_MAX_CONNS_PER_SERVER), 4u);
    EXPECT_EQ(Option(INTERNET_OPTION_MAX_CONNS_PER_1_0_SERVER), 4u);
    // Later calls answer from the cache: what WinINet holds now plays no part.
    DWORD other = 9;
    ASSERT_TRUE(InternetSetOptionA(nullptr, INTERNET_OPTION_MAX_CONNS_PER_SERVER, &other, sizeof other));
    EXPECT_EQ(cHttp::GetMaxConnections(), 4);
    DWORD four = 4;
    InternetSetOptionA(nullptr, INTERNET_OPTION_MAX_CONNS_PER_SERVER, &four, sizeof four);
}

}  // namespace
