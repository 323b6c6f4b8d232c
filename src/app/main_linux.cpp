// The Linux program: one instance, the tray icon with its menu, the lamps and
// the worker; every way out stops in the same order as Exit.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QSystemTrayIcon>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "app/display_loss_x11.h"
#include "app/program.h"
#include "app/session_linux.h"
#include "app/single_instance_linux.h"
#include "lamps/tray_lamp_qt.h"
#include "settings/settings_store.h"
#include "ui/about_dialog_qt.h"
#include "ui/messages_linux.h"
#include "ui/modal_qt.h"
#include "ui/settings_dialog_qt.h"
#include "ui/tray_menu_qt.h"
#include "version.h"

namespace {

void PrintUsage(std::FILE* stream) {
    std::fprintf(stream,
                 "Usage: velumin [--help | --version]\n"
                 "\n"
                 "Velumin sits in the system tray and flashes lamps while the network moves\n"
                 "data: its tray icon, the keyboard's lock-key lamps and a lamp on a serial\n"
                 "port's DTR and RTS lines. Right-click the icon for Settings, About and Exit.\n"
                 "\n"
                 "Settings file: %s\n"
                 "\n"
                 "Options:\n"
                 "  -h, --help     show this help and exit\n"
                 "      --version  show the version and exit\n"
                 "Qt's own options (such as -platform xcb or -display :1) go to Qt.\n",
                 GetIniPath().c_str());
}

// Qt's own options, which QApplication takes out of the arguments; the session
// manager, for one, restarts a program with -session.
// clang-format off
constexpr std::string_view kQtOptionsWithValue[] = {
    "-platform", "-platformpluginpath", "-platformtheme", "-plugin", "-session", "-display",
    "-name", "-visual", "-style", "-stylesheet", "-geometry", "-qwindowgeometry", "-title",
    "-qwindowtitle", "-icon", "-qwindowicon", "-qmljsdebugger"};
constexpr std::string_view kQtFlags[] = {
    "-reverse", "-testability", "-nograb", "-dograb", "-widgetcount", "-qdevel", "-qdebug"};
// clang-format on

template <std::size_t N>
bool Names(const std::string_view (&options)[N], std::string_view name) {
    return std::find(std::begin(options), std::end(options), name) != std::end(options);
}

// The options are read before any process-wide object is made: the lamps open
// the X display then, and --help or --version must touch neither it nor the
// instance lock. glibc passes main's arguments to the functions of .init_array,
// and priority 101 runs this one before the objects' constructors.
__attribute__((constructor(101))) void ReadOptions(int argc, char** argv, char** /*envp*/) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--help" || argument == "-h") {
            PrintUsage(stdout);
            std::exit(0);
        }
        if (argument == "--version") {
            std::puts("velumin " VELUMIN_VERSION);
            std::exit(0);
        }
        // Qt reads its options with one dash or two, and some as -name=value.
        std::string_view name = argument.substr(argument.starts_with("--") ? 1 : 0);
        const bool joinedValue = name.find('=') != std::string_view::npos;
        name = name.substr(0, name.find('='));
        if (Names(kQtOptionsWithValue, name)) {
            i += joinedValue ? 0 : 1;
        } else if (!Names(kQtFlags, name)) {
            TellUser((argument.starts_with('-') ? "unknown option " : "unexpected argument ") +
                     std::string(argument));
            PrintUsage(stderr);
            std::exit(2);
        }
    }
}

int signalPipe[2] = {-1, -1};

// What differs on Linux: the Qt dialogs, the lock file, the Qt tray icon, the
// event loop's quit.
class QtShell final : public Shell {
  public:
    explicit QtShell(CInstanceLock& instanceLock) : m_instanceLock(instanceLock) {}

    bool ShowSettings(SettingsForm& form) override { return RunSettingsDialog(form); }
    void ShowAbout(const std::string& aboutText, const std::string& pageUrl) override {
        RunAboutDialog(aboutText, pageUrl);
    }
    bool Ask(const std::string& question) override { return AskYesNo(question); }
    bool StopWorker() override { return m_program.StopWorker(); }
    void ReleaseInstanceLock() override { m_instanceLock.Release(); }
    void RemoveTrayIcon() override { m_tray.Remove(); }
    void EndHost() override { QCoreApplication::quit(); }

