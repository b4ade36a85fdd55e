#pragma once
// A table of sections and rows. Its data source says how many sections and rows there are,
// what each section's header says and builds each row's cell; its delegate hears of the
// rows the user selects. The table asks for everything anew on reloadData() and keeps the
// cells it was given until the next reload; the first time it is shown it loads itself.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/UIKit/NSIndexPath.h"
#include "platform/UIKit/UITableViewCell.h"
#include "platform/UIKit/UIView.h"

class UITableView;

enum UITableViewStyle {
  UITableViewStylePlain = 0,
  UITableViewStyleGrouped = 1,
};

class UITableViewDataSource {
 public:
  virtual ~UITableViewDataSource() = default;
  virtual NSInteger numberOfSectionsInTableView(UITableView* /*tableView*/) { return 1; }
  virtual NSInteger tableViewNumberOfRowsInSection(UITableView* tableView, NSInteger section) = 0;
  virtual std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(
      UITableView* tableView, const NSIndexPath& indexPath) = 0;
  // An empty title shows no header.
  virtual std::string tableViewTitleForHeaderInSection(UITableView* /*tableView*/,
                                                       NSInteger /*section*/) {
    return "";
  }
};

class UITableViewDelegate {
 public:
  virtual ~UITableViewDelegate() = default;
  virtual void tableViewDidSelectRowAtIndexPath(UITableView* /*tableView*/,
                                                const NSIndexPath& /*indexPath*/) {}
};

class UITableView : public UIView {
 public:
  UITableView(CGRect frame, UITableViewStyle style) : UIView(frame), style_(style) {}

  UITableViewStyle style() const { return style_; }
  UITableViewDataSource* dataSource() const { return dataSource_; }
  void setDataSource(UITableViewDataSource* dataSource) { dataSource_ = dataSource; }
  UITableViewDelegate* delegate() const { return delegate_; }
  void setDelegate(UITableViewDelegate* delegate) { delegate_ = delegate; }

  // Asks the data source for every section, header and cell anew. A reload asked for while
  // the table is reloading is ignored.
  void reloadData();
  // Loads the table when it has never been loaded (it is about to be shown).
  void layoutIfNeeded();

  NSInteger numberOfSections() const { return static_cast<NSInteger>(sections_.size()); }
  NSInteger numberOfRowsInSection(NSInteger section) const;
  // The header loaded for `section`; "" when none.
  std::string titleForHeaderInSection(NSInteger section) const;
  // The cell loaded at `indexPath`; null when there is none.
  UITableViewCell* cellForRowAtIndexPath(const NSIndexPath& indexPath) const;

  // What a user's tap on a row does: the row is highlighted (unless its cell's selection
  // style is none) and the delegate is told. False when there is no such row.
  bool selectRowByUser(const NSIndexPath& indexPath);
  void deselectRowAtIndexPathAnimated(const NSIndexPath& indexPath, bool animated);
  std::optional<NSIndexPath> indexPathForSelectedRow() const { return selectedRow_; }

 private:
  struct Section {
    std::string header;
    std::vector<std::shared_ptr<UITableViewCell>> cells;
  };

  UITableViewStyle style_;
  UITableViewDataSource* dataSource_ = nullptr;
  UITableViewDelegate* delegate_ = nullptr;
  std::vector<Section> sections_;
  std::optional<NSIndexPath> selectedRow_;
  bool loaded_ = false;
  bool reloading_ = false;
};
