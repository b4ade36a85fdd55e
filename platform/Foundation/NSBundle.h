#pragma once
#include <string>

// The process's main bundle: its identifier (set by the host process that plays the
// application, e.g. "com.apple.springboard") and its string table.
class NSBundle {
 public:
  static NSBundle& mainBundle();

  const std::string& bundleIdentifier() const { return identifier_; }
  void setBundleIdentifier(const std::string& identifier) { identifier_ = identifier; }

  // The translation of `key` in `table` (null: the default table). No translations ship,
  // so the key itself comes back, or `value` when the key is empty.
  std::string localizedStringForKey(const std::string& key, const std::string& value,
                                    const char* table) const;

 private:
  std::string identifier_;
};
