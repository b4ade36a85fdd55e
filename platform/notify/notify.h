#pragma once
// notify(3): named notifications with a 64-bit state kept per name.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

constexpr uint32_t NOTIFY_STATUS_OK = 0;
constexpr uint32_t NOTIFY_STATUS_FAILED = 1000000;

// The simulated state's journal of every post, which a launcher watches for its launch events.
constexpr const char* kNotifyPostJournal = "notifications";

uint32_t notify_register_check(const char* name, int* out_token);
uint32_t notify_set_state(int token, uint64_t state);
uint32_t notify_post(const char* name);
uint32_t notify_cancel(int token);

// The last state set for `name` on the simulated phone, if any.
// Registrations this process holds now (each one a token not yet cancelled).
int simulatedNotifyRegistrations();
std::optional<uint64_t> simulatedNotifyState(const std::string& name);
// Every post so far, in order: (name, the name's state at the time of the post).
std::vector<std::pair<std::string, std::optional<uint64_t>>> simulatedNotifyPosts();
