#include "NSThread.h"

#include <thread>

void detachNewThread(std::function<void()> body) {
  std::thread(std::move(body)).detach();
}
