#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>

#include "tests/support/Phone.h"

namespace {

// Stopping a booted phone ends everything it started, a switcher halfway through included; a
// phone runs one boot at a time, and only a phone made by phonesim init boots.
TEST(Boot, StopsEverythingItStartedAndRunsOnlyOnAPhoneOfItsOwn) {
  Phone phone;
  phone.write(std::string(kBundleDirectory) + "/Mutarodh", "#!/bin/sh\necho $$ > switcher.pid\nexec sleep 600\n");
  phone.addEvent({localTime("2026-12-07 09:00:00"), localTime("2026-12-07 09:02:00")});
  phone.boot(todayAt("09:00:10"), kBootSpeed);
  const std::string pidFile = std::string(kBundleDirectory) + "/switcher.pid";
  ASSERT_TRUE(eventually(10, [&] { return !phone.read(pidFile).empty(); }));
  Outcome second = phone.run({"phonesim", "boot", phone.root()});
  EXPECT_TRUE(second.exited(1) && contains(second.err, "is already booted")) << second.err;

  auto stopping = std::chrono::steady_clock::now();
  phone.shutdown();  // gives up, and kills what is left, after 20 s
  EXPECT_LT(std::chrono::steady_clock::now() - stopping, std::chrono::seconds(10)) << "the switcher outlived its phone";
  EXPECT_NE(kill(std::stoi(phone.read(pidFile)), 0), 0);
  Outcome notAPhone = phone.run({"phonesim", "boot", phone.at(kBundleDirectory)});
  EXPECT_TRUE(notAPhone.exited(1) && contains(notAPhone.err, "is not a simulated phone")) << notAPhone.err;
}

}  // namespace
