#include "phonesim/boot/LaunchJob.h"

#include <plist/plist.h>

#include <algorithm>
#include <cstdlib>

#include "platform/Foundation/PropertyList.h"

namespace {

std::optional<std::string> stringOf(plist_t node) {
  if (node == nullptr || plist_get_node_type(node) != PLIST_STRING) return std::nullopt;
  char* text = nullptr;
  plist_get_string_val(node, &text);
  std::string value = text != nullptr ? text : "";
  free(text);
  return value;
}

std::vector<std::string> stringsOf(plist_t array) {
  std::vector<std::string> strings;
  if (array == nullptr || plist_get_node_type(array) != PLIST_ARRAY) return strings;
  for (uint32_t i = 0; i < plist_array_get_size(array); ++i) {
    if (auto text = stringOf(plist_array_get_item(array, i))) strings.push_back(*text);
  }
  return strings;
}

// LaunchEvents = { "com.apple.notifyd.matching" = { EVENT = { Notification = NAME; }; ... }; }
std::vector<std::string> notificationsOf(plist_t launchEvents) {
  std::vector<std::string> names;
  if (launchEvents == nullptr || plist_get_node_type(launchEvents) != PLIST_DICT) return names;
  plist_t matching = plist_dict_get_item(launchEvents, kNotifyLaunchEvents);
  if (matching == nullptr || plist_get_node_type(matching) != PLIST_DICT) return names;
  plist_dict_iter iterator = nullptr;
  plist_dict_new_iter(matching, &iterator);
  for (;;) {
    char* key = nullptr;
    plist_t event = nullptr;
    plist_dict_next_item(matching, iterator, &key, &event);
    free(key);
    if (event == nullptr) break;
    if (plist_get_node_type(event) != PLIST_DICT) continue;
    if (auto name = stringOf(plist_dict_get_item(event, "Notification"))) names.push_back(*name);
  }
  free(iterator);
  return names;
}

}  // namespace

std::optional<LaunchJob> readLaunchJob(const std::string& phonePath, std::string* error) {
  PlistPtr root = readPropertyListFile(phonePath, error);
  if (!root) return std::nullopt;
  plist_t job = root.get();
  if (plist_get_node_type(job) != PLIST_DICT) {
    *error = "not a dictionary";
    return std::nullopt;
  }
  LaunchJob parsed;
  parsed.label = stringOf(plist_dict_get_item(job, "Label")).value_or("");
  parsed.arguments = stringsOf(plist_dict_get_item(job, "ProgramArguments"));
  if (auto program = stringOf(plist_dict_get_item(job, "Program"))) {
    parsed.program = *program;
  } else if (!parsed.arguments.empty()) {
    parsed.program = parsed.arguments.front();
  }
  if (parsed.program.empty()) {
    *error = "neither Program nor ProgramArguments";
    return std::nullopt;
  }
  if (parsed.arguments.empty()) parsed.arguments.push_back(parsed.program);
  parsed.workingDirectory = stringOf(plist_dict_get_item(job, "WorkingDirectory")).value_or("");
  plist_t runAtLoad = plist_dict_get_item(job, "RunAtLoad");
  if (runAtLoad != nullptr && plist_get_node_type(runAtLoad) == PLIST_BOOLEAN) {
    uint8_t value = 0;
    plist_get_bool_val(runAtLoad, &value);
    parsed.runAtLoad = value != 0;
  }
  parsed.watchPaths = stringsOf(plist_dict_get_item(job, "WatchPaths"));
  parsed.notifications = notificationsOf(plist_dict_get_item(job, "LaunchEvents"));
  plist_t throttle = plist_dict_get_item(job, "ThrottleInterval");
  if (throttle != nullptr && plist_get_node_type(throttle) == PLIST_UINT) {
    uint64_t seconds = 0;
    plist_get_uint_val(throttle, &seconds);
    parsed.throttleInterval = static_cast<int>(std::min<uint64_t>(seconds, 86400));
  }
  plist_t keepAlive = plist_dict_get_item(job, "KeepAlive");
  if (keepAlive != nullptr && plist_get_node_type(keepAlive) == PLIST_DICT) {
    plist_t successfulExit = plist_dict_get_item(keepAlive, "SuccessfulExit");
    uint8_t value = 1;
    if (successfulExit != nullptr && plist_get_node_type(successfulExit) == PLIST_BOOLEAN) plist_get_bool_val(successfulExit, &value);
    parsed.restartUnlessSuccessful = value == 0;
  }
  return parsed;
}
