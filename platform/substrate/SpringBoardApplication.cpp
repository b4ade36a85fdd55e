#include "platform/substrate/SpringBoardApplication.h"

#include "platform/SimState/SimState.h"

namespace {
constexpr const char* kStatusBarJournal = "statusbar";
SpringBoardApplication application;
}  // namespace

SpringBoardApplication* const UIApp = &application;

void SpringBoardApplication::addStatusBarImageNamed(const std::string& name) {
  simAppend(kStatusBarJournal, {"add", name});
}

void SpringBoardApplication::removeStatusBarImageNamed(const std::string& name) {
  simAppend(kStatusBarJournal, {"remove", name});
}
