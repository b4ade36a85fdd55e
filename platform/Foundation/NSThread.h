#pragma once
#include <functional>

// Starts a detached thread running `body`; it is never joined.
void detachNewThread(std::function<void()> body);
