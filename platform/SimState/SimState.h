#pragma once
// The simulated phone's own state, kept in files under "/private/var/sim/" of the device root
// so that separate processes see one phone and `phonesim status` can report it.
// A journal is a text file of records, one per line, fields separated by tabs; a record is
// appended with one write, so records of concurrent processes never interleave.
//
// simStatePath() gives the phone path; the other functions take a bare name and resolve it
// under the device root themselves (callers never call devicePath() for them). The directory
// is created on first write.
#include <string>
#include <vector>

// Phone path of a file of the simulated phone's state, e.g. simStatePath("volume").
std::string simStatePath(const std::string& name);

// Appends one record. Tabs and line breaks inside fields become blanks.
void simAppend(const std::string& journal, const std::vector<std::string>& fields);

// Every record of a journal, in order; empty when it does not exist.
std::vector<std::vector<std::string>> simRead(const std::string& journal);

// A small value file (read whole, replaced atomically).
bool simReadValue(const std::string& name, std::string* value);
void simWriteValue(const std::string& name, const std::string& value);
