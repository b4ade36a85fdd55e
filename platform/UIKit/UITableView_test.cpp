#include "platform/UIKit/UITableView.h"

#include <gtest/gtest.h>

#include "platform/UIKit/UILabel.h"
#include "platform/UIKit/UISwitch.h"

namespace {

// A data source whose rows are switches; each switch reloads the table when it changes.
class SwitchTable : public UITableViewDataSource, public UITableViewDelegate {
 public:
  NSInteger numberOfSectionsInTableView(UITableView*) override { return 2; }
  NSInteger tableViewNumberOfRowsInSection(UITableView*, NSInteger section) override {
    return section == 0 ? rows : -3;  // a negative count shows no rows
  }
  std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView* tableView,
                                                                  const NSIndexPath& indexPath) override {
    ++cellsBuilt;
    table = tableView;
    auto cell = std::make_shared<UITableViewCell>(UITableViewCellStyleDefault, "Row");
    cell->setSelectionStyle(indexPath.row() == 0 ? UITableViewCellSelectionStyleNone
                                                 : UITableViewCellSelectionStyleBlue);
    auto control = std::make_shared<UISwitch>(CGRectMake(200, 8, 27, 7));
    control->setTag(200 + indexPath.row());
    control->addTargetActionForControlEvents(this, &SwitchTable::switchChanged, UIControlEventValueChanged);
    cell->contentView()->addSubview(control);
    return cell;
  }
  std::string tableViewTitleForHeaderInSection(UITableView*, NSInteger section) override {
    return section == 0 ? "Switches" : "";
  }
  void tableViewDidSelectRowAtIndexPath(UITableView*, const NSIndexPath& indexPath) override {
    selected.push_back(indexPath);
  }

  void switchChanged(UISwitch* sender) {
    changedTags.push_back(sender->tag());
    table->reloadData();
    // The sender is still alive although the reload dropped its cell.
    changedTags.push_back(sender->tag());
  }

  int rows = 2;
  int cellsBuilt = 0;
  UITableView* table = nullptr;
  std::vector<NSInteger> changedTags;
  std::vector<NSIndexPath> selected;
};

UISwitch* switchAt(UITableView& table, NSInteger row) {
  auto* cell = table.cellForRowAtIndexPath(NSIndexPath::indexPathForRowInSection(row, 0));
  return cell ? dynamic_cast<UISwitch*>(cell->contentView()->viewWithTag(200 + row)) : nullptr;
}

TEST(UITableView, LoadsOnceWhenShownAndAnewOnEveryReload) {
  SwitchTable source;
  UITableView table(CGRectZero, UITableViewStyleGrouped);
  table.setDataSource(&source);
  EXPECT_EQ(table.numberOfSections(), 0);
  table.layoutIfNeeded();
  table.layoutIfNeeded();
  EXPECT_EQ(source.cellsBuilt, 2);
  EXPECT_EQ(table.numberOfSections(), 2);
  EXPECT_EQ(table.numberOfRowsInSection(1), 0);
  EXPECT_EQ(table.titleForHeaderInSection(0), "Switches");
  EXPECT_EQ(table.titleForHeaderInSection(7), "");
  source.rows = 3;
  table.reloadData();
  EXPECT_EQ(source.cellsBuilt, 5);
  EXPECT_EQ(table.numberOfRowsInSection(0), 3);
  EXPECT_EQ(table.cellForRowAtIndexPath(NSIndexPath::indexPathForRowInSection(3, 0)), nullptr);
  EXPECT_EQ(table.cellForRowAtIndexPath(NSIndexPath::indexPathForRowInSection(0, 5)), nullptr);
  EXPECT_EQ(table.cellForRowAtIndexPath(NSIndexPath::indexPathForRowInSection(-1, 0)), nullptr);
}

TEST(UITableView, SwitchActionThatReloadsTheTableKeepsItsSenderAlive) {
  SwitchTable source;
  UITableView table(CGRectZero, UITableViewStylePlain);
  table.setDataSource(&source);
  table.layoutIfNeeded();
  UISwitch* second = switchAt(table, 1);
  ASSERT_NE(second, nullptr);
  EXPECT_TRUE(second->toggleByUser());
  EXPECT_EQ(source.changedTags, (std::vector<NSInteger>{201, 201}));
  EXPECT_EQ(source.cellsBuilt, 4);
  // The rebuilt switch starts off again: the table shows what its data source builds.
  EXPECT_FALSE(switchAt(table, 1)->isOn());
}

TEST(UITableView, DisabledSwitchIgnoresTheUserAndCodeChangesSendNothing) {
  SwitchTable source;
  UITableView table(CGRectZero, UITableViewStylePlain);
  table.setDataSource(&source);
  table.layoutIfNeeded();
  UISwitch* first = switchAt(table, 0);
  first->setEnabled(false);
  EXPECT_FALSE(first->toggleByUser());
  first->setOnAnimated(true, false);
  first->sendActionsForControlEvents(1 << 0);  // not an event the action was added for
  EXPECT_TRUE(first->isOn());
  EXPECT_TRUE(source.changedTags.empty());
}

TEST(UITableView, SelectionHighlightsUnlessTheStyleIsNoneAndAlwaysTellsTheDelegate) {
  SwitchTable source;
  UITableView table(CGRectZero, UITableViewStylePlain);
  table.setDataSource(&source);
  table.setDelegate(&source);
  table.layoutIfNeeded();
  auto first = NSIndexPath::indexPathForRowInSection(0, 0);
  auto second = NSIndexPath::indexPathForRowInSection(1, 0);
  EXPECT_TRUE(table.selectRowByUser(first));
  EXPECT_FALSE(table.indexPathForSelectedRow().has_value());
  EXPECT_TRUE(table.selectRowByUser(second));
  EXPECT_EQ(table.indexPathForSelectedRow(), second);
  EXPECT_TRUE(table.cellForRowAtIndexPath(second)->isSelected());
  table.deselectRowAtIndexPathAnimated(second, true);
  EXPECT_FALSE(table.cellForRowAtIndexPath(second)->isSelected());
  EXPECT_FALSE(table.indexPathForSelectedRow().has_value());
  EXPECT_FALSE(table.selectRowByUser(NSIndexPath::indexPathForRowInSection(0, 1)));
  EXPECT_EQ(source.selected, (std::vector<NSIndexPath>{first, second}));
}

TEST(UIView, ViewWithTagSearchesItselfThenItsSubviewsDepthFirst) {
  auto root = std::make_shared<UIView>();
  auto branch = std::make_shared<UIView>();
  auto deep = std::make_shared<UILabel>();
  auto later = std::make_shared<UILabel>();
  deep->setTag(100);
  later->setTag(100);
  branch->addSubview(deep);
  root->addSubview(branch);
  root->addSubview(later);
  EXPECT_EQ(root->viewWithTag(0), root.get());
  EXPECT_EQ(root->viewWithTag(100), deep.get());
  EXPECT_EQ(root->viewWithTag(5), nullptr);
  // A view cannot go inside itself.
  deep->addSubview(root);
  EXPECT_EQ(root->superview(), nullptr);
  EXPECT_TRUE(deep->subviews().empty());
  // Adding to another superview moves it.
  later->addSubview(deep);
  EXPECT_EQ(deep->superview(), later.get());
  EXPECT_TRUE(branch->subviews().empty());
}

}  // namespace
