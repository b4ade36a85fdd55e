// phonesim: the simulated phone's one entry point.
#include <CLI/CLI.hpp>

#include "Commands.h"

int main(int argc, char** argv) {
  CLI::App app{"phonesim: a simulated phone to install, run, watch and test Mutaro on"};
  app.require_subcommand(1);

  std::string root;
  std::string iosVersion = "7.0.4";
  auto* init = app.add_subcommand("init", "lay out a fresh phone in ROOT and install the deliverables");
  init->add_option("ROOT", root, "device root directory")->required();
  init->add_option("--ios", iosVersion, "system version of the phone")->capture_default_str();

  auto* status = app.add_subcommand("status", "print the phone's state as one JSON object");
  status->add_option("ROOT", root, "device root directory")->required();
  bool summary = false;
  status->add_flag("--summary", summary, "one line: event, marker, volume, ringer, images, ringtone");
  bool json = false;
  status->add_flag("--json", json, "the state as one JSON object (the default)");

  EventOptions event;
  long every = 0;
  int count = 0;
  auto* eventCommandLine = app.add_subcommand("event", "add a calendar event");
  eventCommandLine->add_option("ROOT", event.root, "device root directory")->required();
  eventCommandLine->add_option("--start", event.start, "Unix seconds, or +N / -N seconds from now")->required();
  eventCommandLine->add_option("--end", event.end, "Unix seconds, or +N / -N seconds from now")->required();
  eventCommandLine->add_option("--title", event.title, "the event's title")->capture_default_str();
  eventCommandLine->add_option("--calendar", event.calendar, "row id of the calendar")->capture_default_str();
  eventCommandLine->add_option("--availability", event.availability, "0 busy, other values free")
      ->capture_default_str();
  auto* notes = eventCommandLine->add_option("--notes", "the event's notes (description)");
  eventCommandLine->add_flag("--all-day", event.allDay, "an all-day event");
  auto* everyOption = eventCommandLine->add_option("--every", every, "seconds between occurrences")
                          ->check(CLI::PositiveNumber);
  auto* countOption = eventCommandLine->add_option("--count", count, "number of occurrences")
                          ->check(CLI::PositiveNumber);
  everyOption->needs(countOption);
  countOption->needs(everyOption);

  std::vector<std::string> assignments;
  auto* set = app.add_subcommand("set", "write settings keys: KEY=true|false|INTEGER|TEXT, KEY= removes");
  set->add_option("ROOT", root, "device root directory")->required();
  set->add_option("ASSIGNMENTS", assignments, "KEY=VALUE")->required();

  auto* boot = app.add_subcommand("boot", "run the phone until SIGINT, SIGTERM or SIGHUP");
  boot->add_option("ROOT", root, "device root directory")->required();
  auto* settingsApp = app.add_subcommand("app", "open the settings application in this terminal");
  settingsApp->add_option("ROOT", root, "device root directory")->required();
  auto* log = app.add_subcommand("log", "show the phone's log");
  log->add_option("ROOT", root, "device root directory")->required();

  CLI11_PARSE(app, argc, argv);

  if (init->parsed()) return initCommand(root, iosVersion);
  if (status->parsed()) return statusCommand(root, summary);
  if (eventCommandLine->parsed()) {
    if (notes->count() > 0) event.notes = notes->as<std::string>();
    if (everyOption->count() > 0) event.every = every;
    if (countOption->count() > 0) event.count = count;
    return eventCommand(event);
  }
  if (set->parsed()) return setCommand(root, assignments);
  if (boot->parsed()) return bootCommand(root);
  if (settingsApp->parsed()) return appCommand(root);
  if (log->parsed()) return logCommand(root);
  return 2;
}
