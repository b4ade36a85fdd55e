// phonesim: the simulated phone's one entry point.
#include <CLI/CLI.hpp>

#include <cstdio>

#include "Commands.h"
#include "phonesim/text/ClosestName.h"
#include "phonesim/text/Moment.h"

namespace {

// A first word that names no command: said plainly, with the nearest command if there is one.
bool isUnknownCommand(CLI::App& app, int argc, char** argv) {
  if (argc < 2 || argv[1][0] == '-') return false;
  std::vector<std::string> names;
  for (const CLI::App* command : app.get_subcommands({})) names.push_back(command->get_name());
  if (std::find(names.begin(), names.end(), argv[1]) != names.end()) return false;
  std::string nearest = closestName(argv[1], names);
  std::fprintf(stderr, "phonesim: \"%s\" is not a command", argv[1]);
  if (!nearest.empty()) std::fprintf(stderr, "; did you mean \"%s\"?", nearest.c_str());
  std::fprintf(stderr, "\nThe commands are:");
  for (const std::string& name : names) std::fprintf(stderr, " %s", name.c_str());
  std::fprintf(stderr, " (phonesim COMMAND --help says more)\n");
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"phonesim: a simulated phone to install, run, watch and test Mutaro on"};
  app.require_subcommand(1);

  std::string root;
  bool force = false;
  std::string iosVersion = "7.0.4";
  auto* init = app.add_subcommand("init", "lay out a fresh phone in ROOT and install the deliverables");
  init->add_option("ROOT", root, "device root directory: new, empty, or a phone to refresh")->required();
  init->add_option("--ios", iosVersion, "system version of the phone")->capture_default_str();
  std::string timeZone;
  init->add_option("--tz", timeZone, "the phone's time zone, e.g. Asia/Tokyo (default: the host's)");
  init->add_flag("--force", force, "lay a phone over a folder that holds other files");

  auto* status = app.add_subcommand("status", "the phone's state: one screen on a terminal, else JSON");
  status->add_option("ROOT", root, "device root directory")->required();
  bool summary = false;
  status->add_flag("--summary", summary, "one line: silenced since, event, volume, ringer, indicator, ringtone");
  bool json = false;
  status->add_flag("--json", json, "the whole state as one JSON object (the default when not on a terminal)");

  EventOptions event;
  auto* eventCommandLine = app.add_subcommand("event", "add a calendar event");
  eventCommandLine->add_option("ROOT", event.root, "device root directory")->required();
  eventCommandLine->add_option("--start", event.start, "when it starts (a time: the forms below)")->required();
  eventCommandLine->add_option("--end", event.end, "when it ends (a time)")->required();
  eventCommandLine->add_option("--title", event.title, "the event's title")->capture_default_str();
  eventCommandLine->add_option("--calendar", event.calendar, "row id of the calendar")->capture_default_str();
  eventCommandLine->add_option("--availability", event.availability, "0 busy, other values free")
      ->capture_default_str();
  auto* notes = eventCommandLine->add_option("--notes", "the event's notes (description)");
  eventCommandLine->add_flag("--all-day", event.allDay, "an all-day event");
  long long every = 0, count = 0;
  auto* everyOption = eventCommandLine->add_option("--every", every, "seconds between occurrences");
  auto* countOption = eventCommandLine->add_option("--count", count, "number of occurrences");

  std::vector<std::string> assignments;
  auto* set = app.add_subcommand("set", "write settings keys, each typed as the settings table says");
  set->add_option("ROOT", root, "device root directory")->required();
  set->add_option("ASSIGNMENTS", assignments,
                  "KEY=VALUE: booleans true/false/yes/no/1/0, integers, texts; KEY= removes the key")
      ->required();
  set->add_flag("--force", force, "store keys that the settings table does not know");

  auto* boot = app.add_subcommand("boot", "run the phone until SIGINT, SIGTERM or SIGHUP");
  boot->add_option("ROOT", root, "device root directory")->required();
  double speed = 1;
  boot->add_option("--speed", speed, "run the phone's clock N times fast (every program it starts), through faketime")
      ->check(CLI::PositiveNumber);
  auto* settingsApp = app.add_subcommand("app", "open the settings application in this terminal");
  settingsApp->add_option("ROOT", root, "device root directory")->required();

