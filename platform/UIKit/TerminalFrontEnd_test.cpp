// How the terminal front end measures and lays out texts.
#include "platform/UIKit/TerminalFrontEnd.h"

#include <gtest/gtest.h>

#include <clocale>

namespace {

class TerminalTexts : public testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(std::setlocale(LC_CTYPE, "C.UTF-8"), nullptr); }
  void TearDown() override { std::setlocale(LC_CTYPE, "C"); }
};

ScreenContent oneRow(const std::string& title) {
  VisibleRow row{.title = title, .hasSwitch = true, .switchOn = true, .switchEnabled = true};
  return ScreenContent{"Mutaro", true, {VisibleSection{"Header", {row}}}};
}

TEST_F(TerminalTexts, CountColumnsAsTheTerminalDrawsThemAndEscapeWhatWouldBreakALine) {
  EXPECT_EQ(displayWidth("日本語"), 6);
  EXPECT_EQ(displayWidth("Cafe\u0301"), 4);
  EXPECT_EQ(printableText("a\nb\tc\x1b[2Jd\xff"), "a\\nb\\tc\\x1b[2Jd\\xff");
  EXPECT_EQ(printableText("Café 会議"), "Café 会議");
}

TEST_F(TerminalTexts, RowsFitTheWidthWithoutSplittingACharacterFromItsAccent) {
  for (int width : {20, 33}) {
    TerminalPage page = layOutPage(oneRow("会議室の予約とその他の長い名前\nsecond line"), width, true);
    for (const TerminalLine& line : page.body) EXPECT_LE(displayWidth(line.text), width - 1) << line.text;
    EXPECT_LE(displayWidth(page.helpLine), width - 1);
    EXPECT_TRUE(page.helpLine.find("back") != std::string::npos && page.helpLine.find("quit") != std::string::npos);
  }
  // 20 columns leave 11 for the title beside "[ON]": the cut falls after the accented "e".
  TerminalPage page = layOutPage(oneRow("abcdefghije\u0301xyz"), 20, true);
  EXPECT_NE(page.body.back().text.find("je\u0301 "), std::string::npos) << page.body.back().text;
}

}  // namespace
