#include "platform/UIKit/TerminalFrontEnd.h"

#include <gtest/gtest.h>

namespace {

VisibleRow switchRow(const std::string& title, bool on, bool enabled) {
  VisibleRow row;
  row.title = title;
  row.hasSwitch = true;
  row.switchOn = on;
  row.switchEnabled = enabled;
  return row;
}

VisibleRow accessoryRow(const std::string& title, UITableViewCellAccessoryType accessory) {
  VisibleRow row;
  row.title = title;
  row.accessory = accessory;
  return row;
}

std::string trimmed(const std::string& text) {
  size_t end = text.find_last_not_of(' ');
  return end == std::string::npos ? "" : text.substr(0, end + 1);
}

TEST(TerminalPage, RowsShowTitleSwitchDisabledMarkAndAccessory) {
  ScreenContent content;
  content.navigationTitle = "Mutaro";
  content.sections.push_back({"", {switchRow("Enabled", true, true), switchRow("Disable Event", false, false),
                                   accessoryRow("Select Calendar", UITableViewCellAccessoryDisclosureIndicator)}});
  content.sections.push_back({"", {accessoryRow("Work", UITableViewCellAccessoryCheckmark)}});
  TerminalPage page = layOutPage(content, 60, true);

  EXPECT_EQ(trimmed(page.titleLine), std::string(26, ' ') + "Mutaro");
  ASSERT_EQ(page.body.size(), 5u);  // the empty line between the sections shows no row
  EXPECT_EQ(page.body[0].text, "  Enabled" + std::string(46, ' ') + "[ON]");
  EXPECT_EQ(page.body[1].text.substr(page.body[1].text.size() - 16), "[OFF] (disabled)");
  EXPECT_TRUE(page.body[1].dimmed);
  EXPECT_FALSE(page.body[0].dimmed);
  EXPECT_EQ(page.body[2].text.substr(page.body[2].text.size() - 3), "›");
  EXPECT_EQ(page.body[3].rowIndex, -1);
  EXPECT_EQ(page.body[4].rowIndex, 3);
  EXPECT_EQ(page.body[4].text.substr(page.body[4].text.size() - 3), "✓");
  for (const TerminalLine& line : page.body) EXPECT_LE(displayWidth(line.text), 59);
}

TEST(TerminalPage, HeadersAreWrappedWholeWhereTheTerminalIsNarrower) {
  const std::string header = "ALL Calendars - Mutaro will check for new events on ALL calendars";
  ScreenContent content;
  content.navigationTitle = "Select Calendar";
  content.canGoBack = true;
  content.sections.push_back({header, {accessoryRow("All Calendars", UITableViewCellAccessoryCheckmark)}});

  TerminalPage wide = layOutPage(content, 100, true);
  ASSERT_EQ(wide.body.size(), 2u);
  EXPECT_EQ(wide.body[0].text, " " + header);
  EXPECT_TRUE(wide.body[0].isHeader);
  EXPECT_EQ(wide.titleLine.rfind("‹ Back", 0), 0u);

  TerminalPage narrow = layOutPage(content, 24, false);
  std::string joined;
  int headerLines = 0;
  for (const TerminalLine& line : narrow.body) {
    if (!line.isHeader) continue;
    ++headerLines;
    EXPECT_LE(displayWidth(line.text), 23);
    joined += (joined.empty() ? "" : " ") + line.text.substr(1);
  }
  EXPECT_GE(headerLines, 3);
  EXPECT_EQ(joined, header);
  EXPECT_EQ(narrow.body.back().text.back(), '*');  // the ASCII checkmark
}

TEST(TerminalPage, LongTitlesAreCutToLeaveRoomForTheSwitch) {
  ScreenContent content;
  content.sections.push_back({"", {switchRow(std::string(80, 'x'), false, true)}});
  TerminalPage page = layOutPage(content, 30, true);
  EXPECT_EQ(displayWidth(page.body[0].text), 29);
  EXPECT_EQ(page.body[0].text.substr(page.body[0].text.size() - 5), "[OFF]");
}

}  // namespace