  LogOptions logOptions;
  ExplainOptions explain;
  auto* explainCommandLine = app.add_subcommand("explain", "why the phone is (not) silenced at a moment: what it recorded then, the daemon's rules");
  explainCommandLine->add_option("ROOT", explain.root, "device root directory")->required();
  explainCommandLine->add_option("--at", explain.at, "the moment asked about (a time: the forms below)")->capture_default_str();
  explainCommandLine->add_option("--from", explain.from, "first moment of the events listed (default: the day of --at)");
  explainCommandLine->add_option("--to", explain.to, "last moment of the events listed");
  explainCommandLine->add_flag("--json", explain.json, "the same facts as one JSON object");

  TimelineOptions timeline;
  auto* timelineCommandLine = app.add_subcommand("timeline", "a picture of a span: events, the silence, wakes, daemon passes");
  timelineCommandLine->add_option("ROOT", timeline.root, "device root directory")->required();
  timelineCommandLine->add_option("--from", timeline.from, "start of the span (default: today)");
  timelineCommandLine->add_option("--to", timeline.to, "end of the span");
  timelineCommandLine->add_option("--svg", timeline.svg, "write the picture to FILE as SVG");

  ImportOptions import;
  auto* importCommandLine = app.add_subcommand("import", "an iCalendar file into the phone's calendar");
  importCommandLine->add_option("ROOT", import.root, "device root directory")->required();
  importCommandLine->add_option("FILE", import.file, "the .ics file")->required();
  auto* calendarName = importCommandLine->add_option("--calendar", "the calendar's name (default: X-WR-CALNAME, else the file's name)");
  importCommandLine->add_option("--from", import.from, "first moment of the occurrences written (default: 30 days before today)");
  importCommandLine->add_option("--to", import.to, "last moment of the occurrences written (default: a year from today)");
  importCommandLine->add_flag("--dry-run", import.dryRun, "print what would be written, and write nothing");

  auto* log = app.add_subcommand("log", "show the phone's log: every program's lines, or those the filters keep");
  log->add_option("ROOT", logOptions.root, "device root directory")->required();
  log->add_option("--program", logOptions.program, "only the lines of this program, in any case (Mutarod, Mutarodh, ...)");
  log->add_option("--since", logOptions.since, "only lines from then on (a time: the forms below)");
  log->add_option("--grep", logOptions.grep, "only lines that hold this text");
  log->add_flag("--quiet-locks", logOptions.quietLocks, "leave out the settings lock's \"Lock file was deleted\" lines");
  log->add_flag("-f,--follow", logOptions.follow, "go on printing lines as they are written, until interrupted");

  // Every command's help ends with the grammar of times and the exit statuses.
  app.footer(kMomentHelp);
  for (CLI::App* command : app.get_subcommands({})) command->footer(kMomentHelp);

  if (isUnknownCommand(app, argc, argv)) return 2;
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    // Help asked for is done; any other mistake on the command line is misuse.
    int status = app.exit(error);
    return status == 0 ? 0 : 2;
  }

  if (init->parsed()) return initCommand(root, iosVersion, timeZone, force);
  if (status->parsed()) return statusCommand(root, json ? StatusForm::Json : summary ? StatusForm::Summary : StatusForm::Auto);
  if (eventCommandLine->parsed()) {
    if (notes->count() > 0) event.notes = notes->as<std::string>();
    if (everyOption->count() > 0) event.every = every;
    if (countOption->count() > 0) event.count = count;
    return eventCommand(event);
  }
  if (set->parsed()) return setCommand(root, assignments, force);
  if (boot->parsed()) return bootCommand(root, speed);
  if (settingsApp->parsed()) return appCommand(root);
  if (log->parsed()) return logCommand(logOptions);
  if (explainCommandLine->parsed()) return explainCommand(explain);
  if (timelineCommandLine->parsed()) return timelineCommand(timeline);
  if (importCommandLine->parsed()) {
    if (calendarName->count() > 0) import.calendar = calendarName->as<std::string>();
    return importCommand(import);
  }
  return 2;
}
