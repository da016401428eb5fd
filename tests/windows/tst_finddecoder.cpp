// "Find Decoder..." as the user meets it: opened from the Tools menu, nothing
// sent before Start, every port's line while it runs, the link settings the
// Transmit window then opens with, Escape that stops at once, and the window
// opened again.
#include "app/PageRegistry.h"
#include "link/PortAccess.h"
#include "shell/MainWindow.h"
#include "sim/SerialDecoder.h"
#include "support/FocusOrder.h"
#include "support/TestContext.h"
#include "windows/FindDecoderDialog.h"

#include <QAbstractButton>
#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>

#include <memory>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

using namespace q5n;
using namespace q5n::test;

namespace {

struct Fixture
{
    Fixture()
    {
        ctx.context.timing.probeFirstByteMs = 100;
        ctx.context.timing.uploadReplyMs = 400;
        main = std::make_unique<MainWindow>(ctx.context);
        registerStandardPages(*main);
        main->show();
    }
    ~Fixture()
    {
        main.reset();
        decoders.clear();
        for (int n = 1; n <= 6; ++n)
            qputenv(QByteArray("Q5NCFG_COM" + QByteArray::number(n)).constData(),
                    QByteArray("/nonexistent/com" + QByteArray::number(n)));
    }
    // A simulated decoder on Com n at `line`; "silent" for one that never answers.
    sim::SerialDecoder &decoderOn(int n, const QString &line)
    {
        auto d = std::make_unique<sim::SerialDecoder>();
        d->open();
        d->setPacing(false);
        if (line == QLatin1String("silent"))
            d->setFault(sim::Fault::Silent);
        else
            d->setLineSettings(*parseSerialSettings(line));
        qputenv(QByteArray("Q5NCFG_COM" + QByteArray::number(n)).constData(), d->devicePath().toLocal8Bit());
        decoders.push_back(std::move(d));
        return *decoders.back();
    }
    FindDecoderDialog *open()
    {
        main->menuAction(QStringLiteral("mnuToolsFind"))->trigger();
        auto *d = qobject_cast<FindDecoderDialog *>(main->findDecoderWindow());
        if (d && QTest::qWaitForWindowActive(d))
            return d;
        return nullptr;
    }
    QStringList lines(FindDecoderDialog *d) const
    {
        QStringList out;
        auto *list = d->findChild<QListWidget *>(QStringLiteral("lstPorts"));
        for (int i = 0; i < list->count(); ++i)
            out << list->item(i)->text();
        return out;
    }

    TestContext ctx;
    std::vector<std::unique_ptr<sim::SerialDecoder>> decoders;
    std::unique_ptr<MainWindow> main;
};

} // namespace

