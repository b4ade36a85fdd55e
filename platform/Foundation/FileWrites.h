#pragma once
// The one door for every change a program makes to the phone's files: create, replace,
// append, copy, change mode, delete. /var/mobile is writable by the user while the daemon and
// the switcher run as root, so whatever stands at a path may be a link planted there. Every
// function here refuses to follow a link at the path's last component: it fails, or it
// replaces the link itself. Temporary files are made exclusively, with unpredictable names, in
// the target's own directory, and renamed into place.
//
// Paths are real paths (already under the device root). A false or -1 result leaves errno
// set; ELOOP means a link stood at the path, EINVAL something that is not a regular file.
#include <sys/types.h>

#include <functional>
#include <string>

// A descriptor for appending to a regular file, created with `mode` when missing; -1 for a
// link, a FIFO or anything else. Never blocks. Only open(2), fstat(2) and close(2): safe in a
// signal handler.
int openForAppending(const char* path, mode_t mode);
// The same, without creating a missing file.
int openExistingForAppending(const char* path);

// A descriptor, read and write, on a regular file kept for flock(2), created when missing. A
// link or anything else that is no regular file at the path is removed and replaced by one.
int openForLocking(const std::string& path, mode_t mode);

// Creates a new empty file; fails when anything, a link included, stands at the path.
bool createExclusively(const std::string& path, mode_t mode);

// Creates the file when missing and sets its times to now, as touch(1) does.
bool touchFile(const std::string& path, mode_t mode);

// Replaces the file at `path` whole: `write` fills an exclusive temporary file beside it, which
// gets `mode` and is renamed over the path. A link at the path is replaced, never followed.
// On failure the path is left as it was and the temporary file is gone.
bool replaceFile(const std::string& path, mode_t mode, const std::function<bool(int fd)>& write);
bool replaceFile(const std::string& path, mode_t mode, const std::string& contents);

// Replaces `destination` (as replaceFile does) with a byte copy of the regular file `source`,
// keeping the mode of a regular file at `destination`, else taking the source's. 0, or the
// errno of the step that failed with `sourceFailed` saying which side it was on. A source that
// cannot be read or is no regular file (a FIFO is refused, never waited on) leaves
// `destination` as it was.
int copyRegularFile(const std::string& source, const std::string& destination, bool* sourceFailed);

// The mode of the regular file at `path` (a link is not looked through), or else `fallback`
// less the process's umask, as a new file would get.
mode_t existingModeOr(const std::string& path, mode_t fallback);

// chmod(2) on a regular file or a directory; fails on a link.
bool changeMode(const std::string& path, mode_t mode);

// Removes the name; a link is removed itself (unlink(2) never follows one).
bool removeFile(const std::string& path);

// mkdir -p. True when the last component is then a real directory, not a link to one.
bool makeDirectories(const std::string& path, mode_t mode = 0777);

// Every byte of `data` to `fd`, across short writes and interruptions.
bool writeFully(int fd, const char* data, size_t length);
