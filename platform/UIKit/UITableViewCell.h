#pragma once
// One row of a table: a content view that holds the row's views (the cell owns it), an
// optional text label, an accessory (disclosure indicator, checkmark) and a selection style.
#include <memory>
#include <string>

#include "platform/UIKit/UILabel.h"
#include "platform/UIKit/UIView.h"

enum UITableViewCellStyle {
  UITableViewCellStyleDefault = 0,
  UITableViewCellStyleValue1 = 1,
  UITableViewCellStyleValue2 = 2,
  UITableViewCellStyleSubtitle = 3,
};

enum UITableViewCellAccessoryType {
  UITableViewCellAccessoryNone = 0,
  UITableViewCellAccessoryDisclosureIndicator = 1,
  UITableViewCellAccessoryDetailDisclosureButton = 2,
  UITableViewCellAccessoryCheckmark = 3,
};

enum UITableViewCellSelectionStyle {
  UITableViewCellSelectionStyleNone = 0,
  UITableViewCellSelectionStyleBlue = 1,
  UITableViewCellSelectionStyleGray = 2,
};

class UITableViewCell : public UIView {
 public:
  UITableViewCell(UITableViewCellStyle style, const std::string& reuseIdentifier);
  UITableViewCell(CGRect frame, const std::string& reuseIdentifier);

  const std::string& reuseIdentifier() const { return reuseIdentifier_; }
  UITableViewCellStyle style() const { return style_; }
  UIView* contentView() const { return contentView_.get(); }
  // Made on first use, inside the content view.
  UILabel* textLabel();
  // Null until textLabel() made it.
  UILabel* existingTextLabel() const { return textLabel_.get(); }

  UITableViewCellAccessoryType accessoryType() const { return accessoryType_; }
  void setAccessoryType(UITableViewCellAccessoryType type) { accessoryType_ = type; }
  UITableViewCellSelectionStyle selectionStyle() const { return selectionStyle_; }
  void setSelectionStyle(UITableViewCellSelectionStyle style) { selectionStyle_ = style; }
  bool isSelected() const { return selected_; }
  void setSelectedAnimated(bool selected, bool /*animated*/) { selected_ = selected; }

 private:
  UITableViewCellStyle style_ = UITableViewCellStyleDefault;
  std::string reuseIdentifier_;
  std::shared_ptr<UIView> contentView_;
  std::shared_ptr<UILabel> textLabel_;
  UITableViewCellAccessoryType accessoryType_ = UITableViewCellAccessoryNone;
  UITableViewCellSelectionStyle selectionStyle_ = UITableViewCellSelectionStyleBlue;
  bool selected_ = false;
};
