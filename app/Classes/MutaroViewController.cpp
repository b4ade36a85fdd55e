#include "app/Classes/MutaroViewController.h"

#include <cstdlib>
#include <cstring>

#include "app/Classes/CalendarViewController.h"
#include "app/Classes/ProcessGlobals.h"
#include "app/Classes/RevertToOriginalSettings.h"
#include "platform/Foundation/NSLog.h"
#include "platform/notify/notify.h"
#include "settings-store/SettingsChanged.h"
#include "settings-store/SettingsKeys.h"
#include "settings-store/SettingsStore.h"

namespace {

constexpr NSInteger kTitleLabelTag = 100;
constexpr NSInteger kSwitchViewTag = 200;

constexpr NSInteger kEnabledTag = 1;
constexpr NSInteger kDisableEventTag = 11;
constexpr NSInteger kEnableProfilesTag = 12;

struct SwitchRow {
  const char* title;
  const char* key;
  NSInteger tag;
};

// Section 0 (row 2 is the calendar row, row 3 exists only before version 5).
constexpr SwitchRow kEnabledRow{"Enabled", kEnabledSwitch, kEnabledTag};
constexpr SwitchRow kDisableEventRow{"Disable Event", kDisableEventSwitch, kDisableEventTag};
constexpr SwitchRow kEnableProfilesRow{"Enable Profiles", kEnableProfilesSwitch, kEnableProfilesTag};
constexpr NSInteger kCalendarRow = 2;

// Section 1, the profile; the tags of "Sent mail", "New SMS" and "Calendar" are not in row order.
constexpr SwitchRow kProfileRows[] = {
    {"Ringtone", kRingtoneSwitch, 2},   {"Vibrate alert", kVibrateSwitch, 3},
    {"Voicemail alert", kVoicemailSwitch, 4}, {"New mail", kNewmailSwitch, 5},
    {"Sent mail", kSentmailSwitch, 8},  {"New SMS", kSMSSwitch, 7},
    {"Calendar", kCalendarSwitch, 6},   {"Lock/Unlock", kLockunlockSwitch, 9},
};

// The keys of tags 2 to 10; 10 belongs to "KeyboardSwitch", which no row shows.
const char* keyForTag(NSInteger tag) {
  for (const SwitchRow& row : kProfileRows) {
    if (row.tag == tag) return row.key;
  }
  return tag == 10 ? kKeyboardSwitch : nullptr;
}

const SwitchRow* switchRowAt(const NSIndexPath& indexPath) {
  if (indexPath.section() == 0) {
    switch (indexPath.row()) {
      case 0: return &kEnabledRow;
      case 1: return &kDisableEventRow;
      case 3: return &kEnableProfilesRow;
      default: return nullptr;
    }
  }
  if (indexPath.section() == 1 && indexPath.row() >= 0 &&
      indexPath.row() < static_cast<NSInteger>(std::size(kProfileRows))) {
    return &kProfileRows[indexPath.row()];
  }
  return nullptr;
}

std::shared_ptr<UILabel> titleLabel() {
  auto label = std::make_shared<UILabel>(CGRectMake(10, 10, 150, 20));
  label->setBackgroundColor(UIColor::clearColor());
  label->setTextColor(UIColor::blackColor());
  label->setFont(UIFont::boldSystemFontOfSize(17));
  return label;
}

}  // namespace

void MutaroViewController::viewDidLoad() {
  UITableViewController::viewDidLoad();
  char version[16] = {0};
  std::strncpy(version, UIDevice::currentDevice().systemVersion().c_str(), 14);
  NSLog("IOS: %s", version);
  VersionMajor = std::strtol(version, nullptr, 10);
  NSLog("IOS version major: %ld", VersionMajor);
}

void MutaroViewController::didReceiveMemoryWarning() { UITableViewController::didReceiveMemoryWarning(); }

NSInteger MutaroViewController::numberOfSectionsInTableView(UITableView*) { return 2; }

NSInteger MutaroViewController::tableViewNumberOfRowsInSection(UITableView*, NSInteger section) {
  if (section == 0) return VersionMajor >= 5 ? 3 : 4;
  return enableProfiles ? 8 : 0;
}

std::shared_ptr<UITableViewCell> MutaroViewController::tableViewCellForRowAtIndexPath(
    UITableView* tableView, const NSIndexPath& indexPath) {
  tv = tableView;
  if (indexPath.section() == 0 && indexPath.row() == kCalendarRow) return calendarCell();
  return switchRowCell(indexPath);
}

