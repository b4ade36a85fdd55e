#include "NSMutableDictionary.h"

#include "NSDate.h"
#include "PropertyList.h"

NSMutableDictionary::NSMutableDictionary() : root_(plist_new_dict()) {}

NSMutableDictionary::NSMutableDictionary(PlistPtr root) : root_(std::move(root)) {}

std::unique_ptr<NSMutableDictionary> NSMutableDictionary::initWithContentsOfFile(
    const std::string& phonePath) {
  PlistPtr root = readPropertyListFile(phonePath);
  if (!root || plist_get_node_type(root.get()) != PLIST_DICT) return nullptr;
  return std::make_unique<NSMutableDictionary>(std::move(root));
}

bool NSMutableDictionary::writeToFileAtomically(const std::string& phonePath) const {
  return writePropertyListFileAtomically(root_.get(), phonePath);
}

plist_t NSMutableDictionary::objectForKey(const char* key) const {
  return plist_dict_get_item(root_.get(), key);
}

std::optional<bool> NSMutableDictionary::boolForKey(const char* key) const {
  plist_t node = objectForKey(key);
  if (node == nullptr) return std::nullopt;
  switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
      uint8_t value = 0;
      plist_get_bool_val(node, &value);
      return value != 0;
    }
    case PLIST_UINT: {
      uint64_t value = 0;
      plist_get_uint_val(node, &value);
      return value != 0;
    }
    case PLIST_REAL: {
      double value = 0;
      plist_get_real_val(node, &value);
      return value != 0;
    }
    default:
      return std::nullopt;
  }
}

std::optional<int32_t> NSMutableDictionary::intForKey(const char* key) const {
  plist_t node = objectForKey(key);
  if (node == nullptr) return std::nullopt;
  switch (plist_get_node_type(node)) {
    case PLIST_UINT: {
      uint64_t value = 0;
      plist_get_uint_val(node, &value);
      return static_cast<int32_t>(static_cast<int64_t>(value));
    }
    case PLIST_REAL: {
      double value = 0;
      plist_get_real_val(node, &value);
      if (!(value > -2147483649.0 && value < 2147483648.0)) return std::nullopt;
      return static_cast<int32_t>(value);
    }
    case PLIST_BOOLEAN: {
      uint8_t value = 0;
      plist_get_bool_val(node, &value);
      return value != 0 ? 1 : 0;
    }
    default:
      return std::nullopt;
  }
}

std::optional<std::string> NSMutableDictionary::stringForKey(const char* key) const {
  plist_t node = objectForKey(key);
  if (node == nullptr || plist_get_node_type(node) != PLIST_STRING) return std::nullopt;
  uint64_t length = 0;
  const char* text = plist_get_string_ptr(node, &length);
  if (text == nullptr) return std::string();
  return std::string(text, static_cast<size_t>(length));
}

std::optional<time_t> NSMutableDictionary::dateForKey(const char* key) const {
  plist_t node = objectForKey(key);
  if (node == nullptr || plist_get_node_type(node) != PLIST_DATE) return std::nullopt;
  return plistDateUnixSeconds(node);
}

void NSMutableDictionary::setBool(const char* key, bool value) {
  plist_dict_set_item(root_.get(), key, plist_new_bool(value ? 1 : 0));
}

void NSMutableDictionary::setInt(const char* key, int32_t value) {
  plist_dict_set_item(root_.get(), key, plist_new_uint(static_cast<uint64_t>(static_cast<int64_t>(value))));
}

void NSMutableDictionary::setString(const char* key, const std::string& value) {
  plist_dict_set_item(root_.get(), key, plist_new_string(value.c_str()));
}

void NSMutableDictionary::setDate(const char* key, time_t value) {
  plist_dict_set_item(root_.get(), key, newPlistDate(value));
}

void NSMutableDictionary::removeObjectForKey(const char* key) {
  if (objectForKey(key) != nullptr) plist_dict_remove_item(root_.get(), key);
}
