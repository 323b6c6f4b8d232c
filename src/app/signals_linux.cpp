// Signals as bytes on a pipe: a handler may do little else safely.
#include "app/signals_linux.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <initializer_list>

namespace {

int signalPipe[2] = {-1, -1};

void OnSignal(int /*signal*/) {
    const int savedErrno = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = write(signalPipe[1], &byte, 1);
    errno = savedErrno;
}

}  // namespace

int InstallSignalHandlers() {
    struct sigaction action {};
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    // A write to a closed pipe or socket fails instead of ending the process:
    // the X server's socket as the display goes away (the settings must still
    // be saved), or standard error read by a program that has ended. Caught,
    // not ignored, so that the programs this one starts get the default back.
    action.sa_handler = [](int /*signal*/) {};
    sigaction(SIGPIPE, &action, nullptr);
    if (pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        return -1;
    }
    action.sa_handler = OnSignal;
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        sigaction(signal, &action, nullptr);
    }
    return signalPipe[0];
}

void TakeSignals(int fd) {
    char bytes[16];
    while (read(fd, bytes, sizeof bytes) > 0) {
    }
}
