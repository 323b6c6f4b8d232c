// The command line of the Linux program. Qt takes its own options only as it
// connects to the display, and --help, --version or a mistyped option must be
// answered without one: the parser reads them first and lets Qt's pass.
#include "app/options_linux.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QStringList>
#include <cstdio>

#include "base/messages_linux.h"
#include "settings/settings_store.h"
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

// Qt's own options, which QApplication takes out of the arguments (the session
// manager, for one, restarts a program with -session), with their values.
QList<QCommandLineOption> QtOptions() {
    QList<QCommandLineOption> options;
    for (const char* name :
         {"platform", "platformpluginpath", "platformtheme", "plugin", "session", "display", "name",
          "visual", "style", "stylesheet", "geometry", "qwindowgeometry", "title", "qwindowtitle",
          "icon", "qwindowicon", "qmljsdebugger"}) {
        options.append(
            QCommandLineOption(QString::fromLatin1(name), QString(), QStringLiteral("value")));
    }
    for (const char* name :
         {"reverse", "testability", "nograb", "dograb", "widgetcount", "qdevel", "qdebug"}) {
        options.append(QCommandLineOption(QString::fromLatin1(name)));
    }
    return options;
}

// The first argument that names option, as the user wrote it.
QString AsWritten(const QStringList& arguments, const QString& option) {
    for (const QString& argument : arguments.mid(1)) {
        const QString name = argument.mid(argument.startsWith(QStringLiteral("--")) ? 2 : 1);
        if (argument.startsWith(QLatin1Char('-')) &&
            name.section(QLatin1Char('='), 0, 0) == option) {
            return argument;
        }
    }
    return option;
}

int Refuse(const QString& problem) {
    TellUser(problem.toStdString());
    PrintUsage(stderr);
    return 2;
}

}  // namespace

std::optional<int> ReadOptions(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    QCommandLineParser parser;
    // Qt's options are words after one dash.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringLiteral("version"));
    parser.addOptions({help, version});
    parser.addOptions(QtOptions());
    if (!parser.parse(arguments)) {
        const QStringList unknown = parser.unknownOptionNames();
        return Refuse(unknown.isEmpty() ? parser.errorText()
                                        : QStringLiteral("unknown option ") +
                                              AsWritten(arguments, unknown.first()));
    }
    if (!parser.positionalArguments().isEmpty()) {
        return Refuse(QStringLiteral("unexpected argument ") +
                      parser.positionalArguments().first());
    }
    // Of --help and --version, the first given answers.
    for (const QString& name : parser.optionNames()) {
        if (help.names().contains(name)) {
            PrintUsage(stdout);
            return 0;
        }
        if (version.names().contains(name)) {
            std::puts("velumin " VELUMIN_VERSION);
            return 0;
        }
    }
    return std::nullopt;
}
