#include "daemon/SignalHandler.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/Foundation/NSDate.h"

namespace {

// The handler builds its time stamp by hand; it must read as NSLog's would.
TEST(SignalHandler, TheLineCarriesTheLocalTimeStamp) {
  installTerminateHandler();
  for (long long seconds : {0LL, 951782400LL /* 2000-02-29 */, 1796634000LL, 4102444799LL}) {
    char line[320];
    std::string text(line, formatTerminateLine(line, sizeof line, seconds, 7));
    EXPECT_EQ(text.substr(0, 24), localTimeStamp(static_cast<time_t>(seconds)) + ".007 ");
    EXPECT_EQ(text.substr(text.size() - 26), " terminate signal catched\n");
  }
  char tiny[8];
  EXPECT_EQ(formatTerminateLine(tiny, sizeof tiny, 0, 0), 7u);
}

}  // namespace
