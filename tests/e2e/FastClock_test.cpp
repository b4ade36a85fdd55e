// `phonesim boot --speed N` puts the whole phone on one fast clock: every program it starts,
// down to the switcher the daemon runs, reads the same sped-up time.
#include <gtest/gtest.h>
#include <signal.h>

#include <fstream>
#include <regex>

#include "tests/support/Phone.h"

namespace {

TEST(FastClock, BootSpeedRunsEveryProgramOfThePhoneFast) {
  Phone phone;
  EXPECT_EQ(phone.run({"phonesim", "boot", phone.root(), "--speed", "0"}).status, 2);
  EXPECT_EQ(phone.run({"phonesim", "boot", phone.root(), "--speed", "10"}, {.clock = "+0 x2"}).status, 2);  // set already
  const time_t start = time(nullptr) + 120;
  phone.addEvent({start, start + 120});
  Process booted({builtProgram("phonesim"), "boot", phone.root(), "--speed", "30"}, {}, phone.at("/boot.out"));
  // Two minutes of the phone's time are four seconds at 30 times; on the real clock, 120.
  json s;
  EXPECT_TRUE(eventually(60, [&] { return silenced(s = phone.status()); })) << s.dump(1) << phone.read("/boot.out");
  // The switcher's clock: it silenced at the event's start, not a few real seconds after boot.
  std::smatch stamp;
  const std::string log = phone.log();
  ASSERT_TRUE(std::regex_search(log, stamp, std::regex("(\\S+ \\S+)\\.\\d+ Mutarodh\\[\\d+:\\d+\\] Do work"))) << log;
  EXPECT_GE(stamp[1].str(), localTimeStamp(start));

  // phonesim runs under faketime's wrapper: stopped, it stops the phone.
  pid_t phonesim = -1;
  const std::string children = "/proc/" + std::to_string(booted.pid()) + "/task/" + std::to_string(booted.pid()) + "/children";
  eventually(2, [&] { return static_cast<bool>(std::ifstream(children) >> phonesim); });
  ASSERT_GT(phonesim, 0);
  kill(phonesim, SIGTERM);
  EXPECT_TRUE(booted.waitGroup(20));
}

}  // namespace
