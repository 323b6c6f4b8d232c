// The Linux program's one-line messages on standard error.
#include "ui/messages_linux.h"

#include <unistd.h>

#include <cerrno>
#include <string>

void TellUser(std::string_view message) {
    std::string line = "velumin: ";
    line.append(message);
    line += '\n';
    std::size_t done = 0;
    while (done < line.size()) {
        const ssize_t wrote = ::write(STDERR_FILENO, line.data() + done, line.size() - done);
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote <= 0) {
            return;
        }
        done += static_cast<std::size_t>(wrote);
    }
}
