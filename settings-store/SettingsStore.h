#pragma once
// The settings accessors shared by the settings application, the daemon and the switcher.
// Every accessor but the two lock functions takes the lock file, does exactly one whole-file
// read or read-modify-write of the settings file, and releases the lock.
#include <cstdint>

void lockWithFile();
void unlockWithFile();

// True when the key is present (out set); false when absent (out untouched).
bool readPlistBool(const char* key, bool* value);
bool readPlistNumber(const char* key, int32_t* value);
// A malloc'd 128-byte buffer holding the value as ASCII text, or null; the caller frees it.
char* readPlistString(const char* key);

void updatePlistBool(const char* key, bool value);
void updatePlistNumber(const char* key, int32_t value);
// A null value removes the key.
void updatePlistString(const char* key, const char* valueOrNull);

#ifdef MUTARO_SETTINGS_APP
// The settings application's own variants.
bool readPlist(const char* key, bool* value);
int32_t readPlistInt(const char* key);  // 0 when absent
void updatePlist(const char* key, bool value);
#endif
