#include "daemon/SignalHandler.h"

#include <gtest/gtest.h>

#include <ctime>
#include <string>

namespace {

// The handler builds the time stamp by hand; it must read as NSLog's would.
TEST(SignalHandlerTest, LineCarriesTheLocalTimeStampAndTheMessage) {
  installTerminateHandler();
  for (long long seconds : {0LL, 951782400LL /* 2000-02-29 */, 1796634000LL, 4102444799LL}) {
    time_t when = static_cast<time_t>(seconds);
    struct tm local;
    localtime_r(&when, &local);
    char stamp[32];
    strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);

    char line[320];
    size_t length = formatTerminateLine(line, sizeof line, seconds, 7);
    std::string text(line, length);
    EXPECT_EQ(std::string(stamp) + ".007 ", text.substr(0, 24));
    EXPECT_EQ(" terminate signal catched\n", text.substr(text.size() - 26));
  }
  char tiny[8];
  EXPECT_EQ(7u, formatTerminateLine(tiny, sizeof tiny, 0, 0));
}

}  // namespace
