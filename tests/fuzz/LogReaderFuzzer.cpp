// The system log reader behind `phonesim log` and `timeline` on any bytes: the span search
// over a log in no order, with lines of any length, ends; what it reads is whole lines of the
// file; the history read from it never crashes.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "phonesim/history/PhoneHistory.h"
#include "phonesim/history/SystemLogFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string log(reinterpret_cast<const char*>(data), size);
  int fd = memfd_create("syslog", MFD_CLOEXEC);
  if (fd < 0 || write(fd, data, size) != static_cast<ssize_t>(size)) std::abort();
  // Small limits, so that the search and the cut run on small inputs.
  LogSpan span = readLogSpan(fd, "2026-12-07 09:00:00", "2026-12-07 18:00:00", {.readWholeBelow = 256, .most = 1024});
  close(fd);
  if (log.find(span.text) == std::string::npos) std::abort();
  if (!span.cut.empty() && span.text.size() > 1024) std::abort();
  readHistory(span.text, 1796634000);
  readHistory(log, 1796634000);
  return 0;
}
