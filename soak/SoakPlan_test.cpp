// The plan a seed draws, and the checks that judge what the phone lived.
#include <gtest/gtest.h>

#include <set>

#include "soak/SoakChecks.h"
#include "soak/SoakPlan.h"
#include "tests/support/Phone.h"

namespace {

const std::vector<ActionKind> kAll = {
    ActionKind::DisableEvent, ActionKind::DisableDuringSwitcher, ActionKind::EnabledOff,
    ActionKind::WatchCalendar, ActionKind::SwitchMode, ActionKind::KillDaemon,
    ActionKind::KillSwitcher, ActionKind::KillApplication, ActionKind::LockCalendar,
    ActionKind::FullDisk, ActionKind::ClockShift};

std::string fingerprint(const Plan& plan) {
  std::string text;
  for (const PlannedEvent& e : plan.events) text += e.title + std::to_string(e.start) + "-" + std::to_string(e.end) + ";";
  for (const Action& a : plan.actions) text += std::to_string(static_cast<int>(a.kind)) + "@" + std::to_string(a.at) + ";";
  return text;
}

TEST(SoakPlan, ASeedDrawsOneTimetableOfEveryShapeAndPlaysEveryKindWithinTheDaysLived) {
  Plan plan = makePlan(3, 7, kAll);
  EXPECT_EQ(fingerprint(plan), fingerprint(makePlan(3, 7, kAll)));
  EXPECT_NE(fingerprint(plan), fingerprint(makePlan(3, 8, kAll)));

  bool recurringFromBefore = false, allDay = false, otherCalendar = false, backToBack = false, overlapping = false;
  for (const PlannedEvent& e : plan.events) {
    recurringFromBefore |= !e.occurrences.empty() && e.occurrences.front() < plan.days[0].boot;
    allDay |= e.allDay;
    otherCalendar |= e.calendar == 2 && e.occurrences.empty();
    for (const PlannedEvent& f : plan.events) {
      backToBack |= &e != &f && e.end == f.start;
      overlapping |= &e != &f && e.start < f.start && f.start < e.end;
    }
  }
  EXPECT_TRUE(recurringFromBefore && allDay && otherCalendar && backToBack && overlapping);

  std::set<ActionKind> kinds;
  for (const Action& a : plan.actions) {
    kinds.insert(a.kind);
    // A shift of the clock reaches past its day: it skips or lives again an hour.
    bool shift = a.kind == ActionKind::ClockShift;
    EXPECT_TRUE(std::any_of(plan.days.begin(), plan.days.end(), [&](const Day& d) {
      return d.boot < a.playedAt() && a.playedAt() < d.end && (shift || a.until < d.end);
    }))
        << actionName(a.kind) << " at " << clockText(a.at);
  }
  EXPECT_EQ(kinds.size(), kAll.size());
}

TEST(SoakPlan, SpansFollowTheWatchedCalendarAndMergeWhatTouches) {
  Plan plan;
  time_t nine = localTime("2026-12-07 09:00:00");
  plan.events = {{"a", nine, nine + 120, 0, std::nullopt, 1}, {"b", nine + 120, nine + 240, 1, "!silent", 1},
                 {"c", nine + 600, nine + 720, 0, std::nullopt, 2}, {"d", nine + 900, nine + 960, 0, "!RING", 1}};
  plan.actions = {{ActionKind::WatchCalendar, nine + 300, nine + 300, 1}};
  std::vector<Span> spans = qualifyingSpans(plan);
  ASSERT_EQ(spans.size(), 1u);
  EXPECT_EQ(spans[0].end, nine + 240);
  EXPECT_EQ(spans[0].boundaries, (std::vector<time_t>{nine, nine + 120, nine + 120, nine + 240}));
  plan.actions[0].value = 0;
  EXPECT_EQ(qualifyingSpans(plan).size(), 2u);
}

constexpr time_t kStart = 10000, kEnd = kStart + 300;

struct Lived {
  const char* name;
  int silencedAt, givenBackAt;  // seconds after the span's start, end
  int markerLingers;            // seconds the marker outlives the silence (negative: the silence the marker)
  bool assertionAllMorning;
  std::vector<Played> played;
  const char* failure;          // "" when nothing breaks
};

void PrintTo(const Lived& lived, std::ostream* out) { *out << lived.name; }

class SoakChecks : public testing::TestWithParam<Lived> {};

TEST_P(SoakChecks, JudgeWhatThePhoneLived) {
  const Lived& lived = GetParam();
  const time_t start = kStart, end = kEnd;
  std::vector<Span> spans = {{start, end, "meeting", {start, end}}};
  std::vector<Observation> seen;
  for (time_t t = start - 600; t < end + 600; t += 2) {
    bool silenced = t >= start + lived.silencedAt && t < end + lived.givenBackAt + std::max(0, -lived.markerLingers);
    bool marker = t >= start + lived.silencedAt && t < end + lived.givenBackAt + std::max(0, lived.markerLingers);
    seen.push_back({t, marker, silenced, lived.assertionAllMorning});
  }
  Verdict verdict = checkLived(spans, seen, lived.played);
  std::string failures;
  for (const Failure& f : verdict.failures) failures += f.what + ";";
  if (*lived.failure == '\0') {
    EXPECT_EQ(failures, "");
  } else {
    EXPECT_NE(failures.find(lived.failure), std::string::npos) << failures;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Soak, SoakChecks,
    testing::Values(
        Lived{"OnTime", 6, 6, 0, false, {}, ""},
        Lived{"SilencedLate", 24, 6, 0, false, {}, "no marker 15 s after the start"},
        Lived{"MarkerLeftLate", 6, 6, 30, false, {}, "the sounds not given back"},
        Lived{"SoundsGivenBackLate", 6, 6, -30, false, {}, "the sounds not given back"},
        Lived{"LateAfterAKill", 24, 6, 0, false, {{{ActionKind::KillDaemon, kStart - 2, kStart - 2}, "killed 1", true}}, ""},
        Lived{"MarkerOutlivesTheSilence", 6, 6, 40, false, {}, "the marker exists while the phone is not silenced"},
        Lived{"ReleaseNotHonoured", 6, 6, 0, false,
              {{{ActionKind::DisableEvent, kStart + 60, kStart + 60}, "event disabled", true, kStart + 80, kStart + 200}},
              "still silenced after Disable Event"},
        Lived{"AssertionHeldAllMorning", 6, 6, 0, true, {}, "the sleep assertion held over two minutes"}),
    [](const auto& info) { return std::string(info.param.name); });

// The clock set back an hour lives the released moments again, silenced for the event anew.
TEST(SoakChecks, AReleaseEndsWhereTheClockGoesBack) {
  std::vector<Observation> seen;
  for (time_t t = kStart; t < kStart + 300; t += 2) seen.push_back({t, false, false, false});
  for (time_t t = kStart + 100; t < kStart + 300; t += 2) seen.push_back({t, true, true, false});
  std::vector<Played> played = {
      {{ActionKind::DisableEvent, kStart, kStart}, "event disabled", true, kStart + 20, kStart + 250}};
  EXPECT_TRUE(checkLived({}, seen, played).failures.empty());
}

// Inside a long silence an overlapping event starts; the daemon polls the minute before it.
TEST(SoakChecks, TheAssertionMayBeHeldBeforeAnInnerStart) {
  const time_t inner = kStart + 3600;
  std::vector<Span> spans = {{kStart, kStart + 7200, "long + inner", {kStart, inner, inner + 600, kStart + 7200}}};
  std::vector<Observation> seen;
  for (time_t t = kStart + 60; t < kStart + 7100; t += 2) seen.push_back({t, true, true, t >= inner - 65 && t <= inner + 60});
  EXPECT_TRUE(checkLived(spans, seen, {}).failures.empty());
  spans[0].boundaries = {kStart, kStart + 7200};
  EXPECT_FALSE(checkLived(spans, seen, {}).failures.empty());
}

}  // namespace
