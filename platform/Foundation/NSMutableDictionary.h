#pragma once
// A property-list dictionary as the system code uses it: typed lookups that report absence
// (a value of another type reads as absent), typed setters, and whole-file load and save.
#include <cstdint>
#include <ctime>
#include <memory>
#include <optional>
#include <string>

#include "PropertyList.h"

class NSMutableDictionary {
 public:
  NSMutableDictionary();                        // empty
  explicit NSMutableDictionary(PlistPtr root);  // takes a dictionary node

  // Null when the file is missing or unreadable, or its root is not a dictionary.
  static std::unique_ptr<NSMutableDictionary> initWithContentsOfFile(const std::string& phonePath);
  // XML, atomically; false on failure (the file is then unchanged).
  bool writeToFileAtomically(const std::string& phonePath) const;

  // Booleans as stored; a number is true when non-zero.
  std::optional<bool> boolForKey(const char* key) const;
  // Integers as stored (a real is truncated, a boolean is 0 or 1).
  std::optional<int32_t> intForKey(const char* key) const;
  std::optional<std::string> stringForKey(const char* key) const;
  // Unix seconds.
  std::optional<time_t> dateForKey(const char* key) const;
  plist_t objectForKey(const char* key) const;  // borrowed; null when absent

  void setBool(const char* key, bool value);
  void setInt(const char* key, int32_t value);
  void setString(const char* key, const std::string& value);
  void setDate(const char* key, time_t value);
  void removeObjectForKey(const char* key);

  plist_t node() const { return root_.get(); }

 private:
  PlistPtr root_;
};
