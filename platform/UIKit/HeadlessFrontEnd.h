#pragma once
// The front end that tests drive: it launches the application without a terminal, reads
// every row the shown screen has (title, switch state, enabled state, accessory) and makes
// the user's touches, by row title or by index path.
#include <optional>
#include <string>
#include <vector>

#include "platform/UIKit/ScreenReader.h"

class HeadlessFrontEnd {
 public:
  HeadlessFrontEnd();  // launches and shows the first screen; see launched()
  bool launched() const { return application_ != nullptr; }
  UIApplication* application() const { return application_; }

  ScreenContent content() const { return screen_.content(); }
  std::string navigationTitle() const { return content().navigationTitle; }
  std::vector<std::string> sectionHeaders() const;
  std::vector<VisibleRow> visibleRows() const;
  std::vector<std::string> rowTitles() const;
  // The first row with that title; none when no row has it.
  std::optional<VisibleRow> row(const std::string& title) const;

  bool tapSwitch(const std::string& title);
  bool tapSwitch(const NSIndexPath& indexPath) { return screen_.tapSwitch(indexPath); }
  bool selectRow(const std::string& title);
  bool selectRow(const NSIndexPath& indexPath) { return screen_.selectRow(indexPath); }
  bool goBack() { return screen_.goBack(); }

 private:
  UIApplication* application_;
  ScreenReader screen_;
};