std::shared_ptr<UITableViewCell> MutaroViewController::calendarCell() {
  auto cell = std::make_shared<UITableViewCell>(CGRectZero, "Calendar");
  cell->setAccessoryType(UITableViewCellAccessoryDisclosureIndicator);
  auto label = titleLabel();
  calLabel = label.get();
  calLabel->setHighlightedTextColor(UIColor::whiteColor());
  calLabel->setText("Select Calendar");
  cell->contentView()->addSubview(label);
  calLabel = nullptr;
  return cell;
}

std::shared_ptr<UITableViewCell> MutaroViewController::switchRowCell(const NSIndexPath& indexPath) {
  auto cell = std::make_shared<UITableViewCell>(CGRectZero, "Else");
  cell->setSelectionStyle(UITableViewCellSelectionStyleNone);

  auto label = titleLabel();
  label->setTag(kTitleLabelTag);
  regLabel = label.get();
  cell->contentView()->addSubview(label);

  auto control = std::make_shared<UISwitch>(CGRectMake(200, 8, 27, 7));
  control->addTargetActionForControlEvents(this, &MutaroViewController::switchChanged,
                                           UIControlEventValueChanged);
  control->setTag(kSwitchViewTag);
  switchCell = control.get();
  cell->contentView()->addSubview(control);

  switchCell = dynamic_cast<UISwitch*>(cell->contentView()->viewWithTag(kSwitchViewTag));
  regLabel = dynamic_cast<UILabel*>(cell->contentView()->viewWithTag(kTitleLabelTag));

  if (const SwitchRow* row = switchRowAt(indexPath)) {
    regLabel->setText(NSBundle::mainBundle().localizedStringForKey(row->title, "", nullptr));
    if (row->tag == kEnableProfilesTag) {
      switchCell->setOnAnimated(enableProfiles, false);
    } else {
      bool on = false;
      if (readPlist(row->key, &on)) switchCell->setOnAnimated(on, false);
    }
    switchCell->setTag(row->tag);
    if (row->tag == kDisableEventTag) {
      bool eventInProgress = false;
      readPlistBool(kEventInProgress, &eventInProgress);
      if (!eventInProgress) switchCell->setEnabled(false);
    } else if (row->tag == kEnableProfilesTag) {
      bool eventInProgress = false;
      if (!readPlistBool(kEventInProgress, &eventInProgress) || eventInProgress) {
        switchCell->setEnabled(false);
      }
    }
  }
  switchCell = nullptr;
  regLabel = nullptr;
  return cell;
}

void MutaroViewController::tableViewDidSelectRowAtIndexPath(UITableView*, const NSIndexPath& indexPath) {
  if (indexPath.section() != 0 || indexPath.row() != kCalendarRow) return;
  auto calendarView = std::make_shared<CalendarViewController>("CalendarView", &NSBundle::mainBundle());
  if (UINavigationController* navigation = navigationController()) {
    navigation->pushViewControllerAnimated(calendarView, true);
  }
}

void MutaroViewController::switchChanged(UISwitch* sender) {
  NSLog("Switch Changed");
  if (!sender) return;
  NSInteger tag = sender->tag();
  if (tag == kEnabledTag) {
    NSLog("%ld", tag);
    updatePlist(kEnabledSwitch, sender->isOn());
    if (!sender->isOn()) handleDisabled();
    notify_post(kSettingsChangedNotification);
  } else if (const char* key = keyForTag(tag)) {
    NSLog("%ld", tag);
    updatePlist(key, sender->isOn());
  } else if (tag == kDisableEventTag) {
    NSLog("%ld", tag);
    disableEventChanged(sender);
  } else if (tag == kEnableProfilesTag) {
    NSLog("%ld", tag);
    enableProfilesChanged(sender);
  } else {
    NSLog("Tag: %d", static_cast<int>(tag));
  }
}

void MutaroViewController::disableEventChanged(UISwitch* sender) {
  if (sender->isOn()) {
    bool eventInProgress = false;
    if (readPlistBool(kEventInProgress, &eventInProgress)) {
      if (!eventInProgress) {
        sender->setOnAnimated(false, true);
        sender->setEnabled(false);
        return;
      }
      handleDisableEvent();
    } else {
      updatePlist(kDisableEventSwitch, true);
    }
  } else {
    updatePlistBool(kEventInProgress, false);
    sender->setEnabled(false);
    updatePlist(kDisableEventSwitch, false);
    // The event still running is silenced again by the daemon, which this starts.
    notify_post(kSettingsChangedNotification);
  }
}

void MutaroViewController::enableProfilesChanged(UISwitch* sender) {
  bool eventInProgress = false;
  if (!readPlistBool(kEventInProgress, &eventInProgress)) return;
  if (eventInProgress) {
    sender->setOnAnimated(false, true);
    sender->setEnabled(false);
    return;
  }
  updatePlist(kEnableProfilesSwitch, sender->isOn());
  enableProfiles = sender->isOn();
  if (tv) tv->reloadData();
}
