// The Linux program: one instance, the tray icon with its menu, the lamps and
// the worker; every way out stops in the same order as Exit.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QSystemTrayIcon>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "app/display_loss_x11.h"
#include "app/single_instance_linux.h"
#include "lamps/keyboard_led.h"
#include "lamps/serial_port.h"
#include "lamps/tray_lamp_qt.h"
#include "monitor/lamp_thread.h"
#include "settings/settings_store.h"
#include "ui/commands.h"
#include "ui/modal_qt.h"
#include "ui/tray_menu_qt.h"

namespace {

CInstanceLock instanceLock;
int signalPipe[2] = {-1, -1};

// Set once the orderly stop has begun, whichever way out started it.
bool stopStarted = false;
// False when the worker did not stop in time and was left behind.
bool workerStopped = true;
// True while the event loop may still run the stop; the exit handler covers the rest.
bool running = false;

class ProgramShutdown final : public ExitCommandHost {
  public:
    bool AskExit(const std::string& question) override {
        const bool yes = AskYesNo(question);
        // A signal may have stopped the program while the question was open.
        if (!yes || stopStarted) {
            return false;
        }
        stopStarted = true;
        return true;
    }
    void StopWorker() override { workerStopped = StopLampThread(); }
    void ReleaseInstanceLock() override { instanceLock.Release(); }
    void RemoveTrayIcon() override { ::RemoveTrayIcon(); }
    void EndHost() override { QCoreApplication::quit(); }
};

ProgramShutdown shutdownHost;

// Signals, the session's end and a lost display all come here; runs once.
void StopWithoutQuestion() {
    if (stopStarted) {
        return;
    }
    stopStarted = true;
    RunOrderlyStop(shutdownHost);
}

void OnSignal(int /*signal*/) {
    const int savedErrno = errno;
    const char byte = 1;
    // Nothing else is safe here; the event loop reads the pipe.
    [[maybe_unused]] const ssize_t written = write(signalPipe[1], &byte, 1);
    errno = savedErrno;
}

void InstallSignalHandlers() {
    if (pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        return;
    }
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        sigaction(signal, &action, nullptr);
    }
}

// The lamp objects are destroyed at exit, and a worker left behind may still
// use them: give the lock keys back by hand and end without destroying anything.
[[noreturn]] void EndLeavingWorkerBehind() {
    serialPort.Close();
    numLockLed.Restore();
    scrollLockLed.Restore();
    capsLockLed.Restore();
    std::fflush(nullptr);
    _exit(0);
}

// The display has gone (the X server ended with the session). The lock keys
// went with it, and the lamp objects' destructors would only meet the dead
// connection again: keep the settings and end at once. Any thread may get here.
[[noreturn]] void EndWithoutDisplay() {
    static std::atomic<bool> saving{false};
    if (!saving.exchange(true)) {
        SaveSettings();
    }
    std::fflush(nullptr);
    _exit(1);
}

// An exit() from inside the event loop ends the same way: it would destroy the
// lamp objects under the running worker.
void OnExitWhileRunning() {
    if (running) {
        EndWithoutDisplay();
    }
}

}  // namespace

int main(int argc, char* argv[]) {
    InstallSignalHandlers();

    InstanceLockResult lock = instanceLock.Acquire(InstanceLockPath());
    if (lock == InstanceLockResult::Unavailable) {
        lock = instanceLock.Acquire(FallbackInstanceLockPath());
    }
    if (lock == InstanceLockResult::HeldElsewhere) {
        // Another instance runs: end at once, touching nothing of its.
        return 0;
    }

    QApplication app(argc, argv);
    // Xlib would exit() from inside the X call that found the display gone,
    // running the destructors while other threads still use them.
    SetDisplayLossHandler(EndWithoutDisplay);
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setApplicationName(QStringLiteral("Velumin"));

    QSocketNotifier signalNotifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, [] {
        char bytes[16];
        while (read(signalPipe[0], bytes, sizeof bytes) > 0) {
        }
        StopWithoutQuestion();
    });
    // The session manager asks to save before the session ends; the quit that
    // follows runs the orderly stop.
    QObject::connect(&app, &QGuiApplication::commitDataRequest,
                     [](QSessionManager& /*manager*/) { SaveSettings(); });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, [] { StopWithoutQuestion(); });

    LoadSettings();
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        std::fputs("velumin: the desktop has no system tray; the icon appears when one starts.\n",
                   stderr);
    }
    QSystemTrayIcon& icon = AddTrayIcon();
    InstallTrayMenu(icon, shutdownHost);
    ApplySerialLamp();
    StartLampThread();
    running = true;
    std::atexit(OnExitWhileRunning);

    QApplication::exec();
    running = false;

    // The loop can also end by a quit that did not come through the stop.
    StopWithoutQuestion();
    SaveSettings();
    if (!workerStopped) {
        EndLeavingWorkerBehind();
    }
    // The port is closed and the lock keys are given back by the lamp objects'
    // destructors after main.
    return 0;
}
