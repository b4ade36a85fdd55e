#include "platform/UIKit/HeadlessFrontEnd.h"

#include "platform/UIKit/UIApplication.h"

HeadlessFrontEnd::HeadlessFrontEnd() : application_(UIApplicationLaunch()), screen_(application_) {
  // The window shows at launch: the first screen loads and builds its rows now.
  screen_.content();
}

std::vector<std::string> HeadlessFrontEnd::sectionHeaders() const {
  std::vector<std::string> headers;
  for (const VisibleSection& section : content().sections) headers.push_back(section.header);
  return headers;
}

std::vector<VisibleRow> HeadlessFrontEnd::visibleRows() const {
  std::vector<VisibleRow> rows;
  for (const VisibleSection& section : content().sections) {
    rows.insert(rows.end(), section.rows.begin(), section.rows.end());
  }
  return rows;
}

std::vector<std::string> HeadlessFrontEnd::rowTitles() const {
  std::vector<std::string> titles;
  for (const VisibleRow& row : visibleRows()) titles.push_back(row.title);
  return titles;
}

std::optional<VisibleRow> HeadlessFrontEnd::row(const std::string& title) const {
  for (const VisibleRow& row : visibleRows()) {
    if (row.title == title) return row;
  }
  return std::nullopt;
}

bool HeadlessFrontEnd::tapSwitch(const std::string& title) {
  std::optional<VisibleRow> found = row(title);
  return found && screen_.tapSwitch(found->indexPath);
}

bool HeadlessFrontEnd::selectRow(const std::string& title) {
  std::optional<VisibleRow> found = row(title);
  return found && screen_.selectRow(found->indexPath);
}
