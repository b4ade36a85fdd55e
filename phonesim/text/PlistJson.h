#pragma once
// A property list's values as JSON, for `phonesim status`.
#include <plist/plist.h>

#include <nlohmann/json.hpp>

// Booleans, numbers and strings as themselves, dates as ISO 8601 UTC text, data as
// "<N bytes>", arrays and dictionaries as arrays and objects. Containers nested deeper than a
// readable property list may be (kDeepestPropertyList) show as null, so the walk's own depth
// stays bounded whatever list it is given.
nlohmann::ordered_json jsonFromPlist(plist_t node);
