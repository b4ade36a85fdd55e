#include "platform/notify/notify.h"

#include <cctype>
#include <charconv>
#include <cstdio>
#include <map>
#include <mutex>

#include "platform/SimState/SimState.h"

namespace {

// Longest name accepted; its state file name must stay within the file system's limit.
constexpr size_t kMaximumNameLength = 64;

// Registrations are per process, like the real service's tokens.
std::mutex tokensLock;
std::map<int, std::string> namesByToken;
int nextToken = 1;

// The state of every name lives in a value file of its own. Characters other than letters,
// digits, '.', '-' and '_' are written as %XX, so distinct names never share a file and no
// name can reach outside the simulated state.
std::string stateValueName(const std::string& name) {
  std::string fileName = "notify-state.";
  for (unsigned char c : name) {
    if (std::isalnum(c) || c == '.' || c == '-' || c == '_') {
      fileName += static_cast<char>(c);
    } else {
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, "%%%02X", c);
      fileName += escaped;
    }
  }
  return fileName;
}

bool nameForToken(int token, std::string* name) {
  std::lock_guard<std::mutex> guard(tokensLock);
  auto found = namesByToken.find(token);
  if (found == namesByToken.end()) return false;
  *name = found->second;
  return true;
}

std::optional<uint64_t> parseState(const std::string& text) {
  uint64_t state = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), state);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return state;
}

}  // namespace

uint32_t notify_register_check(const char* name, int* out_token) {
  if (name == nullptr || out_token == nullptr || *name == '\0') return NOTIFY_STATUS_FAILED;
  if (std::string(name).size() > kMaximumNameLength) return NOTIFY_STATUS_FAILED;
  std::lock_guard<std::mutex> guard(tokensLock);
  int token = nextToken++;
  namesByToken[token] = name;
  *out_token = token;
  return NOTIFY_STATUS_OK;
}

uint32_t notify_set_state(int token, uint64_t state) {
  std::string name;
  if (!nameForToken(token, &name)) return NOTIFY_STATUS_FAILED;
  simWriteValue(stateValueName(name), std::to_string(state));
  return NOTIFY_STATUS_OK;
}

uint32_t notify_post(const char* name) {
  if (name == nullptr || *name == '\0') return NOTIFY_STATUS_FAILED;
  std::optional<uint64_t> state = simulatedNotifyState(name);
  simAppend(kNotifyPostJournal, {name, state ? std::to_string(*state) : ""});
  return NOTIFY_STATUS_OK;
}

uint32_t notify_cancel(int token) {
  std::lock_guard<std::mutex> guard(tokensLock);
  return namesByToken.erase(token) == 1 ? NOTIFY_STATUS_OK : NOTIFY_STATUS_FAILED;
}

int simulatedNotifyRegistrations() {
  std::lock_guard<std::mutex> guard(tokensLock);
  return static_cast<int>(namesByToken.size());
}

std::optional<uint64_t> simulatedNotifyState(const std::string& name) {
  if (name.empty() || name.size() > kMaximumNameLength) return std::nullopt;
  std::string text;
  if (!simReadValue(stateValueName(name), &text)) return std::nullopt;
  return parseState(text);
}

std::vector<std::pair<std::string, std::optional<uint64_t>>> simulatedNotifyPosts() {
  std::vector<std::pair<std::string, std::optional<uint64_t>>> posts;
  for (const std::vector<std::string>& record : simRead(kNotifyPostJournal)) {
    if (record.empty()) continue;
    posts.emplace_back(record[0], record.size() > 1 ? parseState(record[1]) : std::nullopt);
  }
  return posts;
}
