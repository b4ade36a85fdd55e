#pragma once
// Test fixture: a phone made by `phonesim init` in a temporary device root, on which the built
// Mutarodh runs as the daemon runs it ("./Mutarodh ARG" in the bundle directory) under a
// sped-up fake clock. Reads of the simulated state point this process at the phone first.
#include <sys/types.h>

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/AudioToolbox/AudioServices.h"
#include "platform/Celestial/AVController.h"
#include "platform/Foundation/NSMutableDictionary.h"
#include "platform/GraphicsServices/GraphicsServices.h"
#include "platform/notify/notify.h"
#include "settings-store/SettingsPaths.h"

// Records the simulated phone keeps per vibration cue: the two system-sound calls and Vibrate.
constexpr int kVibrationsPerCue = 3;

using Announcements = std::vector<std::pair<std::string, std::string>>;

struct SwitcherRun {
  int exitStatus = -1;
  std::string out;
  std::string err;  // the log
};

// The switcher's own log messages, without time, process and the settings store's lock lines.
std::vector<std::string> logMessages(const std::string& err);

// A dictionary's values as XML, so that two property lists compare equal exactly when their
// values do, whatever form their files have.
std::string values(const NSMutableDictionary& dictionary);

class SwitcherPhone {
 public:
  SwitcherPhone();
  ~SwitcherPhone();
  SwitcherPhone(const SwitcherPhone&) = delete;
  SwitcherPhone& operator=(const SwitcherPhone&) = delete;

  const std::string& root() const { return root_; }
  void use() const;  // points this process's devicePath() at the phone

  std::string bytes(const std::string& phonePath) const;  // "" when missing
  void writeBytes(const std::string& phonePath, const std::string& data) const;
  bool exists(const std::string& phonePath) const;
  void remove(const std::string& phonePath) const;

  std::unique_ptr<NSMutableDictionary> dictionary(const std::string& phonePath) const;
  void writeDictionary(const std::string& phonePath, const NSMutableDictionary& values) const;
  std::string values(const std::string& phonePath) const;  // "" when unreadable

  // The settings file.
  std::unique_ptr<NSMutableDictionary> settings() const { return dictionary(kSettingsPath); }
  void setSetting(const char* key, bool value) const;
  void setSetting(const char* key, const char* value) const;
  // Copies the system's sound values into the saved-copy keys, as the daemon does when an
  // event starts.
  void saveSoundsAsTheDaemonDoes() const;

  Announcements announcements() const { use(); return simulatedAnnouncements(); }
  auto notifyPosts() const { use(); return simulatedNotifyPosts(); }
  int vibrations() const { use(); return simulatedVibrationCount(); }
  float volume() const { use(); return AVController::avController()->volume(); }
  void setVolume(float level) const { use(); AVController::avController()->setVolume(level); }

  // Starts "./Mutarodh ARGUMENTS..."; finish() waits for it.
  pid_t start(const std::vector<std::string>& arguments);
  SwitcherRun finish(pid_t process);
  SwitcherRun run(const std::vector<std::string>& arguments) { return finish(start(arguments)); }

 private:
  std::string outputPath(pid_t process, const char* stream) const;
  std::string root_;
};
