// q5nsim at the real intervals: a decoder that should not answer stays quiet
// for the program's whole wait (2 s), and a paced answer arrives whole.

#include "link/SerialPort.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QTest>

class TestSlowQ5nSim : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void quietForTheWholeWait_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("replySize");
        QTest::newRow("answers, paced at 9600 baud") << QStringList{} << 84;
        QTest::newRow("program at another baud") << QStringList{"--baud", "19200"} << 0;
        QTest::newRow("fault silent") << QStringList{"--fault", "silent"} << 0;
    }
    void quietForTheWholeWait()
    {
        QFETCH(QStringList, args);
        QFETCH(int, replySize);
        const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/../sim/q5nsim");
        if (!QFileInfo(program).isExecutable())
            QSKIP("q5nsim is not built next to the tests");
        QProcess sim;
        sim.start(program, args);
        QVERIFY(sim.waitForStarted(5000));
        QVERIFY(sim.canReadLine() || sim.waitForReadyRead(5000));
        const QString path = QString::fromLocal8Bit(sim.readLine()).trimmed();

        q5n::SerialPort port;
        port.setResolver([path](int) { return path; });
        QVERIFY(port.setPortOpen(true));
        port.setRThreshold(1);
        port.output(QByteArray("\x02\x80\x03\x81", 4));
        // As long as the program waits for an upload reply.
        (void)QTest::qWaitFor([&] { return port.inBufferCount() >= 84; }, 2000);
        QCOMPARE(port.input().size(), replySize);
        sim.terminate();
        QVERIFY(sim.waitForFinished(5000));
    }
};

QTEST_GUILESS_MAIN(TestSlowQ5nSim)
#include "tst_slow_q5nsim.moc"
