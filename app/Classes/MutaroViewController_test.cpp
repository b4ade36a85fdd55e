// The switches screen on the headless front end: what it shows and what each touch stores.
#include "app/Classes/MutaroViewController.h"

#include <gtest/gtest.h>

#include "app/Classes/ProcessGlobals.h"
#include "app/Resources/InterfaceFiles.h"
#include "platform/UIKit/HeadlessFrontEnd.h"
#include "settings-store/SettingsStore.h"
#include "tests/support/FakeClock.h"
#include "tests/support/Phone.h"

namespace {

using Titles = std::vector<std::string>;

// What main does before the loop, then the launch.
std::unique_ptr<HeadlessFrontEnd> launch() {
  registerInterfaceFiles();
  enableProfiles = false;
  readPlist(kEnableProfilesSwitch, &enableProfiles);
  return std::make_unique<HeadlessFrontEnd>();
}

TEST(SwitchesScreen, RowsFollowTheSystemVersionAndTheStore) {
  Phone phone("7.0.4");
  phone.set({{kEnableProfilesSwitch, nullptr}});
  EXPECT_EQ(launch()->rowTitles(), (Titles{"Enabled", "Disable Event", "Select Calendar"}));
  phone.set({{kEnableProfilesSwitch, true}, {kSentmailSwitch, false}, {kEventInProgress, true}, {kDisableEventSwitch, true}});
  auto ui = launch();
  EXPECT_EQ(ui->rowTitles().size(), 11u);
  EXPECT_EQ(ui->rowTitles().back(), "Lock/Unlock");
  EXPECT_FALSE(ui->row("Sent mail")->switchOn);
  EXPECT_TRUE(ui->row("New SMS")->switchOn);
  EXPECT_TRUE(ui->row("Disable Event")->switchOn && ui->row("Disable Event")->switchEnabled);
  EXPECT_EQ(ui->row("Select Calendar")->accessory, UITableViewCellAccessoryDisclosureIndicator);

  Phone old("4.3.3");
  old.writePlist(kSettingsPath, NSMutableDictionary());
  ui = launch();
  EXPECT_EQ(ui->rowTitles(), (Titles{"Enabled", "Disable Event", "Select Calendar", "Enable Profiles"}));
  for (const VisibleRow& row : ui->visibleRows()) EXPECT_FALSE(row.switchOn) << row.title;
  EXPECT_FALSE(ui->row("Disable Event")->switchEnabled);
  EXPECT_FALSE(ui->row("Enable Profiles")->switchEnabled) << "absent event state";
  old.set({{kEventInProgress, false}});
  EXPECT_TRUE(launch()->row("Enable Profiles")->switchEnabled);
}

// One touch: the settings when the screen was drawn, what changed before the touch, and what
// the touch must leave.
struct Tap {
  const char* name;
  json drawnWith;      // settings keys when the screen is drawn (null removes)
  json changedBefore;  // changed by another process before the touch
  const char* title;
  json stored;  // every key the touch writes, with its value ("*" any)
  bool restores, onAfter, enabledAfter;
};

void PrintTo(const Tap& tap, std::ostream* out) { *out << tap.name; }

class Taps : public testing::TestWithParam<Tap> {};

TEST_P(Taps, StoreWhatTheSwitchMeans) {
  if (rerunOnFastClock()) return;  // a restore waits five seconds
  const Tap& tap = GetParam();
  Phone phone("4.3.3");
  phone.write(kMarkerPath, "");
  phone.set(tap.drawnWith);
  auto ui = launch();
  phone.set(tap.changedBefore);
  auto before = phone.plist(kSettingsPath);
  ASSERT_TRUE(ui->tapSwitch(tap.title));

  auto after = phone.plist(kSettingsPath);
  json changed = json::object();
  for (const char* key : {kEnabledSwitch, kDisableEventSwitch, kEventInProgress, kEnableProfilesSwitch,
                          kSentmailSwitch, kKeyboardSwitch, kUpdatedRevert}) {
    plist_t was = before->objectForKey(key);
    plist_t now = after->objectForKey(key);
    if (now != nullptr && (was == nullptr || plist_compare_node_value(was, now) == 0)) {
      changed[key] = std::string(key) == kUpdatedRevert ? json("*") : phone.setting(key);
    }
  }
  EXPECT_EQ(changed, tap.stored);
  EXPECT_EQ(phone.exists(kMarkerPath), !tap.restores);
  EXPECT_EQ(ui->row(tap.title)->switchOn, tap.onAfter);
  EXPECT_EQ(ui->row(tap.title)->switchEnabled, tap.enabledAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Switches, Taps,
    testing::Values(
        Tap{"EnabledOffDuringASilencedEvent", {{kEventInProgress, true}, {kDisableEventSwitch, false}}, {}, "Enabled",
            {{kEnabledSwitch, false}, {kEventInProgress, false}, {kUpdatedRevert, "*"}}, true, false, true},
        Tap{"EnabledOffAfterTheEventWasReleased", {{kEventInProgress, true}, {kDisableEventSwitch, true}}, {}, "Enabled",
            {{kEnabledSwitch, false}}, false, false, true},
        Tap{"EnabledOffWithNoEvent", {{kEventInProgress, false}}, {}, "Enabled", {{kEnabledSwitch, false}}, false, false, true},
        Tap{"EnabledOn", {{kEnabledSwitch, false}, {kEventInProgress, true}}, {}, "Enabled", {{kEnabledSwitch, true}}, false, true, true},
        Tap{"DisableEventDuringAnEvent", {{kEventInProgress, true}}, {}, "Disable Event",
            {{kDisableEventSwitch, true}, {kUpdatedRevert, "*"}}, true, true, true},
        Tap{"DisableEventAfterTheEventEnded", {{kEventInProgress, true}}, {{kEventInProgress, false}}, "Disable Event",
            json::object(), false, false, false},
        Tap{"DisableEventWithTheStateAbsent", {{kEventInProgress, true}}, {{kEventInProgress, nullptr}}, "Disable Event",
            {{kDisableEventSwitch, true}}, false, true, true},
        Tap{"DisableEventOff", {{kEventInProgress, true}, {kDisableEventSwitch, true}}, {}, "Disable Event",
            {{kDisableEventSwitch, false}, {kEventInProgress, false}}, false, false, false},
        Tap{"EnableProfilesWithNoEvent", {{kEventInProgress, false}}, {}, "Enable Profiles",
            {{kEnableProfilesSwitch, true}}, false, true, true},
        Tap{"EnableProfilesDuringAnEvent", {{kEventInProgress, false}}, {{kEventInProgress, true}}, "Enable Profiles",
            json::object(), false, false, false},
        Tap{"EnableProfilesWithTheStateAbsent", {{kEventInProgress, false}}, {{kEventInProgress, nullptr}}, "Enable Profiles",
            json::object(), false, true, true},
        Tap{"SentMailWritesOnlyItsKey", {{kEnableProfilesSwitch, true}, {kSentmailSwitch, true}}, {}, "Sent mail",
            {{kSentmailSwitch, false}}, false, false, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ApplicationSettingsAccessors, HaveTheirOwnNamesAndLogLines) {
  Phone phone;
  phone.set({{kCalendarID, 2}, {kSavedRingtone, "<default>"}, {kSavedCalendarAlarm, std::string(127, 'x')}});
  EXPECT_EQ(readPlistInt(kCalendarID), 2);
  EXPECT_EQ(readPlistInt("Missing"), 0);
  updatePlist(kEnabledSwitch, false);
  bool value = true;
  EXPECT_TRUE(readPlist(kEnabledSwitch, &value));
  EXPECT_FALSE(value);
  testing::internal::CaptureStderr();
  for (const char* key : {"Missing", kSavedRingtone, kSavedCalendarAlarm}) std::free(readPlistString(key));
  EXPECT_EQ(logMessages(testing::internal::GetCapturedStderr()), (std::vector<std::string>{"Release 1 - NULL", "RETURN", "Release 2 - NULL"}));
}

}  // namespace
