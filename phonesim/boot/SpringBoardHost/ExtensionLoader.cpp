#include "phonesim/boot/SpringBoardHost/ExtensionLoader.h"

#include <dlfcn.h>
#include <plist/plist.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "platform/Foundation/DevicePath.h"
#include "platform/Foundation/PropertyList.h"

namespace {

constexpr const char* kExtensionsDirectory = "/Library/MobileSubstrate/DynamicLibraries";
constexpr const char* kLibrarySuffix = ".dylib";

plist_t dictionaryItem(plist_t dictionary, const char* key) {
  if (dictionary == nullptr || plist_get_node_type(dictionary) != PLIST_DICT) return nullptr;
  return plist_dict_get_item(dictionary, key);
}

// Library names in the extensions directory, sorted; empty when the directory is missing.
std::vector<std::string> libraryNames() {
  std::vector<std::string> names;
  std::error_code error;
  std::filesystem::directory_iterator entries(devicePath(kExtensionsDirectory), error);
  if (error) return names;
  for (const std::filesystem::directory_entry& entry : entries) {
    std::string name = entry.path().filename().string();
    if (name.size() > std::char_traits<char>::length(kLibrarySuffix) && name.ends_with(kLibrarySuffix)) {
      names.push_back(name);
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

bool filterAdmits(const std::string& filterPhonePath, const std::string& bundleIdentifier) {
  PlistPtr filter = readPropertyListFile(filterPhonePath);
  plist_t bundles = dictionaryItem(dictionaryItem(filter.get(), "Filter"), "Bundles");
  if (bundles == nullptr || plist_get_node_type(bundles) != PLIST_ARRAY) return false;
  for (uint32_t index = 0; index < plist_array_get_size(bundles); ++index) {
    plist_t bundle = plist_array_get_item(bundles, index);
    if (plist_get_node_type(bundle) != PLIST_STRING) continue;
    uint64_t length = 0;
    const char* text = plist_get_string_ptr(bundle, &length);
    if (text != nullptr && std::string(text, length) == bundleIdentifier) return true;
  }
  return false;
}

std::vector<std::string> loadExtensions(const std::string& bundleIdentifier) {
  std::vector<std::string> loaded;
  for (const std::string& name : libraryNames()) {
    std::string libraryPath = std::string(kExtensionsDirectory) + "/" + name;
    std::string filterPath = libraryPath.substr(0, libraryPath.size() - std::char_traits<char>::length(kLibrarySuffix)) + ".plist";
    if (!filterAdmits(filterPath, bundleIdentifier)) continue;
    if (dlopen(devicePath(libraryPath).c_str(), RTLD_NOW | RTLD_LOCAL) == nullptr) {
      const char* reason = dlerror();
      std::fprintf(stderr, "SpringBoard: cannot load %s: %s\n", libraryPath.c_str(),
                   reason != nullptr ? reason : "unknown error");
      continue;
    }
    loaded.push_back(libraryPath);
  }
  return loaded;
}
