#include "phonesim/text/PlistJson.h"

#include <cstdlib>
#include <ctime>
#include <string>
#include <unordered_map>

#include "platform/Foundation/NSDate.h"
#include "platform/Foundation/PlistNesting.h"
#include "platform/Foundation/PropertyList.h"

using Json = nlohmann::ordered_json;

namespace {

// `depth`: the containers around `node`.
Json jsonAt(plist_t node, int depth) {
  switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
      uint8_t value = 0;
      plist_get_bool_val(node, &value);
      return value != 0;
    }
    case PLIST_UINT: {
      uint64_t value = 0;
      plist_get_uint_val(node, &value);
      return static_cast<int64_t>(value);  // negative integers are stored two's complement
    }
    case PLIST_REAL: {
      double value = 0;
      plist_get_real_val(node, &value);
      return value;
    }
    case PLIST_STRING: {
      uint64_t length = 0;
      const char* text = plist_get_string_ptr(node, &length);
      return text ? std::string(text, static_cast<size_t>(length)) : std::string();
    }
    case PLIST_DATE: {
      return iso8601(plistDateUnixSeconds(node));
    }
    case PLIST_DATA: {
      uint64_t length = 0;
      plist_get_data_ptr(node, &length);
      return "<" + std::to_string(length) + " bytes>";
    }
    case PLIST_ARRAY: {
      if (depth >= kDeepestPropertyList) return nullptr;
      Json array = Json::array();
      for (uint32_t i = 0; i < plist_array_get_size(node); ++i) {
        array.push_back(jsonAt(plist_array_get_item(node, i), depth + 1));
      }
      return array;
    }
    case PLIST_DICT: {
      if (depth >= kDeepestPropertyList) return nullptr;
      // An ordered JSON object finds a key by walking its members: with an index beside it,
      // a dictionary of n keys is built in n steps, not n².
      Json object = Json::object();
      auto& members = static_cast<Json::object_t::Container&>(object.get_ref<Json::object_t&>());
      std::unordered_map<std::string, size_t> place;
      plist_dict_iter it = nullptr;
      plist_dict_new_iter(node, &it);
      char* key = nullptr;
      plist_t value = nullptr;
      for (plist_dict_next_item(node, it, &key, &value); value != nullptr;
           plist_dict_next_item(node, it, &key, &value)) {
        std::string name = key ? key : "";
        auto [at, added] = place.try_emplace(name, members.size());
        if (added) {
          members.emplace_back(name, jsonAt(value, depth + 1));
        } else {
          members[at->second].second = jsonAt(value, depth + 1);  // a repeated key: the last value, as before
        }
        free(key);
        key = nullptr;
      }
      free(it);
      return object;
    }
    default:
      return nullptr;
  }
}

}  // namespace

Json jsonFromPlist(plist_t node) { return jsonAt(node, 0); }
