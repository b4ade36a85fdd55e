#include "app/Classes/MutaroViewController.h"

#include <gtest/gtest.h>

#include <fstream>

#include "app/Classes/ProcessGlobals.h"
#include "app/testing/AppTestSupport.h"
#include "settings-store/SettingsKeys.h"
#include "settings-store/SettingsPaths.h"

namespace {

using Titles = std::vector<std::string>;
const Titles kSection0Titles{"Enabled", "Disable Event", "Select Calendar"};
const Titles kProfileTitles{"Ringtone", "Vibrate alert", "Voicemail alert", "New mail",
                            "Sent mail", "New SMS", "Calendar", "Lock/Unlock"};

Titles concatenated(Titles first, const Titles& second) {
  first.insert(first.end(), second.begin(), second.end());
  return first;
}

// Keys whose values differ between two snapshots, and keys that appeared or went.
std::vector<std::string> changedKeys(const std::map<std::string, std::string>& before,
                                     const std::map<std::string, std::string>& after) {
  std::vector<std::string> changed;
  for (const auto& [key, value] : after) {
    auto found = before.find(key);
    if (found == before.end() || found->second != value) changed.push_back(key);
  }
  for (const auto& [key, value] : before) {
    if (!after.count(key)) changed.push_back(key);
  }
  return changed;
}

TEST(SwitchesScreen, RowCountsFollowTheSystemVersionAndEnableProfiles) {
  {
    TestPhone phone("7.0.4");
    ASSERT_TRUE(phone.ready());
    phone.removeSetting(kEnableProfilesSwitch);
    auto ui = launchApplication();
    EXPECT_EQ(ui->navigationTitle(), "Mutaro");
    EXPECT_EQ(VersionMajor, 7);
    EXPECT_EQ(ui->rowTitles(), kSection0Titles);
  }
  {
    TestPhone phone("7.0.4");
    phone.editSettings([](NSMutableDictionary& settings) { settings.setBool(kEnableProfilesSwitch, true); });
    auto ui = launchApplication();
    EXPECT_TRUE(enableProfiles);
    EXPECT_EQ(ui->rowTitles(), concatenated(kSection0Titles, kProfileTitles));
    EXPECT_EQ(ui->content().sections.at(1).rows.size(), 8u);
  }
  {
    TestPhone phone("4.3.3");
    ASSERT_TRUE(phone.ready());
    auto ui = launchApplication();
    EXPECT_EQ(VersionMajor, 4);
    EXPECT_EQ(ui->rowTitles(), concatenated(kSection0Titles, {"Enable Profiles"}));
  }
}

TEST(SwitchesScreen, AnEmptyStoreShowsEverySwitchOffAndDisabledWhereTheEventDecides) {
  TestPhone phone("4.3.3");
  ASSERT_TRUE(phone.ready());
  phone.editSettings([](NSMutableDictionary& settings) { settings = NSMutableDictionary(); });
  auto ui = launchApplication();
  for (const VisibleRow& row : ui->visibleRows()) {
    EXPECT_EQ(row.switchOn, false) << row.title;
  }
  EXPECT_TRUE(ui->row("Enabled")->switchEnabled);
  EXPECT_FALSE(ui->row("Disable Event")->switchEnabled);
  EXPECT_FALSE(ui->row("Enable Profiles")->switchEnabled);
  EXPECT_FALSE(ui->row("Select Calendar")->hasSwitch);
  EXPECT_EQ(ui->row("Select Calendar")->accessory, UITableViewCellAccessoryDisclosureIndicator);
}

TEST(SwitchesScreen, SwitchesShowTheStoreAndTheEventInProgressEnablesThem) {
  TestPhone phone("4.3.3");
  ASSERT_TRUE(phone.ready());
  phone.editSettings([](NSMutableDictionary& settings) {
    settings.setBool(kEnabledSwitch, true);
    settings.setBool(kDisableEventSwitch, true);
    settings.setBool(kEventInProgress, true);
    settings.setBool(kEnableProfilesSwitch, true);
    settings.setBool(kSentmailSwitch, false);
  });
  auto ui = launchApplication();
  EXPECT_TRUE(ui->row("Enabled")->switchOn);
  EXPECT_TRUE(ui->row("Disable Event")->switchOn);
  EXPECT_TRUE(ui->row("Disable Event")->switchEnabled);
  EXPECT_TRUE(ui->row("Enable Profiles")->switchOn);
  EXPECT_FALSE(ui->row("Enable Profiles")->switchEnabled);
  EXPECT_FALSE(ui->row("Sent mail")->switchOn);
  EXPECT_TRUE(ui->row("New SMS")->switchOn);

  // With no event in progress the two event switches swap their enabled states.
  phone.editSettings([](NSMutableDictionary& settings) { settings.setBool(kEventInProgress, false); });
  ui = launchApplication();
  EXPECT_FALSE(ui->row("Disable Event")->switchEnabled);
  EXPECT_TRUE(ui->row("Enable Profiles")->switchEnabled);
}

TEST(SwitchesScreen, EachSoundSwitchWritesOnlyItsOwnKey) {
  TestPhone phone;
  ASSERT_TRUE(phone.ready());
  phone.editSettings([](NSMutableDictionary& settings) {
    settings.setBool(kEnableProfilesSwitch, true);
    for (const char* key : {kRingtoneSwitch, kVibrateSwitch, kVoicemailSwitch, kNewmailSwitch,
                            kSentmailSwitch, kSMSSwitch, kCalendarSwitch, kLockunlockSwitch}) {
      settings.removeObjectForKey(key);
    }
  });
  auto ui = launchApplication();
  const std::vector<std::pair<std::string, std::string>> rowKeys{
      {"Ringtone", kRingtoneSwitch}, {"Vibrate alert", kVibrateSwitch}, {"Voicemail alert", kVoicemailSwitch},
      {"New mail", kNewmailSwitch},  {"Sent mail", kSentmailSwitch},   {"New SMS", kSMSSwitch},
      {"Calendar", kCalendarSwitch}, {"Lock/Unlock", kLockunlockSwitch}};
  for (const auto& [title, key] : rowKeys) {
    auto before = phone.settingsSnapshot();
    ASSERT_TRUE(ui->tapSwitch(title));
    auto after = phone.settingsSnapshot();
    EXPECT_EQ(changedKeys(before, after), std::vector<std::string>{key}) << title;
    EXPECT_EQ(after[key], "true") << title;
    EXPECT_TRUE(ui->row(title)->switchOn);
  }
  ASSERT_TRUE(ui->tapSwitch("Sent mail"));
  EXPECT_EQ(phone.settingsSnapshot()[kSentmailSwitch], "false");
  EXPECT_FALSE(phone.settingsSnapshot().count(kKeyboardSwitch));
}

TEST(SwitchesScreen, DisableEventFlipsBackWhenNoEventIsInProgress) {
  TestPhone phone;
  ASSERT_TRUE(phone.ready());
  // Shown while an event ran; the event ended before the user's tap.
  phone.editSettings([](NSMutableDictionary& settings) { settings.setBool(kEventInProgress, true); });
  auto ui = launchApplication();
  phone.editSettings([](NSMutableDictionary& settings) { settings.setBool(kEventInProgress, false); });
  auto before = phone.settingsSnapshot();
  EXPECT_TRUE(ui->tapSwitch("Disable Event"));
  EXPECT_FALSE(ui->row("Disable Event")->switchOn);
  EXPECT_FALSE(ui->row("Disable Event")->switchEnabled);
  EXPECT_EQ(phone.settingsSnapshot(), before);
}

TEST(SwitchesScreen, DisableEventWithTheEventStateAbsentStoresTheSwitchAndRestoresNothing) {
  TestPhone phone;
  ASSERT_TRUE(phone.ready());
  phone.editSettings([](NSMutableDictionary& settings) { settings.setBool(kEventInProgress, true); });
  auto ui = launchApplication();
  phone.removeSetting(kEventInProgress);
  std::ofstream(phone.at(kMarkerPath));
  EXPECT_TRUE(ui->tapSwitch("Disable Event"));
  auto settings = phone.settingsSnapshot();
  EXPECT_EQ(settings[kDisableEventSwitch], "true");
  EXPECT_FALSE(settings.count(kEventInProgress));
  EXPECT_FALSE(settings.count(kUpdatedRevert));
  EXPECT_TRUE(phone.exists(kMarkerPath));
}

TEST(SwitchesScreen, DisableEventTurnedOffClearsTheEventStateAndGreysOut) {
  TestPhone phone;
  ASSERT_TRUE(phone.ready());
  phone.editSettings([](NSMutableDictionary& settings) {
    settings.setBool(kEventInProgress, true);
    settings.setBool(kDisableEventSwitch, true);
  });
  auto ui = launchApplication();
  EXPECT_TRUE(ui->tapSwitch("Disable Event"));
  auto settings = phone.settingsSnapshot();
  EXPECT_EQ(settings[kEventInProgress], "false");
  EXPECT_EQ(settings[kDisableEventSwitch], "false");
  EXPECT_FALSE(ui->row("Disable Event")->switchEnabled);
  EXPECT_FALSE(settings.count(kUpdatedRevert));
}

TEST(SwitchesScreen, EnabledOffRestoresNothingWhenTheEventWasDisabledOrNoneRuns) {
  TestPhone phone;
  ASSERT_TRUE(phone.ready());
  phone.editSettings([](NSMutableDictionary& settings) {
    settings.setBool(kEventInProgress, true);
    settings.setBool(kDisableEventSwitch, true);
  });
  auto ui = launchApplication();
  EXPECT_TRUE(ui->tapSwitch("Enabled"));
  auto settings = phone.settingsSnapshot();
  EXPECT_EQ(settings[kEnabledSwitch], "false");
  EXPECT_EQ(settings[kEventInProgress], "true");
  EXPECT_FALSE(settings.count(kUpdatedRevert));

  // Turning it on only stores the key; with no event turning it off again does no more.
  phone.editSettings([](NSMutableDictionary& settings) { settings.setBool(kEventInProgress, false); });
  auto before = phone.settingsSnapshot();
  EXPECT_TRUE(ui->tapSwitch("Enabled"));
  EXPECT_EQ(changedKeys(before, phone.settingsSnapshot()), std::vector<std::string>{kEnabledSwitch});
  EXPECT_TRUE(ui->tapSwitch("Enabled"));
  EXPECT_EQ(phone.settingsSnapshot(), before);
}

TEST(SwitchesScreen, EnableProfilesFollowsTheEventState) {
  TestPhone phone("4.3.3");
  ASSERT_TRUE(phone.ready());
  phone.editSettings([](NSMutableDictionary& settings) { settings.setBool(kEnableProfilesSwitch, false); });
  auto ui = launchApplication();
  ASSERT_TRUE(ui->row("Enable Profiles")->switchEnabled);

  // No event in progress: stored, and the profile rows come and go.
  EXPECT_TRUE(ui->tapSwitch("Enable Profiles"));
  EXPECT_EQ(phone.settingsSnapshot()[kEnableProfilesSwitch], "true");
  EXPECT_TRUE(enableProfiles);
  EXPECT_EQ(ui->visibleRows().size(), 12u);
  EXPECT_TRUE(ui->row("Enable Profiles")->switchOn);
  EXPECT_TRUE(ui->tapSwitch("Enable Profiles"));
  EXPECT_EQ(phone.settingsSnapshot()[kEnableProfilesSwitch], "false");
  EXPECT_EQ(ui->visibleRows().size(), 4u);

  // The event state went missing: nothing is stored and the switch keeps the user's position.
  phone.removeSetting(kEventInProgress);
  auto before = phone.settingsSnapshot();
  EXPECT_TRUE(ui->tapSwitch("Enable Profiles"));
  EXPECT_EQ(phone.settingsSnapshot(), before);
  EXPECT_TRUE(ui->row("Enable Profiles")->switchOn);
  EXPECT_FALSE(enableProfiles);
  EXPECT_EQ(ui->visibleRows().size(), 4u);
}

TEST(SwitchesScreen, EnableProfilesSnapsBackDuringAnEvent) {
  TestPhone phone("4.3.3");
  ASSERT_TRUE(phone.ready());
  auto ui = launchApplication();
  phone.editSettings([](NSMutableDictionary& settings) { settings.setBool(kEventInProgress, true); });
  auto before = phone.settingsSnapshot();
  EXPECT_TRUE(ui->tapSwitch("Enable Profiles"));
  EXPECT_FALSE(ui->row("Enable Profiles")->switchOn);
  EXPECT_FALSE(ui->row("Enable Profiles")->switchEnabled);
  EXPECT_EQ(phone.settingsSnapshot(), before);
  EXPECT_FALSE(enableProfiles);
}

TEST(SwitchesScreen, LogsTheVersionAndEverySwitchChangeWithItsTag) {
  TestPhone phone("7.0.4");
  ASSERT_TRUE(phone.ready());
  phone.editSettings([](NSMutableDictionary& settings) { settings.setBool(kEnableProfilesSwitch, true); });
  std::unique_ptr<HeadlessFrontEnd> ui;
  std::string log = capturedOutput([&] { ui = launchApplication(); });
  EXPECT_NE(log.find("] IOS: 7.0.4\n"), std::string::npos) << log;
  EXPECT_NE(log.find("] IOS version major: 7\n"), std::string::npos) << log;

  // "Sent mail" carries tag 8, out of row order.
  log = capturedOutput([&] { ASSERT_TRUE(ui->tapSwitch("Sent mail")); });
  size_t changed = log.find("] Switch Changed\n");
  ASSERT_NE(changed, std::string::npos) << log;
  EXPECT_NE(log.find("] 8\n", changed), std::string::npos) << log;

  // A switch of no known tag only says so.
  MutaroViewController screen(UITableViewStyleGrouped);
  UISwitch stray(CGRectZero);
  stray.setTag(42);
  stray.setOn(true);
  auto before = phone.settingsSnapshot();
  log = capturedOutput([&] { screen.switchChanged(&stray); });
  EXPECT_NE(log.find("] Tag: 42\n"), std::string::npos) << log;
  EXPECT_EQ(log.find("] 42\n"), std::string::npos) << log;
  EXPECT_EQ(phone.settingsSnapshot(), before);
}

TEST(SwitchesScreen, OnlyTheCalendarRowOpensTheChooser) {
  TestPhone phone;
  ASSERT_TRUE(phone.ready());
  auto ui = launchApplication();
  EXPECT_TRUE(ui->selectRow("Enabled"));
  EXPECT_EQ(ui->navigationTitle(), "Mutaro");
  EXPECT_TRUE(ui->selectRow("Select Calendar"));
  EXPECT_EQ(ui->navigationTitle(), "Select Calendar");
  EXPECT_TRUE(ui->goBack());
  EXPECT_EQ(ui->rowTitles(), kSection0Titles);
}

}  // namespace
