#include "app/PageRegistry.h"
#include "link/HelperPortIo.h"
#include "model/ProgramState.h"
#include "platform/Clock.h"
#include "platform/Prompter.h"
#include "shell/AppContext.h"
#include "shell/MainWindow.h"
#include "shell/ProgramStyle.h"
#include "shell/Resources.h"
#include "sim/KeyboardSimulation.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>

#include <cstdio>
#include <initializer_list>

namespace {

void nameApplication()
{
    QCoreApplication::setApplicationName(QStringLiteral("q5ncfg"));
    // No display name: the window system would append it to every window
    // title ("Configuration Setup — q5ncfg"), and the titles are the program's
    // own texts. Boxes without a title of their own show the application name.
    QCoreApplication::setApplicationVersion(QStringLiteral(Q5N_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("q5ncfg"));
}

void describeOptions(QCommandLineParser &parser)
{
    parser.setApplicationDescription(QStringLiteral("Configuration utility of the Q5N bar-code decoder"));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("A configuration setup file to open."),
                                 QStringLiteral("[file]"));
}

} // namespace

int main(int argc, char *argv[])
{
    // The program needs no privilege: port access is the keyboard-port
    // helper's. A capability given to this binary by mistake is dropped before
    // anything else runs: Qt loads plugins from places a user can choose.
    if (!q5n::dropAllCapabilities()) {
        std::fputs("q5ncfg: cannot give up the process's capabilities; not starting.\n", stderr);
        return 1;
    }

    // --help and --version only print: they are answered before the window
    // system is needed, so they work without a display (over ssh). Qt's own
    // options (-platform, -reverse) are not ours to read here, so a single
    // dash starts a whole option name, never a run of letters.
    {
        QCommandLineParser early;
        describeOptions(early);
        early.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
        QStringList given;
        for (int i = 0; i < argc; ++i)
            given.append(QString::fromLocal8Bit(argv[i]));
        // Unknown options (Qt's own among them) are left to the full parse.
        early.parse(given);
        const QStringList names = early.optionNames();
        const auto named = [&](std::initializer_list<const char *> spellings) {
            for (const char *spelling : spellings)
                if (names.contains(QLatin1String(spelling)))
                    return true;
            return false;
        };
        const bool version = named({"v", "version"});
        if (version || named({"h", "?", "help", "help-all"})) {
            QCoreApplication app(argc, argv);
            nameApplication();
            if (version)
                early.showVersion(); // both end the process with 0
            early.showHelp(0);
        }
    }

    QApplication app(argc, argv);
    nameApplication();
    q5n::initResources();
    q5n::installProgramStyle();
    QCommandLineParser parser;
    describeOptions(parser);
    parser.process(app);
    const QStringList arguments = parser.positionalArguments();

    q5n::ProgramState state;
    q5n::QtPrompter prompter;
    q5n::HelperPortIo helperPortIo({q5n::HelperPortIo::installedHelper(), {}, {}});
    // Q5NCFG_KEYBOARD_SIM=1: a simulated decoder answers on the keyboard line.
    const auto keyboardSim = q5n::sim::KeyboardSimulation::fromEnvironment();
    q5n::PortIo &portIo = keyboardSim ? static_cast<q5n::PortIo &>(keyboardSim->portIo) : helperPortIo;
    q5n::Clock clock;
    q5n::AppContext context{state, prompter, portIo, clock, q5n::Paths::system(), {}};

    q5n::MainWindow window(context);
    q5n::registerStandardPages(window);
    // The start-up message (when port I/O is unavailable) shows before the window.
    window.startUp();
    prompter.setParent(&window);
    window.show();
    // `q5ncfg FILE` (the desktop's "Open With"): the file opens as Open opens
    // it, with the same checks and messages.
    if (!arguments.isEmpty())
        window.files().openPath(QFileInfo(arguments.front()).absoluteFilePath(), false);
    return app.exec();
}
