#include "switcher/RingerState.h"

#include "platform/notify/notify.h"

void sendRingerState(uint64_t state) {
  int token = 0;
  notify_register_check("com.apple.springboard.ringerstate", &token);
  notify_set_state(token, state);
  notify_post("com.apple.springboard.ringerstate");
  notify_cancel(token);
}
