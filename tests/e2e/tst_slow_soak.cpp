// The link soak, short: hundreds of exchanges with the decoder simulator on a
// real pseudo-terminal, its fault switched at random, through the link engine
// and through the Transmit and memory windows as a user drives them. Every
// outcome must be the one its fault calls for, and the process must hold as
// many descriptors and threads afterwards as before. Resident memory is
// reported, and held only to a generous bound (it is noisy); bench_soak
// measures it over 10,000 exchanges.
//
// The seed is printed; Q5N_SOAK_SEED=<n> runs the same draw again.
#include "soak/Soak.h"

#include <QtTest>

#include <random>

using namespace q5n;

class TestSoak : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void everyFaultHasAnOutcome();
    void soak_data();
    void soak();
};

// A fault the simulator gains is soaked only once its outcomes are known.
void TestSoak::everyFaultHasAnOutcome()
{
    QStringList unknown;
    const QList<soak::FaultSetting> settings = soak::faultSettings(&unknown);
    QVERIFY2(unknown.isEmpty(), qPrintable(unknown.join(u", ")));
    QVERIFY(settings.size() >= 10);
}

void TestSoak::soak_data()
{
    QTest::addColumn<bool>("windows");
    QTest::addColumn<int>("exchanges");
    QTest::addColumn<int>("rssBoundKiB");

    QTest::newRow("engine") << false << 400 << 4096;
    // Qt's pixmap cache grows with each repaint of the window (up to its limit).
    QTest::newRow("windows") << true << 100 << 8192;
}

void TestSoak::soak()
{
    QFETCH(bool, windows);
    QFETCH(int, exchanges);
    QFETCH(int, rssBoundKiB);

    soak::Options options;
    options.exchanges = exchanges;
    options.seed = qEnvironmentVariableIsSet("Q5N_SOAK_SEED") ? qEnvironmentVariable("Q5N_SOAK_SEED").toUInt()
                                                              : std::random_device{}();
    options.simulatorLog = true;
    qInfo("seed %u", options.seed);
    const soak::Result r = windows ? soak::soakWindows(options) : soak::soakEngine(options);
    for (const QString &line : soak::figuresText(r))
        qInfo("%s", qPrintable(line));

    QVERIFY2(r.wrong.isEmpty(), qPrintable(r.wrong.join(u'\n')));
    QCOMPARE(r.exchanges, exchanges);
    QCOMPARE(r.after.descriptors, r.before.descriptors);
    QCOMPARE(r.after.threads, r.before.threads);
    QCOMPARE_LT(r.after.rssKiB - r.before.rssKiB, rssBoundKiB);
}

QTEST_MAIN(TestSoak)
#include "tst_slow_soak.moc"
