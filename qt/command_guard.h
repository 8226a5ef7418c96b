#pragma once
// The application's top-level error handling: a window command that throws
// ends there, its error is shown in the application's error box (caption: the
// application title) and the program goes on.
#include <exception>
#include <functional>

namespace app {

// Runs one command; any exception escaping it is shown and swallowed.
// Returns false when the command ended with an error.
bool runCommand(const std::function<void()>& command);
// The application's error box for an exception.
void showApplicationError(const std::exception& error);

}  // namespace app
