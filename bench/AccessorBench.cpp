// accessor-bench ROOT [--calls N]: times single settings accessor calls on the phone in ROOT,
// one after another with nobody else holding the lock, and prints the median and the 90th and
// 99th percentiles of each kind of call in microseconds.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "settings-store/SettingsKeys.h"
#include "settings-store/SettingsStore.h"

namespace {

double percentile(std::vector<double> values, double fraction) {
  std::sort(values.begin(), values.end());
  size_t index = static_cast<size_t>(fraction * static_cast<double>(values.size() - 1) + 0.5);
  return values[std::min(index, values.size() - 1)];
}

void timeCalls(const char* name, int calls, const std::function<void()>& call) {
  std::vector<double> micros;
  micros.reserve(static_cast<size_t>(calls));
  for (int i = 0; i < calls; ++i) {
    auto started = std::chrono::steady_clock::now();
    call();
    micros.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - started).count());
  }
  std::printf("%-18s median %8.1f us   p90 %8.1f us   p99 %8.1f us   (%d calls)\n", name,
              percentile(micros, 0.5), percentile(micros, 0.9), percentile(micros, 0.99), calls);
}

}  // namespace

int main(int argc, char** argv) {
  std::string root;
  int calls = 2000;
  CLI::App app{"Times uncontended settings accessor calls."};
  app.add_option("root", root, "device root made by phonesim init")->required()->check(CLI::ExistingDirectory);
  app.add_option("--calls", calls, "calls of each kind")->check(CLI::PositiveNumber);
  CLI11_PARSE(app, argc, argv);
  setenv("MUTARO_DEVICE_ROOT", root.c_str(), 1);

  updatePlistString(kUpdated, "2026-12-07 09:00:00");
  timeCalls("readPlistBool", calls, [] {
    bool value = false;
    readPlistBool(kEnabledSwitch, &value);
  });
  timeCalls("readPlistNumber", calls, [] {
    int32_t value = 0;
    readPlistNumber(kCalendarID, &value);
  });
  timeCalls("readPlistString", calls, [] { std::free(readPlistString(kUpdated)); });
  timeCalls("updatePlistString", calls, [] { updatePlistString(kUpdated, "2026-12-07 09:00:01"); });
  timeCalls("updatePlistBool", calls, [] { updatePlistBool(kDisableEventSwitch, false); });
  return 0;
}
