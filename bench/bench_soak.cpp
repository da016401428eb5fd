// A soak of the link: 10,000 exchanges through the link engine and 1,000
// through the link windows as a user drives them, against the decoder
// simulator on a real pseudo-terminal, its fault switched at random (the seed
// is printed; give it as the third argument to run the same draw again). Each
// outcome is checked against the one its fault calls for.
//
// Goals: open descriptors and threads the same after as before, resident
// memory grown by less than 1 MiB per 10,000 exchanges, no wrong outcome.
//
//   bench_soak [engine-exchanges [window-exchanges [seed]]]
//
// Prints the figures and every wrong outcome; never fails on a figure.

#include "soak/Soak.h"

#include <QApplication>
#include <QFile>
#include <QPixmapCache>
#include <QTemporaryDir>

#include <cstdio>
#include <random>

using namespace q5n;

namespace {

void print(const soak::Result &result)
{
    for (const QString &line : soak::figuresText(result))
        std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char *argv[])
{
    // Never reach a real serial port; COM 1 is the simulator's line.
    for (int n = 1; n <= 6; ++n)
        qputenv(QByteArray(QByteArray("Q5NCFG_COM") + QByteArray::number(n)).constData(), "/nonexistent/bench");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The Com numbers and settings of this run stay out of the user's own.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    QApplication app(argc, argv);
    // Q5N_SOAK_PIXMAP_CACHE_KIB sets another limit to Qt's pixmap cache (10
    // MiB by default), to tell what grows in it from the program's own.
    if (qEnvironmentVariableIsSet("Q5N_SOAK_PIXMAP_CACHE_KIB"))
        QPixmapCache::setCacheLimit(qEnvironmentVariableIntValue("Q5N_SOAK_PIXMAP_CACHE_KIB"));

    const int engineExchanges = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 10000;
    const int windowExchanges = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 1000;
    const quint32 seed = argc > 3 ? QString::fromLocal8Bit(argv[3]).toUInt() : std::random_device{}();

    soak::Options options;
    options.seed = seed;
    options.simulatorLog = true;
    options.onWrong = [](const QString &line) { std::fprintf(stderr, "wrong: %s\n", qPrintable(line)); };
    QStringList faults;
    for (const soak::FaultSetting &s : soak::faultSettings())
        faults << s.name();
    std::printf("soak: seed %u; faults switched at random among %s\n", seed, qPrintable(faults.join(u", ")));
    std::printf("  the simulator answers at once (no wire time); every answer time-out of the engine is\n"
                "  shortened to %d ms so that the silent faults end quickly\n",
                options.timeOutMs);

    options.exchanges = engineExchanges;
    std::printf("through the link engine (download, download not save, upload, firmware version, memory read, "
                "memory clear)\n");
    print(soak::soakEngine(options));

    options.exchanges = windowExchanges;
    std::printf("through the Transmit and memory windows (mouse clicks and the space bar on the focused button;\n"
                "  one question in ten answered Cancel; Qt's pixmap cache limit %d KiB)\n",
                QPixmapCache::cacheLimit());
    print(soak::soakWindows(options));
    return 0;
}
