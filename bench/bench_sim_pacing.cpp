// How closely the decoder simulator keeps to the wire time of its baud rate:
// an upload request (4 bytes) and its 84-byte reply, through the program's
// serial port adapter, for each baud rate the link window offers. Prints the
// measured time over the wire time (1.0 is exact; the answer delay and the
// event loop add a little).

#include "link/SerialPort.h"
#include "sim/SerialDecoder.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QByteArray request("\x02\x80\x03\x81", 4);
    std::printf("%-7s %10s %10s %7s\n", "baud", "wire ms", "measured", "ratio");
    for (int baud : {1200, 2400, 4800, 9600, 19200}) {
        q5n::sim::SerialDecoder decoder;
        q5n::SerialSettings line;
        line.baud = baud;
        decoder.setLineSettings(line);
        if (!decoder.open()) {
            std::fprintf(stderr, "%s\n", qPrintable(decoder.errorString()));
            return 1;
        }
        q5n::SerialPort port;
        const QString path = decoder.devicePath();
        port.setResolver([path](int) { return path; });
        q5n::SerialSettings settings;
        settings.baud = baud;
        port.setSettings(settings);
        if (!port.setPortOpen(true))
            return 1;
        port.setRThreshold(84);

        const int rounds = baud < 4800 ? 3 : 10;
        qint64 totalNs = 0;
        for (int r = 0; r < rounds; ++r) {
            port.input();
            QEventLoop loop;
            QObject::connect(&port, &q5n::SerialPort::onComm, &loop, &QEventLoop::quit);
            QTimer::singleShot(10000, &loop, &QEventLoop::quit);
            QElapsedTimer t;
            t.start();
            port.output(request);
            loop.exec();
            totalNs += t.nsecsElapsed();
        }
        const double wireMs = (4 + 84) * 10 * 1000.0 / baud;
        const double measuredMs = totalNs / 1e6 / rounds;
        std::printf("%-7d %10.1f %10.1f %7.2f\n", baud, wireMs, measuredMs, measuredMs / wireMs);
    }
    return 0;
}
