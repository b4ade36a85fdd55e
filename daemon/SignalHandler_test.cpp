#include "daemon/SignalHandler.h"

#include <gtest/gtest.h>

#include <ctime>
#include <string>

namespace {

// The handler builds its time stamp by hand; it must read as NSLog's would.
TEST(SignalHandler, TheLineCarriesTheLocalTimeStamp) {
  installTerminateHandler();
  for (long long seconds : {0LL, 951782400LL /* 2000-02-29 */, 1796634000LL, 4102444799LL}) {
    time_t when = static_cast<time_t>(seconds);
    struct tm local;
    localtime_r(&when, &local);
    char stamp[32];
    strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    char line[320];
    std::string text(line, formatTerminateLine(line, sizeof line, seconds, 7));
    EXPECT_EQ(text.substr(0, 24), std::string(stamp) + ".007 ");
    EXPECT_EQ(text.substr(text.size() - 26), " terminate signal catched\n");
  }
  char tiny[8];
  EXPECT_EQ(formatTerminateLine(tiny, sizeof tiny, 0, 0), 7u);
}

}  // namespace
