// phonesim's commands, run as the built program.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/AppSupport/CPWake.h"
#include "platform/SimState/SimState.h"
#include "phonesim/text/PhoneTimeZone.h"
#include "tests/support/Phone.h"
#include "tests/support/Terminal.h"

namespace {

namespace fs = std::filesystem;

TEST(PhonesimInit, LaysOutAPhoneThatReportsTheDefaults) {
  Phone phone;
  EXPECT_EQ(fs::read_symlink(phone.at("/var")), "private/var");
  json state = phone.status();
  EXPECT_EQ(state["volume"], 0.75);
  EXPECT_EQ(state["settings"][kEnabledSwitch], true);
  EXPECT_EQ(phone.read(kSettingsPath), phone.read(kSettingsBackupPath));
  EXPECT_EQ(fs::status(phone.at(kSettingsPath)).permissions(), fs::perms::all);
  EXPECT_NE(phone.read(kSmsTonePath), phone.read(kSilentSmsTonePath)) << "the system's tone is audible";
  auto job = phone.plist("/Library/LaunchDaemons/com.velbrant.mutarod.plist");
  EXPECT_EQ(job->stringForKey("WorkingDirectory"), "/Applications/Mutaro.app");
}

TEST(PhonesimInit, RefusesRootsAShellWouldSplitAndAgainKeepsThePhonesData) {
  Phone phone("4.3");
  for (const std::string& bad : {phone.root() + "/a b", phone.root() + "/a;b", phone.root() + "/a$(true)"}) {
    EXPECT_NE(phone.run({"phonesim", "init", bad}).status, 0);
    EXPECT_FALSE(fs::exists(bad));
  }

  phone.set({{kEnabledSwitch, false}});
  phone.addEvent({.start = 100, .end = 200});
  phone.remove(std::string(kBundleDirectory) + "/CopyFile");
  ASSERT_TRUE(phone.run({"phonesim", "init", phone.root(), "--ios", "7.0.4"}).exited(0));
  EXPECT_EQ(phone.setting(kEnabledSwitch), false);
  EXPECT_TRUE(phone.exists(std::string(kBundleDirectory) + "/CopyFile"));
  EXPECT_NO_THROW(phone.sql("SELECT 1 FROM CalendarItem; SELECT 1 FROM event"));
  EXPECT_EQ(phone.plist("/System/Library/CoreServices/SystemVersion.plist")->stringForKey("ProductVersion"), "7.0.4");
}

// The log's stamps carry no zone: a phone made in Tokyo reads as Tokyo under any caller's TZ,
// and a zone the machine does not know is refused, not read as UTC.
TEST(PhonesimInit, ThePhoneKeepsItsTimeZone) {
  Phone phone;
  const std::map<std::string, std::string> utc = {{"TZ", "UTC"}};
  EXPECT_EQ(phone.run({"phonesim", "init", phone.root(), "--tz", "Mars/Olympus"}).status, 2);
  EXPECT_EQ(phone.run({"phonesim", "init", phone.root() + "/fresh"}, {.environment = {{"TZ", "Nowhere/Land"}}}).status, 2);
  EXPECT_FALSE(fs::exists(phone.root() + "/fresh"));
  ASSERT_TRUE(phone.run({"phonesim", "init", phone.root(), "--tz", "Asia/Tokyo"}).exited(0));
  // 09:00 UTC is 18:00 in Tokyo.
  Outcome explained = phone.run({"phonesim", "explain", phone.root(), "--at", "@1796634000", "--json"}, {.environment = utc});
  ASSERT_TRUE(explained.exited(0)) << explained.err;
  EXPECT_EQ(json::parse(explained.out)["at"], "2026-12-07 18:00:00");
  // A refresh keeps the zone.
  ASSERT_TRUE(phone.run({"phonesim", "init", phone.root()}, {.environment = utc}).exited(0));
  phone.write("/private/var/log/syslog", "2026-12-07 17:59:59.000 Mutarod[7:7] early\n2026-12-07 18:00:00.000 Mutarod[7:7] late\n");
  Outcome log = phone.run({"phonesim", "log", phone.root(), "--since", "2026-12-07T09:00:00Z"}, {.environment = utc});
  EXPECT_EQ(log.out, "2026-12-07 18:00:00.000 Mutarod[7:7] late\n");
  // Floating times are imported in the phone's zone, zoned ones shown in it (Berlin 10:00).
  Outcome dry = phone.run({"phonesim", "import", phone.root(), std::string(MUTARO_SOURCE_DIR) + "/tests/calendars/desktop-mail.ics",
                           "--dry-run", "--from", "2026-12-08", "--to", "2026-12-09"}, {.environment = utc});
  EXPECT_TRUE(contains(dry.out, "\"Dentist\" 2026-12-08 17:00:00 to 2026-12-08 17:30:00")) << dry.out;
  EXPECT_TRUE(contains(dry.out, "\"Interview\" 2026-12-08 18:00:00 to 2026-12-08 18:45:00")) << dry.out;
  phone.write(kPhoneTimeZonePath, "Nowhere/Land\n");
  Outcome refused = phone.run({"phonesim", "status", phone.root()});
  EXPECT_EQ(refused.status, 1);
  EXPECT_TRUE(contains(refused.err, "the phone's time zone \"Nowhere/Land\"")) << refused.err;
}

TEST(PhonesimEvent, AddsARecurringEventWhoseOccurrencesTheDaemonReads) {
  Phone phone;
  const time_t start = localTime("2026-11-30 09:00:00");
  ASSERT_TRUE(phone.run({"phonesim", "event", phone.root(), "--start", "@" + std::to_string(start), "--end",
                         "@" + std::to_string(start + 600), "--every", "604800", "--count", "3", "--calendar", "2"})
                  .exited(0));
  Outcome daemon = phone.daemon(clockAt("2026-12-07 09:05:00", 20));
  EXPECT_TRUE(contains(daemon.err, "**** Found event2")) << daemon.err;
  EXPECT_NE(phone.run({"phonesim", "event", phone.root(), "--start", "+60", "--end", "+0"}).status, 0);
}

TEST(PhonesimMisuse, NamesWhatIsWrongAndSuggestsInitOnlyWhereItLaysNothingOver) {
  Phone phone;
  EXPECT_TRUE(contains(phone.run({"phonesim", "stauts", phone.root()}).err, "\"stauts\" is not a command; did you mean \"status\"?"));

  const std::string other = phone.root() + "/other";
  phone.write("/other/notes.txt", "mine");
  for (const auto& line : std::vector<std::vector<std::string>>{{"status"}, {"set", "EnabledSwitch=true"}, {"log"},
                                                                 {"event", "--start", "+0", "--end", "+1"}, {"app"}}) {
    std::vector<std::string> argv = {"phonesim", line[0], other};
    argv.insert(argv.end(), line.begin() + 1, line.end());
    Outcome refused = phone.run(argv);
    EXPECT_EQ(refused.status, 1) << line[0];
    EXPECT_TRUE(contains(refused.err, "is not a simulated phone")) << refused.err;
    EXPECT_FALSE(contains(refused.err, "phonesim init")) << refused.err;  // which would lay a phone over them
  }
  EXPECT_TRUE(contains(phone.run({"phonesim", "status", phone.root() + "/new"}).err, "\"phonesim init " + phone.root() + "/new\""));
  EXPECT_NE(phone.run({"phonesim", "init", other}).status, 0);
  EXPECT_FALSE(phone.exists("/other/var"));
  EXPECT_TRUE(phone.run({"phonesim", "init", other, "--force"}).exited(0));
  EXPECT_EQ(phone.read("/other/notes.txt"), "mine");

  // A command line that cannot be followed is misuse, 2: a bad option, a bad moment or span; help is done, 0.
  for (const auto& line : std::vector<std::vector<std::string>>{{"phonesim", "explain"}, {"phonesim", "status", phone.root(), "--bogus"},
           {"phonesim", "explain", phone.root(), "--at", "0900"}, {"phonesim", "init", phone.root(), "--ios", "seven"},
           {"phonesim", "timeline", phone.root(), "--from", "09:30", "--to", "09:10"}}) {
    EXPECT_EQ(phone.run(line).status, 2) << line[1] << " " << line.back();
  }
  Outcome help = phone.run({"phonesim", "timeline", "--help"});
  EXPECT_TRUE(help.exited(0));
  EXPECT_TRUE(contains(help.out, "Exit status: 0 done, 1 failed, 2 misuse")) << help.out;
}

TEST(PhonesimSet, ParsesEachValueByItsKeysTypeAndWritesNothingWhenOneIsWrong) {
  Phone phone;
  Outcome set = phone.run({"phonesim", "set", phone.root(), "EnabledSwitch=no", "EnableProfilesSwitch=YES", "CalendarID=2",
                           "volume=0.5", "RingtoneSwitch="});
  ASSERT_TRUE(set.exited(0)) << set.err;
  EXPECT_TRUE(contains(set.out, "EnabledSwitch = false (was true)")) << set.out;
  EXPECT_EQ(phone.setting(kEnabledSwitch), false);
  EXPECT_EQ(phone.setting(kEnableProfilesSwitch), true);
  EXPECT_EQ(phone.setting(kCalendarID), 2);
  EXPECT_EQ(phone.setting(kVolume), "0.5");
  EXPECT_EQ(phone.setting(kRingtoneSwitch), nullptr);

  for (const auto& [wrong, says] : std::vector<std::pair<std::string, std::string>>{
           {"Enabledswich=1", "did you mean EnabledSwitch?"}, {"EnabledSwitch=maybe", ""}, {"CalendarID=two", ""},
           {"CalendarID=4294967296", ""}, {"=1", ""}, {"Ringtone", ""}, {"CalendarID=-3", ""},
           {"CalendarID=5", "there is no calendar 5; the calendars are 1 \"Default\", 2 \"Work\""}}) {
    Outcome refused = phone.run({"phonesim", "set", phone.root(), "DisableEventSwitch=true", wrong});
    EXPECT_EQ(refused.status, 2) << wrong;
    EXPECT_TRUE(contains(refused.err, says)) << refused.err;
    EXPECT_EQ(phone.setting(kDisableEventSwitch), false) << wrong;
  }
  ASSERT_TRUE(phone.run({"phonesim", "set", phone.root(), "--force", "Custom=yes", "Count=7", "CalendarID=5"}).exited(0));
  EXPECT_EQ(phone.setting(kCalendarID), 5);
  EXPECT_EQ(phone.setting("Custom"), "yes");
  EXPECT_EQ(phone.setting("Count"), 7);
}

TEST(PhonesimEvent, SaysWhatWasAddedAndWhetherTheDaemonWouldSilenceThePhoneForIt) {
  Phone phone;
  phone.set({{kCalendarID, 2}});
  // The options after the event's times, and the verdict it is added with or the refusal's reason.
  const std::vector<std::pair<std::vector<std::string>, std::string>> table = {
      {{"--calendar", "2"}, "yes: busy"},
      {{"--calendar", "2", "--availability", "1", "--notes", "x !silent"}, "yes: marked \"!silent\""},
      {{"--calendar", "2", "--availability", "1", "--notes", "!SILENT"}, "no: free (availability 1)"},
      {{"--calendar", "2", "--notes", "!silent, but !Ring me"}, "no: its notes carry \"!RING\""},
      {{"--calendar", "2", "--all-day"}, "no: an all-day event"},
      {{"--calendar", "1"}, "no: Mutaro watches calendar 2 only"},
      {{"--calendar", "9"}, "there is no calendar 9; the calendars are 1 \"Default\", 2 \"Work\""},
      {{"--every", "0", "--count", "2"}, "--every is the number of seconds between occurrences"},
      {{"--every", "60", "--count", "10001"}, "at most 10000 occurrences"},
      {{"--every", "999999999999", "--count", "3"}, "the last occurrence would end after 9999-12-31"}};
  for (const auto& [options, says] : table) {
    std::vector<std::string> line = {"phonesim", "event", phone.root(), "--start", "+60", "--end", "+120", "--title", "Standup"};
    line.insert(line.end(), options.begin(), options.end());
    Outcome outcome = phone.run(line);
    if (!says.starts_with("yes") && !says.starts_with("no")) {
      EXPECT_NE(outcome.status, 0) << says;
      EXPECT_TRUE(contains(outcome.err, says)) << outcome.err;
      EXPECT_LT(outcome.err.size(), 300u) << outcome.err;
      continue;
    }
    EXPECT_TRUE(outcome.exited(0)) << outcome.err;
    EXPECT_TRUE(contains(outcome.out, "\"Standup\" added to calendar")) << outcome.out;
    EXPECT_TRUE(contains(outcome.out, "silences the phone: " + says)) << outcome.out;
    EXPECT_EQ(contains(outcome.out, "but only on a booted phone, and this one is not booted"), says.starts_with("yes"));
  }
}

// 200,000 settings keys: in a blink when the walk is linear, minutes when it is quadratic.
TEST(PhonesimStatus, ReadsAHugeSettingsFileInTimeProportionalToIt) {
  Phone phone;
  std::string many = "<plist version=\"1.0\"><dict>";
  for (int i = 0; i < 200000; ++i) many += "<key>key" + std::to_string(i) + "</key><integer>" + std::to_string(i) + "</integer>";
  phone.write(kSettingsPath, many + "</dict></plist>");
  Outcome outcome = phone.run({"phonesim", "status", phone.root(), "--json"}, {.timeout = 30});
  ASSERT_TRUE(outcome.exited(0)) << outcome.err;
  json settings = json::parse(outcome.out)["settings"];
  EXPECT_EQ(settings["key199999"], 199999);
  EXPECT_EQ(settings.size(), 200000u);
}

TEST(PhonesimStatus, OneScreenOnATerminalAndTheWholeStateAsJsonElsewhere) {
  Phone phone;
  phone.write(kMarkerPath, "");
  CPScheduleWakeAtDateWithIdentifier(time(nullptr) + 12 * 60 + 30, "com.velbrant.Mutaro");
  for (int i = 0; i < 8; ++i) simAppend("announcements", {"com.apple.springboard", "key" + std::to_string(i)});

  json state = phone.status();
  EXPECT_EQ(state["announcements"].size(), 8u);
  EXPECT_EQ(state["marker"], true);
  EXPECT_TRUE(state["markerSince"].is_string());

  Terminal terminal(builtProgram("phonesim") + " status " + phone.root() + "; sleep 60");
  std::string screen = terminal.waitFor("phonesim status --json");
  EXPECT_TRUE(contains(screen, "Silenced      yes, since ")) << screen;
  EXPECT_TRUE(contains(screen, "Next wake") && contains(screen, "in 12 min")) << screen;
  EXPECT_TRUE(contains(screen, "Announcements: 8, the last 5:\n  com.apple.springboard key3\n")) << screen;
  EXPECT_FALSE(contains(screen, "key2")) << screen;
  EXPECT_TRUE(contains(phone.run({"phonesim", "status", phone.root(), "--summary"}).out, "silenced since ")) << screen;
}

TEST(PhonesimLog, KeepsTheLinesOfOneProgramFromOneMomentWithOneTextAndFollowsNewOnes) {
  Phone phone;
  phone.write("/private/var/log/syslog",
              "2026-12-07 08:59:59.000 Mutarod[10:10] early\n"
              "2026-12-07 09:00:01.000 Mutarod[11:11] Lock file was deleted\n"
              "2026-12-07 09:00:02.000 Mutarodh[12:12] Silent\n"
              "2026-12-07 09:00:03.000 Mutarod[11:11] **** Found event\n"
              "a line the one before went on with\n"
              "2026-12-07 09:00:04.000 Mutaro[13:13] Mutarod was here\n");
  auto log = [&](std::vector<std::string> filters) {
    filters.insert(filters.begin(), {"phonesim", "log", phone.root()});
    return phone.run(filters).out;
  };
  EXPECT_EQ(log({"--program", "Mutarod", "--since", "2026-12-07 09:00", "--quiet-locks"}),
            "2026-12-07 09:00:03.000 Mutarod[11:11] **** Found event\na line the one before went on with\n");
  EXPECT_EQ(log({"--grep", "Silent"}), "2026-12-07 09:00:02.000 Mutarodh[12:12] Silent\n");
  EXPECT_EQ(log({"--program", "mutarodh"}), "2026-12-07 09:00:02.000 Mutarodh[12:12] Silent\n");
  Outcome unknown = phone.run({"phonesim", "log", phone.root(), "--program", "mutarodd"});
  EXPECT_EQ(unknown.status, 2);
  EXPECT_TRUE(contains(unknown.err, "did you mean Mutarod")) << unknown.err;

  auto follower = phone.start({"phonesim", "log", phone.root(), "-f", "--grep", "later"}, {}, phone.at("/follow.out"));
  std::ofstream(phone.at("/private/var/log/syslog"), std::ios::app) << "2026-12-07 09:00:05.000 Mutarod[14:14] later\n";
  EXPECT_TRUE(eventually(10, [&] { return contains(phone.read("/follow.out"), "] later\n"); }));
}

}  // namespace
