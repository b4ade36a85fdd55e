#include "soak/SoakChecks.h"

#include <algorithm>

namespace {

constexpr time_t kWithin = 15;           // a boundary's silence or release is due this late
constexpr time_t kMismatchLasting = 20;  // a marker and a silence that disagree longer than a procedure
constexpr time_t kAssertionLimit = 120;
// A procedure changes the sounds in steps after it creates or removes the marker: 5 s of its
// own pauses, and the programs it starts.
constexpr time_t kProcedureLength = 15;

bool disturbed(const std::vector<Span>& spans, const std::vector<Played>& played, time_t from, time_t to) {
  return std::any_of(played.begin(), played.end(), [&](const Played& p) {
    return p.tookEffect && p.action.at - kWithin <= to && from <= disturbedUntil(spans, p.action);
  });
}

// A daemon may hold the assertion while a boundary is under a minute ahead, and for its passes
// and the switcher just after one. It wakes at the starts and ends of the occurrences inside a
// merged span too, and polls before them as before any other.
bool nearBoundary(const std::vector<Span>& spans, time_t at) {
  return std::any_of(spans.begin(), spans.end(), [&](const Span& s) {
    return std::any_of(s.boundaries.begin(), s.boundaries.end(), [&](time_t b) { return b - 70 <= at && at <= b + 30; });
  });
}

void checkSpans(const std::vector<Span>& spans, const std::vector<Observation>& seen, const std::vector<Played>& played,
                Verdict* verdict) {
  for (size_t i = 0; i < spans.size(); ++i) {
    const Span& span = spans[i];
    time_t releaseUntil = std::min(span.end + 60, i + 1 < spans.size() ? spans[i + 1].start - 1 : span.end + 60);
    bool lived = std::any_of(seen.begin(), seen.end(), [&](const Observation& o) { return o.at >= span.start && o.at <= span.end; });
    if (!lived) continue;
    if (disturbed(spans, played, span.start - kWithin, releaseUntil)) {
      ++verdict->disturbedSpans;
      continue;
    }
    ++verdict->checkedSpans;
    bool silencedSeen = false, releasedSeen = false;
    for (const Observation& o : seen) {
      bool applied = o.marker && o.silenced;
      if (o.at >= span.start && o.at < span.end && applied && !silencedSeen) {
        silencedSeen = true;
        verdict->silenceDelays.push_back(static_cast<int>(o.at - span.start));
      }
      if (o.at >= span.end && o.at <= releaseUntil && !o.marker && !o.silenced && !releasedSeen) {
        releasedSeen = true;
        verdict->releaseDelays.push_back(static_cast<int>(o.at - span.end));
      }
      // The procedure begins within 15 s of the boundary and is done within its own length.
      std::string broken;
      if (o.at >= span.start + kWithin && o.at < span.end && !o.marker) {
        broken = "no marker 15 s after the start of a qualifying event";
      } else if (o.at >= span.start + kWithin + kProcedureLength && o.at < span.end && !o.silenced) {
        broken = "the sounds not silenced 15 s after the start of a qualifying event and the silence's length";
      } else if (o.at >= span.end + kWithin + kProcedureLength && o.at <= releaseUntil && (o.marker || o.silenced)) {
        // The revert takes the marker away last, once the sounds are back.
        broken = "the sounds not given back 15 s after the end of a qualifying event and the revert's length";
      }
      if (!broken.empty()) {
        verdict->failures.push_back({o.at, broken});
        break;
      }
    }
  }
}

void checkMarker(const std::vector<Span>& spans, const std::vector<Observation>& seen, const std::vector<Played>& played,
                 Verdict* verdict) {
  const Observation* first = nullptr;  // where the present disagreement began
  bool reported = false;
  for (const Observation& o : seen) {
    bool mismatch = o.marker != o.silenced && !disturbed(spans, played, o.at, o.at);
    if (!mismatch || (first != nullptr && first->marker != o.marker)) first = nullptr, reported = false;
    if (!mismatch) continue;
    if (first == nullptr) first = &o;
    if (!reported && o.at - first->at >= kMismatchLasting) {
      verdict->failures.push_back({first->at, o.marker ? "the marker exists while the phone is not silenced"
                                                       : "the phone is silenced without the marker"});
      reported = true;
    }
  }
}

void checkReleases(const std::vector<Observation>& seen, const std::vector<Played>& played, Verdict* verdict) {
  for (const Played& p : played) {
    if (p.releasedUntil == 0) continue;
    // A clock set back after the release lives its moments again, and the release is not in
    // that second life: the window ends where the phone's time first runs backwards.
    auto from = std::find_if(seen.begin(), seen.end(), [&](const Observation& o) { return o.at >= p.releasedFrom; });
    auto until = std::adjacent_find(from, seen.end(), [](const Observation& a, const Observation& b) { return b.at < a.at - 60; });
    if (until != seen.end()) ++until;
    // Another action played meanwhile (the switch turned off by another, a kill) may end it too.
    time_t releasedUntil = p.releasedUntil;
    for (const Played& q : played) {
      if (&q != &p && q.tookEffect && q.action.playedAt() > p.action.playedAt()) releasedUntil = std::min(releasedUntil, q.action.playedAt() - 1);
    }
    auto held = std::find_if(from, until, [&](const Observation& o) {
      return o.at >= p.releasedFrom && o.at <= releasedUntil && (o.marker || o.silenced);
    });
    if (held != until) verdict->failures.push_back({held->at, std::string("still silenced after ") + actionName(p.action.kind)});
  }
}

void checkAssertion(const std::vector<Span>& spans, const std::vector<Observation>& seen, Verdict* verdict) {
  time_t since = -1, last = 0;
  for (const Observation& o : seen) {
    // A clock set an hour forward or back is no holding of an hour.
    bool jumped = last != 0 && (o.at < last - 60 || o.at > last + 60);
    last = o.at;
    if (!o.assertion || nearBoundary(spans, o.at) || jumped) {
      since = -1;
    } else if (since < 0) {
      since = o.at;
    } else if (o.at - since > kAssertionLimit) {
      verdict->failures.push_back({since, "the sleep assertion held over two minutes away from a boundary"});
      since = -1e9;  // once per holding
    }
  }
}

}  // namespace

