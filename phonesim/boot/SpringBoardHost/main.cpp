// The simulated SpringBoard: plays the home-screen process for the extensions. It registers
// its class "SpringBoard", loads the extensions whose filter names its bundle identifier,
// finishes launching through the method table (so that a hooked method runs) and then lives
// until SIGINT or SIGTERM.
#include <signal.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <string>

#include "phonesim/boot/SpringBoardHost/ExtensionLoader.h"
#include "platform/Foundation/DevicePath.h"
#include "platform/Foundation/NSBundle.h"
#include "platform/Foundation/NSLog.h"
#include "platform/substrate/SpringBoardApplication.h"

namespace {

// SpringBoard's own applicationDidFinishLaunching:.
void applicationDidFinishLaunching(id, SEL, id) { NSLog("SpringBoard finished launching"); }

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Simulated SpringBoard: loads its extensions and runs until SIGINT or SIGTERM"};
  std::string bundleIdentifier = "com.apple.springboard";
  app.add_option("--bundle-identifier", bundleIdentifier,
                 "the main bundle's identifier (another one plays a process that is not SpringBoard)");
  CLI11_PARSE(app, argc, argv);
  if (!mayRunOnThisDevice("SpringBoard")) return 1;

  // Blocked before any extension starts a thread, so every thread inherits the mask and the
  // stop signals reach only the sigwait below; no handler runs.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  NSBundle::mainBundle().setBundleIdentifier(bundleIdentifier);
  Class springBoard = objc_registerClass("SpringBoard");
  SEL didFinishLaunching = sel_registerName("applicationDidFinishLaunching:");
  class_addMethod(springBoard, didFinishLaunching, reinterpret_cast<IMP>(&applicationDidFinishLaunching));
  UIApp->isa = springBoard;

  loadExtensions(bundleIdentifier);
  objc_msgSend(static_cast<id>(UIApp), didFinishLaunching, static_cast<id>(UIApp));

  int received = 0;
  while (sigwait(&stopSignals, &received) != 0) {
  }
  // Extension threads never end; leave without running destructors under their feet.
  std::fflush(nullptr);
  _exit(0);
}