class TestFindDecoder : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void findsAndSetsTheLink_data()
    {
        QTest::addColumn<QStringList>("lines"); // Com 1, Com 2, ...: a decoder's settings, "silent", "held" or ""
        QTest::addColumn<int>("com");           // the link's port afterwards
        QTest::addColumn<QString>("at");        // and its settings
        QTest::addColumn<QString>("status");
        QTest::newRow("one decoder at 1200 on Com 3")
            << QStringList{"silent", "", "1200,N,8,1"} << 3 << "1200,N,8,1 "
            << "Found a decoder on Com 3 at 1200,N,8,1. The link settings are now Com 3, RS232, 1200,N,8,1: "
               "Transmit and Read Decoder Memory use them.";
        QTest::newRow("two decoders: the lower Com number")
            << QStringList{"", "19200,N,8,1", "", "", "2400,N,8,1"} << 2 << "19200,N,8,1 "
            << "Found a decoder on Com 2 at 19200,N,8,1. The link settings are now Com 2, RS232, 19200,N,8,1: "
               "Transmit and Read Decoder Memory use them. Decoders answered on Com 5 too.";
        QTest::newRow("a held port is passed over")
            << QStringList{"held", "", "", "9600,N,8,1"} << 4 << "9600,N,8,1 "
            << "Found a decoder on Com 4 at 9600,N,8,1. The link settings are now Com 4, RS232, 9600,N,8,1: "
               "Transmit and Read Decoder Memory use them.";
        QTest::newRow("none") << QStringList{"silent", "silent"} << 1 << "9600,N,8,1 "
                              << "No decoder answered on these ports.";
    }

    void findsAndSetsTheLink()
    {
        QFETCH(QStringList, lines);
        QFETCH(int, com);
        QFETCH(QString, at);
        QFETCH(QString, status);
        Fixture f;
        int holder = -1;
        for (int i = 0; i < lines.size(); ++i) {
            if (lines[i].isEmpty())
                continue;
            sim::SerialDecoder &d = f.decoderOn(i + 1, lines[i] == QLatin1String("held") ? "19200,N,8,1" : lines[i]);
            if (lines[i] == QLatin1String("held")) {
                holder = ::open(QFile::encodeName(d.devicePath()).constData(), O_RDWR | O_NOCTTY);
                QVERIFY(holder >= 0 && ::flock(holder, LOCK_EX | LOCK_NB) == 0);
            }
        }
        FindDecoderDialog *dialog = f.open();
        QVERIFY(dialog);
        // The ports are named before anything is sent.
        const QStringList before = f.lines(dialog);
        QCOMPARE(before.size(), lines.size() - lines.count(QString()));
        const int firstCom =
            int(std::find_if(lines.begin(), lines.end(), [](const QString &l) { return !l.isEmpty(); }) -
                lines.begin()) +
            1;
        QVERIFY2(before.first().startsWith(QStringLiteral("Com %1 (/dev/").arg(firstCom)), qPrintable(before.first()));
        for (const auto &d : f.decoders)
            QCOMPARE(d->model().uploadsServed, 0);
        QVERIFY(dialog->findChild<QLabel *>(QStringLiteral("lblWarning"))->text().contains("a receipt printer"));

        QTest::keyClick(dialog, Qt::Key_Return); // Start is the default button
        QVERIFY(dialog->searching());
        QTRY_VERIFY_WITH_TIMEOUT(!dialog->searching(), 5000);
        if (holder >= 0)
            ::close(holder);
        QCOMPARE(dialog->statusText(), status);
        QCOMPARE(f.ctx.state.linkSettings.portNumber, com);
        QCOMPARE(serialSettingsText(f.ctx.state.linkSettings.serial), at);
        if (lines.contains(QStringLiteral("held")))
            QVERIFY2(f.lines(dialog).first().contains(QStringLiteral(": skipped: in use: ")),
                     qPrintable(f.lines(dialog).first()));
        QCOMPARE(QApplication::focusWidget(), dialog->findChild<QPushButton *>(QStringLiteral("cmdClose")));

        // Escape closes the window; the Transmit window opens on the port and rate found.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QTRY_VERIFY(!f.main->findDecoderWindow());
        f.main->openPage(5);
        QWidget *transmit = f.main->openWindow(5);
        QVERIFY(transmit);
        QVERIFY(transmit->findChild<QAbstractButton *>(QStringLiteral("OptPort_%1").arg(com - 1))->isChecked());
        const int baud = DecoderFinder::probeRates().size() - 1 -
                         int(DecoderFinder::probeRates().indexOf(f.ctx.state.linkSettings.serial.baud));
        QVERIFY(transmit->findChild<QAbstractButton *>(QStringLiteral("optBaud_%1").arg(baud))->isChecked());
    }

    // Escape while the ports are asked stops every probe at once: the ports
    // are free again before the key returns, and the window stays to say so;
    // opened again, it starts afresh.
    void escapeStopsAndTheWindowOpensAgain()
    {
        Fixture f;
        f.ctx.context.timing.probeFirstByteMs = 2000;
        const QString device = f.decoderOn(1, QStringLiteral("silent")).devicePath();
        f.decoderOn(2, QStringLiteral("silent"));
        FindDecoderDialog *dialog = f.open();
        QVERIFY(dialog);
        QTest::keyClick(dialog, Qt::Key_S, Qt::AltModifier);
        QTRY_VERIFY(f.lines(dialog).first().endsWith(QStringLiteral(": asking at 19200 baud")));
        QVERIFY(!checkPort(device).usable); // held by the probe
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QVERIFY(!dialog->searching());
        QVERIFY(checkPort(device).usable);
        QCOMPARE(f.lines(dialog).first(), QStringLiteral("Com 1 (%1): stopped").arg(device));
        QCOMPARE(dialog->statusText(), QStringLiteral("Stopped: no decoder found."));
        QVERIFY(dialog->isVisible());
        QVERIFY(!f.main->exchangeRunning());

        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QTRY_VERIFY(!f.main->findDecoderWindow());
        dialog = f.open();
        QVERIFY(dialog);
        QCOMPARE(f.lines(dialog).first(), QStringLiteral("Com 1 (%1): not yet probed").arg(device));
        QCOMPARE(dialog->statusText(), QString());

        // Close while it asks: the window goes, the ports and the program's
        // commands are free again.
        QTest::keyClick(dialog, Qt::Key_S, Qt::AltModifier);
        QTRY_VERIFY(dialog->searching());
        QVERIFY(f.main->exchangeRunning());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab); // from Stop to Close
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("cmdClose"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        QTRY_VERIFY(!f.main->findDecoderWindow());
        QVERIFY(!f.main->exchangeRunning());
        QVERIFY(checkPort(device).usable);
    }

    void keyboardAndNames()
    {
        Fixture f;
        f.decoderOn(1, QStringLiteral("silent"));
        FindDecoderDialog *dialog = f.open();
        QVERIFY(dialog);
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Find Decoder"));
        QCOMPARE(dialog->findChild<QListWidget *>(QStringLiteral("lstPorts"))->accessibleName(),
                 QStringLiteral("Ports to probe"));
        const QStringList problems = focusOrderProblems(dialog);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
    }

    void noPortToProbe()
    {
        Fixture f;
        FindDecoderDialog *dialog = f.open();
        QVERIFY(dialog);
        QVERIFY(!dialog->findChild<QPushButton *>(QStringLiteral("cmdStart"))->isEnabled());
        QCOMPARE(dialog->statusText(),
                 QStringLiteral("There is no port to probe: Com 1 to Com 6 have no device on this computer."));
    }
};

QTEST_MAIN(TestFindDecoder)
#include "tst_finddecoder.moc"
