#pragma once
// The phone's settings journal, kept while the phone is booted: each change of the settings
// file and of the marker, with the phone's time, so that the state at a past moment can be
// read back (PhoneHistory.h reads it).
#include <csignal>
#include <string>

// The journal's name among the simulated phone's state files.
constexpr const char* kSettingsJournal = "settings-journal";

// Records the boot with the settings and marker as they are; returns that state.
std::string recordBoot();
// Records every change from `last` on until *stop is set, then the shutdown.
void recordSettingsChanges(std::string last, const volatile std::sig_atomic_t* stop);
