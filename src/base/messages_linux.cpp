// The Linux program's one-line messages on standard error.
#include "base/messages_linux.h"

#include <unistd.h>

#include <string>

void TellUser(std::string_view message) {
    std::string line = "velumin: ";
    line.append(message);
    line += '\n';
    // One write of a short line: lines from two threads never mix, and a
    // stream that takes only part of it loses nothing the program needs.
    [[maybe_unused]] const ssize_t wrote = ::write(STDERR_FILENO, line.data(), line.size());
}