    Program& program() { return m_program; }
    QtTrayLamp& tray() { return m_tray; }

  private:
    CInstanceLock& m_instanceLock;
    QtTrayLamp m_tray;
    Program m_program{*this};
};

// The running program, for the ways out that arrive outside the event loop.
std::atomic<Program*> runningProgram{nullptr};

void OnSignal(int /*signal*/) {
    const int savedErrno = errno;
    const char byte = 1;
    // Nothing else is safe here; the event loop reads the pipe.
    [[maybe_unused]] const ssize_t written = write(signalPipe[1], &byte, 1);
    errno = savedErrno;
}

void InstallSignalHandlers() {
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
        return;
    }
    action.sa_handler = OnSignal;
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
    static std::atomic<bool> ending{false};
    if (ending.exchange(true)) {
        // Another thread met the loss first and ends the process once it has
        // saved: ending here as well would cut its save short.
        for (;;) {
            pause();
        }
    }
    if (Program* program = runningProgram.load()) {
        program->Save();
    }
    std::fflush(nullptr);
    _exit(1);
}

// An exit() from inside the event loop (Qt's, when its display connection
// breaks) ends the same way: it would destroy the lamp objects under the
// running worker.
void OnExitWhileRunning() {
    if (runningProgram.load() != nullptr) {
        EndWithoutDisplay();
    }
}

}  // namespace

int main(int argc, char* argv[]) {
    InstallSignalHandlers();

    CInstanceLock instanceLock;
    InstanceLockResult lock = instanceLock.Acquire(InstanceLockPath());
    if (lock == InstanceLockResult::Unavailable) {
        lock = instanceLock.Acquire(FallbackInstanceLockPath());
    }
    if (lock == InstanceLockResult::HeldElsewhere) {
        // Another instance runs: end at once, touching nothing of its. Not even
        // the lock keys this process found: the other instance drives them, and
        // giving back what this one saw would undo a flash of its.
        TellUser("already running; its icon is in the system tray.");
        std::fflush(nullptr);
        _exit(0);
    }

    if (!ChooseQtPlatform()) {
        return 1;
    }
    QApplication app(argc, argv);
    SayWhenKeyboardLampsStayDark();
    // Xlib would exit() from inside the X call that found the display gone,
    // running the destructors while other threads still use them.
    SetDisplayLossHandler(EndWithoutDisplay);
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setApplicationName(QStringLiteral("Velumin"));
    SetUpDialogs(app);

    QtShell shell(instanceLock);
    Program& program = shell.program();
    TrayCommands& commands = program.Commands();
    TrayMenu trayMenu(commands);
    shell.tray().SetMenu(&trayMenu.Menu());

    QSocketNotifier signalNotifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, [&commands] {
        char bytes[16];
        while (read(signalPipe[0], bytes, sizeof bytes) > 0) {
        }
        commands.OrderlyStop();
    });
    // The session manager asks to save before the session ends; the quit that
    // follows runs the orderly stop.
    QObject::connect(&app, &QGuiApplication::commitDataRequest,
                     [&program](QSessionManager& /*manager*/) { program.Save(); });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, [&commands] { commands.OrderlyStop(); });

    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        SayNoTray();
    }
    // Before the start: the display may go away as soon as the icon has docked.
    runningProgram = &program;
    std::atexit(OnExitWhileRunning);
    program.Start(shell.tray());
    trayMenu.Refresh();
    trayMenu.Attach(*shell.tray().Icon());

    QApplication::exec();

    // The loop can also end by a quit that did not come through the stop.
    commands.OrderlyStop();
    program.SaveAtEnd();
    runningProgram = nullptr;
    if (!commands.WorkerStopped()) {
        EndLeavingWorkerBehind();
    }
    // The port is closed and the lock keys are given back by the lamp objects'
    // destructors after main.
    return 0;
}
