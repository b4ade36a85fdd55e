#pragma once
// Test support for the settings application: a phone made by `phonesim init` in a temporary
// device root (set as MUTARO_DEVICE_ROOT while it lives), its settings file, its calendar
// database, and the application launched in-process on the headless front end.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Foundation/NSMutableDictionary.h"
#include "platform/UIKit/HeadlessFrontEnd.h"

class TestPhone {
 public:
  explicit TestPhone(const std::string& iosVersion = "7.0.4");
  ~TestPhone();
  TestPhone(const TestPhone&) = delete;
  TestPhone& operator=(const TestPhone&) = delete;

  bool ready() const { return ready_; }
  const std::string& root() const { return root_; }
  std::string at(const std::string& phonePath) const { return root_ + phonePath; }
  bool exists(const std::string& phonePath) const;

  // The settings file as it is now; an empty dictionary when it cannot be read.
  std::unique_ptr<NSMutableDictionary> settings() const;
  // Reads the settings file, lets `edit` change it and writes it back.
  void editSettings(const std::function<void(NSMutableDictionary&)>& edit) const;
  void removeSetting(const char* key) const;
  // Every key of the settings file with its value as text ("true", "7", "\"text\"").
  std::map<std::string, std::string> settingsSnapshot() const;

  // Runs SQL on the calendar database.
  void calendarSQL(const std::string& sql) const;

 private:
  std::string root_;
  bool ready_ = false;
};

// Does what main does before the loop (the start-up read of "EnableProfilesSwitch"), then
// launches the application on the headless front end.
std::unique_ptr<HeadlessFrontEnd> launchApplication();

// Everything the process wrote to standard error and standard output while `body` ran.
std::string capturedOutput(const std::function<void()>& body);

// Tests whose code sleeps run again under sped-up faketime: outside faketime this runs the
// current test in a child of this test binary under `faketime -f '+0 x20'`, expects it to
// pass, and returns true, and the caller returns; under faketime it returns false, and the
// caller goes on with the test's body.
bool reranUnderFaketime();
