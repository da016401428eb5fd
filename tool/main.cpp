// q5ntool: the configuration utility's work from scripts, without a display.
#include "tool/Command.h"
#include "tool/PortJob.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Ctrl+C: the signal handler only writes a byte; the event loop then stops
// every exchange, which closes its port.
int g_signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &byte, 1);
}

void stopOnSignals(QCoreApplication &app)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [] {
        char byte;
        [[maybe_unused]] const ssize_t n = ::read(g_signalPipe[0], &byte, 1);
        q5n::tool::stopAllExchanges();
    });
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    // The same name as the program, so the per-user defaults are found where it keeps them.
    QCoreApplication::setApplicationName(QStringLiteral("q5ncfg"));
    QCoreApplication::setApplicationVersion(QStringLiteral(Q5N_VERSION));

    QTextStream out(stdout);
    QTextStream err(stderr);
    const QStringList args = app.arguments().mid(1);
    const q5n::tool::Command *command = q5n::tool::findCommand(args.value(0));
    if (command && (command->group == q5n::tool::Group::Decoders || command->name == u"find"))
        stopOnSignals(app);
    return q5n::tool::runCommand(args, out, err);
}
