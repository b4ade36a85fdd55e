#pragma once
// Interface files: named factories that build a file's objects and connect them to the
// file's owner (the application for the main interface file, a view controller for the file
// that makes its view). An application registers its files before it launches.
#include <functional>
#include <string>

#include "platform/UIKit/UIResponder.h"

using InterfaceFileLoader = std::function<void(UIResponder* owner)>;

// A later registration under the same name replaces the earlier one.
void registerInterfaceFile(const std::string& name, InterfaceFileLoader loader);

// Builds the file's objects for `owner`; false when no file has that name.
bool loadInterfaceFile(const std::string& name, UIResponder* owner);
