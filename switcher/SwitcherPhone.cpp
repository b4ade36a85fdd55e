#include "switcher/SwitcherPhone.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/Foundation/DevicePath.h"
#include "settings-store/SettingsKeys.h"
#include "system-files/SystemFiles.h"

namespace {

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream data;
  data << in.rdbuf();
  return data.str();
}

}  // namespace

std::vector<std::string> logMessages(const std::string& err) {
  std::vector<std::string> messages;
  std::istringstream lines(err);
  for (std::string line; std::getline(lines, line);) {
    // Lines of the tools the switcher runs and of killall are not its own.
    size_t process = line.find(" Mutarodh[");
    size_t end = line.find("] ", process);
    if (process == std::string::npos || end == std::string::npos) continue;
    std::string message = line.substr(end + 2);
    if (message != "Lock file was deleted") messages.push_back(message);
  }
  return messages;
}

std::string values(const NSMutableDictionary& dictionary) {
  char* xml = nullptr;
  uint32_t length = 0;
  plist_to_xml(dictionary.node(), &xml, &length);
  std::string text(xml != nullptr ? xml : "", length);
  free(xml);
  return text;
}

SwitcherPhone::SwitcherPhone() {
  char pattern[] = "/tmp/mutarodh-test-XXXXXX";
  if (mkdtemp(pattern) == nullptr) throw std::runtime_error("mkdtemp failed");
  root_ = pattern;
  // The phone gets the programs just built, this switcher among them.
  std::string init = std::string(MUTARO_BIN_DIR) + "/phonesim init " + root_ + " >/dev/null 2>&1";
  if (std::system(init.c_str()) != 0) throw std::runtime_error("phonesim init failed");
}

SwitcherPhone::~SwitcherPhone() {
  std::error_code ignored;
  std::filesystem::remove_all(root_, ignored);
}

void SwitcherPhone::use() const { setenv("MUTARO_DEVICE_ROOT", root_.c_str(), 1); }

std::string SwitcherPhone::bytes(const std::string& phonePath) const {
  use();
  return readFile(devicePath(phonePath));
}

void SwitcherPhone::writeBytes(const std::string& phonePath, const std::string& data) const {
  use();
  std::ofstream(devicePath(phonePath), std::ios::binary | std::ios::trunc) << data;
}

bool SwitcherPhone::exists(const std::string& phonePath) const {
  use();
  return std::filesystem::exists(devicePath(phonePath));
}

void SwitcherPhone::remove(const std::string& phonePath) const {
  use();
  unlink(devicePath(phonePath).c_str());
}

std::unique_ptr<NSMutableDictionary> SwitcherPhone::dictionary(const std::string& phonePath) const {
  use();
  return NSMutableDictionary::initWithContentsOfFile(phonePath);
}

void SwitcherPhone::writeDictionary(const std::string& phonePath,
                                    const NSMutableDictionary& values) const {
  use();
  if (!values.writeToFileAtomically(phonePath)) throw std::runtime_error("cannot write " + phonePath);
}

std::string SwitcherPhone::values(const std::string& phonePath) const {
  auto contents = dictionary(phonePath);
  return contents ? ::values(*contents) : "";
}

void SwitcherPhone::setSetting(const char* key, bool value) const {
  auto settings = this->settings();
  settings->setBool(key, value);
  writeDictionary(kSettingsPath, *settings);
}

void SwitcherPhone::setSetting(const char* key, const char* value) const {
  auto settings = this->settings();
  if (value != nullptr) {
    settings->setString(key, value);
  } else {
    settings->removeObjectForKey(key);
  }
  writeDictionary(kSettingsPath, *settings);
}

void SwitcherPhone::saveSoundsAsTheDaemonDoes() const {
  struct Saved {
    const char* key;
    const char* file;
    const char* systemKey;
  };
  const Saved saved[] = {
      {kSavedRingtone, kSpringBoardPreferencesPath, kRingtoneKey},
      {kSavedRingVibrate, kSpringBoardPreferencesPath, kRingVibrateKey},
      {kSavedCalendarAlarm, kSpringBoardPreferencesPath, kCalendarAlarmKey},
      {kSavedSmsSound, kSpringBoardPreferencesPath, kSmsSoundKey},
      {kSavedLockUnlock, kSpringBoardPreferencesPath, kLockUnlockKey},
      {kSavedVoicemailToneEnabled, kPhonePreferencesPath, kVoicemailToneEnabledKey},
      {kSavedPlayNewMailSound, kMailPreferencesPath, kPlayNewMailSoundKey},
      {kSavedPlaySentMailSound, kMailPreferencesPath, kPlaySentMailSoundKey},
      {kSavedKeyboard, kSoundsPreferencesPath, kKeyboardKey}};
  auto settings = this->settings();
  for (const Saved& copy : saved) {
    // The phone made by phonesim holds every one of these keys.
    auto system = dictionary(copy.file);
    plist_t value = system ? system->objectForKey(copy.systemKey) : nullptr;
    if (value == nullptr) throw std::runtime_error(std::string("no system key ") + copy.systemKey);
    plist_dict_set_item(settings->node(), copy.key, plist_copy(value));
  }
  writeDictionary(kSettingsPath, *settings);
}

std::string SwitcherPhone::outputPath(pid_t process, const char* stream) const {
  return root_ + "/mutarodh-" + std::to_string(process) + "." + stream;
}

pid_t SwitcherPhone::start(const std::vector<std::string>& arguments) {
  std::vector<std::string> command = {"faketime", "-f", "+0 x20", "./Mutarodh"};
  command.insert(command.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : command) argv.push_back(word.data());
  argv.push_back(nullptr);
  std::string bundle = root_ + "/Applications/Mutaro.app";
  // The sanitizer runtime tolerates the fake clock's library being preloaded before it.
  const char* sanitizer = getenv("ASAN_OPTIONS");
  std::string sanitizerOptions =
      std::string(sanitizer != nullptr ? sanitizer : "") + ":verify_asan_link_order=0";

  pid_t process = fork();
  if (process == 0) {
    int out = open(outputPath(getpid(), "out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int err = open(outputPath(getpid(), "err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || err < 0 || dup2(out, STDOUT_FILENO) < 0 || dup2(err, STDERR_FILENO) < 0 ||
        chdir(bundle.c_str()) != 0) {
      _exit(127);
    }
    setenv("MUTARO_DEVICE_ROOT", root_.c_str(), 1);
    setenv("TZ", "UTC", 1);
    setenv("ASAN_OPTIONS", sanitizerOptions.c_str(), 1);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  return process;
}

SwitcherRun SwitcherPhone::finish(pid_t process) {
  SwitcherRun result;
  int status = 0;
  if (waitpid(process, &status, 0) == process && WIFEXITED(status)) {
    result.exitStatus = WEXITSTATUS(status);
  }
  result.out = readFile(outputPath(process, "out"));
  result.err = readFile(outputPath(process, "err"));
  return result;
}
