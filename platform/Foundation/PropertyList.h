#pragma once
// Property-list files through libplist: read XML or binary, write XML atomically (a uniquely
// named temporary file in the same directory, flushed, then renamed over the target, keeping
// the target's mode). Paths are phone paths, resolved under the device root.
#include <plist/plist.h>

#include <ctime>
#include <memory>
#include <string>

struct PlistDeleter {
  void operator()(void* node) const { plist_free(static_cast<plist_t>(node)); }
};
using PlistPtr = std::unique_ptr<void, PlistDeleter>;

// Parses `data` in any property-list form. On failure returns null and, when `error` is given,
// fills it with a short description of what went wrong. A list nested deeper than
// kDeepestPropertyList (PlistNesting.h) is a failure too, found before the parser runs.
PlistPtr propertyListFromData(const std::string& data, std::string* error = nullptr);

// Reads and parses a whole file. Null when missing, unreadable, not a regular file or not a
// property list; `error` as above.
PlistPtr readPropertyListFile(const std::string& phonePath, std::string* error = nullptr);

// Writes `root` as XML to `phonePath` atomically. False when any step fails; the target is
// then left as it was.
bool writePropertyListFileAtomically(plist_t root, const std::string& phonePath);

// Reads a whole regular file as bytes; false when it cannot be read, is not a regular file (a
// FIFO, a directory, a device) or is far larger than any property list. Never blocks in open.
bool readWholeFile(const std::string& realPath, std::string* contents);

// True when the file can be opened for reading. The open never blocks: a FIFO without a writer
// counts as present, as anything else that opens.
bool canBeOpenedForReading(const std::string& realPath);

// Date nodes in Unix seconds over the whole 64-bit range: the library's own date accessors carry
// only 32-bit seconds from 2001, which end in 2069. A fraction is dropped towards the past.
plist_t newPlistDate(time_t unixSeconds);
time_t plistDateUnixSeconds(plist_t date);
