// The Linux program's command line: --help, --version, and Qt's own options.
#pragma once

#include <optional>

// Reads the options before anything else is made. Qt's own options (-platform
// xcb, -display :1, ...) are left to Qt. --help and --version are answered on
// standard output, an option or argument the program does not know in one line
// on standard error with the usage; each gives the exit status. nullopt: the
// program starts.
std::optional<int> ReadOptions(int argc, char* argv[]);
