#include "platform/UIKit/UIApplication.h"

#include <cstdio>

#include "platform/UIKit/InterfaceFile.h"
#include "platform/UIKit/TerminalFrontEnd.h"

namespace {
std::unique_ptr<UIApplication> sharedInstance;
}  // namespace

UIApplication* UIApplication::sharedApplication() { return sharedInstance.get(); }

void UIApplication::beginIgnoringInteractionEvents(const std::string& message) {
  if (ignoring_++ == 0 && interactionObserver_) interactionObserver_(true, message);
}

void UIApplication::endIgnoringInteractionEvents() {
  if (ignoring_ > 0 && --ignoring_ == 0 && interactionObserver_) interactionObserver_(false, "");
}

IgnoringInteractionEvents::IgnoringInteractionEvents(const std::string& message)
    : application_(UIApplication::sharedApplication()) {
  if (application_) application_->beginIgnoringInteractionEvents(message);
}

IgnoringInteractionEvents::~IgnoringInteractionEvents() {
  if (application_) application_->endIgnoringInteractionEvents();
}

UIApplication* UIApplicationLaunch() {
  sharedInstance.reset();
  sharedInstance = std::make_unique<UIApplication>();
  UIApplication* application = sharedInstance.get();
  if (!loadInterfaceFile(kMainInterfaceFile, application)) {
    std::fprintf(stderr, "UIApplicationMain: there is no interface file named \"%s\"\n",
                 kMainInterfaceFile);
    sharedInstance.reset();
    return nullptr;
  }
  if (UIApplicationDelegate* delegate = application->delegate()) {
    delegate->applicationDidFinishLaunching(application);
  }
  return application;
}

int UIApplicationMain(int, char*[], const char*, const char*) {
  UIApplication* application = UIApplicationLaunch();
  if (!application) return 1;
  return runTerminalFrontEnd(application);
}