Verdict checkLived(const std::vector<Span>& spans, const std::vector<Observation>& observations,
                   const std::vector<Played>& played) {
  Verdict verdict;
  checkSpans(spans, observations, played, &verdict);
  checkMarker(spans, observations, played, &verdict);
  checkReleases(observations, played, &verdict);
  checkAssertion(spans, observations, &verdict);
  std::sort(verdict.failures.begin(), verdict.failures.end(), [](const Failure& a, const Failure& b) { return a.at < b.at; });
  return verdict;
}

std::string describe(const Failure& failure, const std::vector<Span>& spans, const std::vector<Played>& played) {
  std::string text = clockText(failure.at) + " " + failure.what;
  const Span* span = nullptr;
  for (const Span& s : spans) {
    if (s.start <= failure.at + kWithin) span = &s;
  }
  if (span != nullptr) text += "\n    event: " + span->titles + ", " + clockText(span->start) + " to " + clockText(span->end);
  // The actions of that morning that took effect, the latest three: a fault may act long after.
  std::vector<const Played*> before;
  for (const Played& p : played) {
    if (p.tookEffect && p.action.playedAt() <= failure.at && failure.at - p.action.playedAt() < 6 * 3600) before.push_back(&p);
  }
  if (before.empty()) text += "\n    no fault or action took effect before it that morning";
  for (size_t i = before.size() > 3 ? before.size() - 3 : 0; i < before.size(); ++i) {
    text += "\n    after: " + std::string(actionName(before[i]->action.kind)) + " at " + clockText(before[i]->action.playedAt()) + " (" +
            before[i]->outcome + ")";
  }
  return text;
}
