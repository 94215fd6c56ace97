// The native build's file access (tests, benchmarks and fuzzing of the pure code on
// Linux): the installation directory is set by the program instead of being read from
// the registry, and the message dialog is recorded instead of shown.
#pragma once

#include <string>
#include <vector>

// An empty directory makes every path operation answer -28, as a missing registry value.
void setNativeInstallDir(const std::string& dir);

// Captions and texts of the message dialogs asked for so far, in order.
struct ShownMessage {
    std::string caption;
    std::string text;
};
std::vector<ShownMessage>& nativeShownMessages();
