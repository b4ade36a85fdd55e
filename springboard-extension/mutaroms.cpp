// mutaroms: loaded into every process the substrate filter names, it acts only inside
// SpringBoard. After SpringBoard's launch it prepares the settings file, clears a stale lock
// and keeps the status-bar image "Mutaro" in step with the marker file.
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/Foundation/DevicePath.h"
#include "platform/Foundation/NSBundle.h"
#include "platform/Foundation/NSLog.h"
#include "platform/Foundation/PropertyList.h"
#include "platform/notify/notify.h"
#include "platform/substrate/SpringBoardApplication.h"
#include "platform/substrate/substrate.h"
// Only the path constants: the extension handles the settings and lock files as whole files
// and does not link the settings accessors.
#include "settings-store/SettingsPaths.h"

namespace {

using ApplicationDidFinishLaunching = void (*)(id self, SEL selector, id application);

// SpringBoard's own applicationDidFinishLaunching:, saved when the hook is installed.
ApplicationDidFinishLaunching _SpringBoard$applicationDidFinishLaunching$ = nullptr;

constexpr const char* kStatusBarImage = "Mutaro";

// The shell runs fixed text and device paths only; its status is not looked at.
void runCommand(const std::string& commandLine) {
  int status = system(commandLine.c_str());
  (void)status;
}

// The marker counts as present when it can be opened for reading.
bool markerExists() { return canBeOpenedForReading(devicePath(kMarkerPath)); }

// The ringer-state name, one character per position; it is not kept as one text.
constexpr char kNameByPosition[33] = {
    'c', 'o', 'm', '.', 'a', 'p', 'p', 'l', 'e', '.', 's', 'p', 'r', 'i', 'n', 'g', 'b',
    'o', 'a', 'r', 'd', '.', 'r', 'i', 'n', 'g', 'e', 'r', 's', 't', 'a', 't', 'e'};

void sendSilentOrRingMessage(int state) {
  char name[64];
  memset(name, 0, sizeof name);
  for (int position = 0; position <= 32; ++position) {
    name[position] = kNameByPosition[position];
  }
  int token = 0;
  notify_register_check(name, &token);
  notify_set_state(token, static_cast<uint64_t>(static_cast<int64_t>(state)));
  notify_post(name);
  notify_cancel(token);
}

void* iconCheckThread(void*) {
  struct stat settings;
  if (stat(devicePath(kSettingsPath).c_str(), &settings) != 0) {
    runCommand("cp " + shellDevicePath(kSettingsBackupPath) + " " + shellDevicePath(kSettingsPath));
  }
  runCommand("chmod 777 " + shellDevicePath(kSettingsPath));
  runCommand("rm -f " + shellDevicePath(kSettingsLockPath));
  NSLog("Copy backup files...");

  // The image is set at every check, whether or not the marker changed.
  for (;;) {
    if (markerExists()) {
      UIApp->addStatusBarImageNamed(kStatusBarImage);
    } else {
      UIApp->removeStatusBarImageNamed(kStatusBarImage);
    }
    sleep(5);
  }
  return nullptr;
}

void $SpringBoard$applicationDidFinishLaunching$(id self, SEL selector, id application) {
  // SpringBoard finishes its own launch first.
  if (_SpringBoard$applicationDidFinishLaunching$ != nullptr) {
    _SpringBoard$applicationDidFinishLaunching$(self, selector, application);
  }

  NSLog("************* mutaroms ******************");
  NSLog("Create mutaro plist file if does not exist");

  if (markerExists()) {
    NSLog("--- Silent phone ---");
    sendSilentOrRingMessage(0);
    UIApp->addStatusBarImageNamed(kStatusBarImage);
  }

  // Lives as long as SpringBoard; never joined.
  pthread_t thread;
  pthread_create(&thread, nullptr, iconCheckThread, nullptr);
}

// Runs when the library is loaded. Outside SpringBoard, and off the phone, it does nothing.
__attribute__((constructor)) void mutaromsInitialize() {
  if (NSBundle::mainBundle().bundleIdentifier() == "com.apple.springboard" && mayRunOnThisDevice("mutaroms")) {
    _SpringBoard$applicationDidFinishLaunching$ = reinterpret_cast<ApplicationDidFinishLaunching>(
        MSHookMessage(objc_getClass("SpringBoard"), sel_registerName("applicationDidFinishLaunching:"),
                      reinterpret_cast<IMP>(&$SpringBoard$applicationDidFinishLaunching$), nullptr));
  }
}

}  // namespace
