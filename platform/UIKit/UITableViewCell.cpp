#include "platform/UIKit/UITableViewCell.h"

UITableViewCell::UITableViewCell(UITableViewCellStyle style, const std::string& reuseIdentifier)
    : style_(style), reuseIdentifier_(reuseIdentifier), contentView_(std::make_shared<UIView>()) {}

UITableViewCell::UITableViewCell(CGRect frame, const std::string& reuseIdentifier)
    : UIView(frame), reuseIdentifier_(reuseIdentifier), contentView_(std::make_shared<UIView>()) {}

UILabel* UITableViewCell::textLabel() {
  if (!textLabel_) {
    textLabel_ = std::make_shared<UILabel>();
    contentView_->addSubview(textLabel_);
  }
  return textLabel_.get();
}
