#include "platform/UIKit/UITableView.h"

#include <utility>

void UITableView::reloadData() {
  if (reloading_) return;
  reloading_ = true;
  loaded_ = true;
  selectedRow_.reset();
  std::vector<Section> sections;
  if (dataSource_) {
    NSInteger sectionCount = dataSource_->numberOfSectionsInTableView(this);
    for (NSInteger section = 0; section < sectionCount; ++section) {
      Section loaded;
      loaded.header = dataSource_->tableViewTitleForHeaderInSection(this, section);
      NSInteger rowCount = dataSource_->tableViewNumberOfRowsInSection(this, section);
      for (NSInteger row = 0; row < rowCount; ++row) {
        auto indexPath = NSIndexPath::indexPathForRowInSection(row, section);
        auto cell = dataSource_->tableViewCellForRowAtIndexPath(this, indexPath);
        // A data source that gives no cell gets an empty row rather than a hole.
        if (!cell) cell = std::make_shared<UITableViewCell>(UITableViewCellStyleDefault, "");
        loaded.cells.push_back(std::move(cell));
      }
      sections.push_back(std::move(loaded));
    }
  }
  // The old cells go only now: one of them may be sending the action that reloads.
  std::swap(sections_, sections);
  reloading_ = false;
}

void UITableView::layoutIfNeeded() {
  if (!loaded_) reloadData();
}

NSInteger UITableView::numberOfRowsInSection(NSInteger section) const {
  if (section < 0 || section >= numberOfSections()) return 0;
  return static_cast<NSInteger>(sections_[section].cells.size());
}

std::string UITableView::titleForHeaderInSection(NSInteger section) const {
  if (section < 0 || section >= numberOfSections()) return "";
  return sections_[section].header;
}

UITableViewCell* UITableView::cellForRowAtIndexPath(const NSIndexPath& indexPath) const {
  if (indexPath.row() < 0 || indexPath.row() >= numberOfRowsInSection(indexPath.section())) {
    return nullptr;
  }
  return sections_[indexPath.section()].cells[indexPath.row()].get();
}

bool UITableView::selectRowByUser(const NSIndexPath& indexPath) {
  UITableViewCell* cell = cellForRowAtIndexPath(indexPath);
  if (!cell) return false;
  if (selectedRow_ && !(*selectedRow_ == indexPath)) deselectRowAtIndexPathAnimated(*selectedRow_, false);
  if (cell->selectionStyle() != UITableViewCellSelectionStyleNone) {
    cell->setSelectedAnimated(true, false);
    selectedRow_ = indexPath;
  }
  if (delegate_) delegate_->tableViewDidSelectRowAtIndexPath(this, indexPath);
  return true;
}

void UITableView::deselectRowAtIndexPathAnimated(const NSIndexPath& indexPath, bool) {
  if (UITableViewCell* cell = cellForRowAtIndexPath(indexPath)) cell->setSelectedAnimated(false, false);
  if (selectedRow_ && *selectedRow_ == indexPath) selectedRow_.reset();
}
