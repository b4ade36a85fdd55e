#pragma once
// A line of text.
#include <string>

#include "platform/UIKit/UIFont.h"
#include "platform/UIKit/UIView.h"

class UILabel : public UIView {
 public:
  using UIView::UIView;

  const std::string& text() const { return text_; }
  void setText(const std::string& text) { text_ = text; }
  const UIFont& font() const { return font_; }
  void setFont(UIFont font) { font_ = font; }
  const UIColor& textColor() const { return textColor_; }
  void setTextColor(UIColor color) { textColor_ = color; }
  const UIColor& highlightedTextColor() const { return highlightedTextColor_; }
  void setHighlightedTextColor(UIColor color) { highlightedTextColor_ = color; }

 private:
  std::string text_;
  UIFont font_ = UIFont::systemFontOfSize(17);
  UIColor textColor_ = UIColor::blackColor();
  UIColor highlightedTextColor_ = UIColor::whiteColor();
};
