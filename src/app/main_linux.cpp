// The Linux program's shell: the options and the instance lock, then Qt's
// application, dialogs, tray icon and menu around the program, and the ways
// out that reach its one stop.
#include <QApplication>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QSystemTrayIcon>

#include "app/display_loss_x11.h"
#include "app/options_linux.h"
#include "app/program.h"
#include "app/session_linux.h"
#include "app/signals_linux.h"
#include "app/single_instance_linux.h"
#include "base/messages_linux.h"
#include "lamps/tray_lamp_qt.h"
#include "ui/about_dialog_qt.h"
#include "ui/modal_qt.h"
#include "ui/settings_dialog_qt.h"
#include "ui/tray_menu_qt.h"

namespace {

// What the Qt build adds to the program: its dialogs, the lock file, the tray
// icon with its one menu, and the event loop.
class QtProgram final : public Program {
  public:
    explicit QtProgram(CInstanceLock& instanceLock)
        : Program(SessionLockKeyDriver()), m_instanceLock(instanceLock), m_menu(Commands()) {
        m_tray.SetMenu(&m_menu.Menu());
    }

    bool ShowSettings(SettingsForm& form) override { return RunSettingsDialog(form); }
    void ShowAbout(const std::string& aboutText, const std::string& pageUrl) override {
        RunAboutDialog(aboutText, pageUrl);
    }
    bool Ask(const std::string& question) override { return AskYesNo(question); }

    // Starts the program and runs the event loop until the stop ends it.
    void Run() {
        Start(m_tray);
        m_menu.Refresh();
        m_menu.Attach(*m_tray.Icon(), !WaylandSession());
        QApplication::exec();
    }

  private:
    void ReleaseInstanceLock() override { m_instanceLock.Release(); }
    void EndHost() override { QCoreApplication::quit(); }

    CInstanceLock& m_instanceLock;
    QtTrayLamp m_tray;
    TrayMenu m_menu;
};

// Qt ends its event loop by itself when the session ends (the session
// manager's "die"): the stop goes first. The stop's own quit passes.
class StopBeforeQuit final : public QObject {
  public:
    explicit StopBeforeQuit(Program& program) : m_program(program) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Quit || watched != QCoreApplication::instance() ||
            m_program.Stopping()) {
            return false;
        }
        m_program.Stop();
        return true;
    }

  private:
    Program& m_program;
};

}  // namespace

int main(int argc, char* argv[]) {
    if (const std::optional<int> status = ReadOptions(argc, argv)) {
        return *status;
    }
    const int stopSignals = InstallSignalHandlers();

    CInstanceLock instanceLock;
    InstanceLockResult lock = instanceLock.Acquire(InstanceLockPath());
    if (lock == InstanceLockResult::Unavailable) {
        lock = instanceLock.Acquire(FallbackInstanceLockPath());
    }
    if (lock == InstanceLockResult::HeldElsewhere) {
        // Another instance runs: end at once, touching nothing of its. The
        // lamps are not made yet, so no lock key is read or given back.
        TellUser("already running; its icon is in the system tray.");
        return 0;
    }

    if (!ChooseQtPlatform()) {
        return 1;
    }
    QApplication app(argc, argv);
    // Xlib would exit() from inside the X call that found the display gone,
    // running the destructors while other threads still use them.
    SetDisplayLossHandler();
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setApplicationName(QStringLiteral("Velumin"));
    SetUpDialogs(app);

    QtProgram program(instanceLock);
    QSocketNotifier signalNotifier(stopSignals, QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, [&program, stopSignals] {
        TakeSignals(stopSignals);
        program.Stop();
    });
    StopBeforeQuit stopFirst(program);
    app.installEventFilter(&stopFirst);
    // The session manager asks to save before the session ends; its quit follows.
    QObject::connect(&app, &QGuiApplication::commitDataRequest,
                     [&program](QSessionManager& /*manager*/) { program.Save(); });

    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        SayNoTray();
    }
    // Before the start: the display may go away as soon as the icon has docked.
    SetRunningProgram(&program);
    program.Run();
    SetRunningProgram(nullptr);
    // The port is closed and the lock keys are given back by the process-wide
    // objects' destructors after main.
    return 0;
}
