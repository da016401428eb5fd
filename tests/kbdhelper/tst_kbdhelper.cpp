// The keyboard-port helper as a process, over its simulated ports: what each
// conversation writes to the ports, what it answers, how it ends. Whatever
// the client sends or leaves unsent, the interrupt mask goes back to what was
// read.
#include "link/HelperPortIo.h"

#include <QElapsedTimer>
#include <QtTest>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

using q5n::HelperPortIo;

namespace {

constexpr char kMask = char(0xB8);

QByteArray readToEnd(int fd)
{
    QByteArray all;
    char buffer[512];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
        all.append(buffer, n);
    return all;
}

// Requests written as words, one request per element: "O" opens a handshake,
// "R" releases with the mask read, "R00" with the hex value given, "Kxyz" sends
// one key request per character, and "#hex" is raw bytes.
QList<QByteArray> requestList(const QString &words)
{
    QList<QByteArray> list;
    for (const QString &w : words.split(u' ', Qt::SkipEmptyParts)) {
        const QByteArray arg = w.mid(1).toLatin1();
        if (w == u"O")
            list.append(QByteArray("O\0", 2));
        else if (w[0] == u'R')
            list.append(QByteArray("R\x01", 2) + (arg.isEmpty() ? QByteArray(1, kMask) : QByteArray::fromHex(arg)));
        else if (w[0] == u'K')
            for (char c : arg)
                list.append(QByteArray("K\x01", 2) + c);
        else
            list.append(QByteArray::fromHex(arg));
    }
    return list;
}

QByteArray requests(const QString &words)
{
    return requestList(words).join();
}

struct Run
{
    QByteArray answers;
    QByteArray writes;         // what went to the data port as is, a mask write as '|'
    QList<qint64> writtenAtMs; // each write as it came out, from the sending of the requests
    int exitCode = -1;
};

// Starts the helper's test build, sends `bytes`, then closes the connection
// and collects everything the helper said and wrote until it ended.
Run converse(const QByteArray &bytes, const QStringList &arguments)
{
    int writes[2], masks[2];
    if (::pipe2(writes, O_CLOEXEC) != 0 || ::pipe2(masks, O_CLOEXEC) != 0)
        return {};
    [[maybe_unused]] const auto supplied = ::write(masks[1], QByteArray(8, kMask).data(), 8);
    ::close(masks[1]);
    pid_t pid = -1;
    const int socket =
        HelperPortIo::spawn({QStringLiteral(Q5N_KBD_SIM_HELPER), arguments, {writes[1], masks[0]}}, &pid);
    ::close(writes[1]);
    ::close(masks[0]);
    Run run;
    if (socket >= 0) {
        QElapsedTimer clock;
        clock.start();
        // The helper may end before it has read everything: the rest is lost.
        [[maybe_unused]] const auto sent = ::send(socket, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        ::shutdown(socket, SHUT_WR);
        // Both are read as they come; a write is timed never sooner than the helper made it.
        pollfd ends[2] = {{socket, POLLIN, 0}, {writes[0], POLLIN, 0}};
        for (int open = 2; open > 0 && ::poll(ends, 2, -1) > 0;) {
            for (pollfd &end : ends) {
                char got[512];
                const ssize_t n = end.revents ? ::read(end.fd, got, end.fd == socket ? sizeof got : 2) : -1;
                if (end.revents && n <= 0) {
                    end.fd = -1;
                    --open;
                } else if (n > 0 && end.fd == socket) {
                    run.answers.append(got, n);
                } else if (n == 2) { // the mask only ever as read
                    run.writes += got[0] == 0x60 ? got[1] : got[1] == kMask ? '|' : '?';
                    run.writtenAtMs.append(clock.elapsed());
                }
            }
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        ::close(socket);
    }
    ::close(writes[0]);
    return run;
}

} // namespace

class TestKbdHelper : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void conversations_data();
    void conversations();
    void startedAgainAfterItEnded();
    void keepsTheProtocolsPace_data();
    void keepsTheProtocolsPace();
    void drivenAsFastAsItGoes();
};

void TestKbdHelper::conversations_data()
{
    QTest::addColumn<QString>("words");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("carriedOut"); // requests answered after the greeting
    QTest::addColumn<QByteArray>("writes");
    QTest::addColumn<int>("exitCode");
    const auto row = [](const char *name, const QString &words, int carriedOut, const QByteArray &writes, int code) {
        QTest::newRow(name) << words << QStringList() << carriedOut << writes << code;
    };
    // The mask goes back at the handshake's release and at the end of the
    // exchange, and at the helper's end only while an exchange is under way.
    row("download: handshake, release, stream, release", "O KAAAAA R K0F9A R", 12, "AAAAA|0F9A|", 0);
    row("upload: handshake, release, release", "O KCCCCC R R", 8, "CCCCC||", 0);
    row("memory clear: handshake, two releases", "O KNNNNNNNNNN R R", 13, "NNNNNNNNNN||", 0);
    row("next exchange after a handshake without answer", "O KAAAAA R O KBBBBB R K0 R", 16, "AAAAA|BBBBB|0|", 0);
    row("client gone in the handshake", "O KCC", 3, "CC|", 0);
    row("client gone in the data phase", "O KAAAAA R K1", 8, "AAAAA|1|", 0);
    row("unknown kind", "O #5800", 1, "|", 2);
    row("over-long key", "O #4b024141", 1, "|", 2);
    row("length byte 255", "O #4bff" + QString(510, u'4'), 1, "|", 2);
    row("open with a payload", "#4f0178", 0, "", 2);
    row("truncated: kind only", "O #4b", 1, "|", 2);
    row("truncated: payload missing", "O #4b01", 1, "|", 2);
    row("key before any handshake", "KA", 0, "", 2);
    row("not a token letter", "O KZ", 1, "|", 2);
    row("token letter changes", "O KAB", 2, "A|", 2);
    row("hex digit in the handshake", "O K0", 1, "|", 2);
    row("token letter in the data phase", "O KAAAAA R KM", 7, "AAAAA||", 2);
    row("lower-case hex in the data phase", "O KAAAAA R Ka", 7, "AAAAA||", 2);
    row("data after no token", "O R K0", 2, "||", 2);
    row("data after an upload's handshake", "O KCCCCC R K0", 7, "CCCCC||", 2);
    row("release with another mask", "O R00", 1, "|", 2);
    row("release before any read", "R", 0, "", 2);
    row("release after the exchange ended", "O KCCCCC R R R", 8, "CCCCC||", 2);
    row("second open within a handshake", "O KAA O", 3, "AA|", 2);
    row("second open within a data stream", "O KAAAAA R K00 O", 9, "AAAAA|00|", 2);
    row("sixteenth token", "O K" + QString(76, u'M'), 76, QByteArray(75, 'M') + '|', 2);
    row("data beyond one download stream", "O KBBBBB R K" + QString(173, u'7'), 179,
        "BBBBB|" + QByteArray(172, '7') + '|', 2);
    QTest::newRow("no port access: refused at once, nothing served")
        << "O" << QStringList{QStringLiteral("-")} << -1 << QByteArray() << 1;
}

void TestKbdHelper::conversations()
{
    QFETCH(QString, words);
    QFETCH(QStringList, arguments);
    QFETCH(int, carriedOut);
    QFETCH(QByteArray, writes);
    QFETCH(int, exitCode);

    const Run run = converse(requests(words), arguments);
    QByteArray answers = carriedOut < 0 ? QByteArray("-\x01", 2) : QByteArray("+\0", 2); // EPERM
    const QList<QByteArray> sent = requestList(words);
    for (int i = 0; i < carriedOut; ++i) // an opening answers the mask, the rest 0
        answers += sent[i][0] == 'O' ? QByteArray("+") + kMask : QByteArray("+\0", 2);
    QCOMPARE(run.answers.toHex(' '), answers.toHex(' '));
    QCOMPARE(run.writes, writes);
    QCOMPARE(run.exitCode, exitCode);
}

// A helper that ended after a refusal is started again by the next exchange's
// mask read; one shut down by the program is not.
void TestKbdHelper::startedAgainAfterItEnded()
{
    int writes[2], masks[2];
    QVERIFY(::pipe2(writes, O_CLOEXEC) == 0 && ::pipe2(masks, O_CLOEXEC) == 0);
    QCOMPARE(::write(masks[1], QByteArray(8, kMask).data(), 8), 8);
    HelperPortIo helper({QStringLiteral(Q5N_KBD_SIM_HELPER), {}, {writes[1], masks[0]}});
    QVERIFY(helper.InitializeWinIo());
    QVERIFY(!helper.SetPortVal(HelperPortIo::kKeyboardDataPort, 'A', 1)); // a key before any handshake
    QVERIFY(!helper.isRunning());
    quint32 mask = 0;
    QVERIFY(helper.GetPortVal(HelperPortIo::kInterruptMaskPort, &mask, 1));
    QCOMPARE(mask, quint32(quint8(kMask)));
    QVERIFY(helper.SetPortVal(HelperPortIo::kInterruptMaskPort, mask, 1));
    helper.ShutdownWinIo();
    QVERIFY(!helper.GetPortVal(HelperPortIo::kInterruptMaskPort, &mask, 1));
    QVERIFY(!helper.isRunning());
    for (int fd : {writes[0], writes[1], masks[0], masks[1]})
        ::close(fd);
}

// A client that sends everything at once is served at the protocol's pace:
// each listed write comes no sooner than its time (ms after the requests);
// the mask goes back at the end of an exchange, or at the client's end
// within one.
void TestKbdHelper::keepsTheProtocolsPace_data()
{
    QTest::addColumn<QString>("words");
    QTest::addColumn<QByteArray>("writes");
    QTest::addColumn<QList<QPair<int, int>>>("notBefore"); // write index, ms
    using Times = QList<QPair<int, int>>;
    QTest::newRow("tokens on their ticks, 4 ms between bytes")
        << "O K" + QString(15, u'A') << QByteArray(15, 'A') + '|'
        << Times{{0, 150}, {4, 166}, {5, 300}, {10, 450}, {14, 466}};
    QTest::newRow("memory tokens, 2 ms between bytes")
        << "O K" + QString(10, u'M') << QByteArray(10, 'M') + '|' << Times{{0, 150}, {4, 158}, {5, 300}, {9, 308}};
    QTest::newRow("download data 20 ms after the release, 4 ms apart")
        << "O KAAAAA R K0F9A R" << QByteArray("AAAAA|0F9A|") << Times{{5, 166}, {6, 186}, {9, 198}};
    QTest::newRow("next exchange a tick after the last began")
        << "O R O KCCCCC R R" << QByteArray("|CCCCC||") << Times{{1, 300}, {5, 316}};
}

void TestKbdHelper::keepsTheProtocolsPace()
{
    QFETCH(QString, words);
    QFETCH(QByteArray, writes);
    using Times = QList<QPair<int, int>>;
    QFETCH(Times, notBefore);
    const Run run = converse(requests(words), {QStringLiteral("paced")});
    QCOMPARE(run.writes, writes);
    for (const auto &[index, ms] : notBefore)
        QVERIFY2(run.writtenAtMs[index] >= ms,
                 qPrintable(QStringLiteral("write %1 after %2 ms").arg(index).arg(run.writtenAtMs[index])));
}

// A caller that drives handshake after handshake as fast as the helper
// answers gets the protocol's rate: in one second at most the tokens of
// seven ticks, and the mask only as the exchanges give it back.
void TestKbdHelper::drivenAsFastAsItGoes()
{
    int writes[2], masks[2];
    QVERIFY(::pipe2(writes, O_CLOEXEC) == 0 && ::pipe2(masks, O_CLOEXEC) == 0);
    QCOMPARE(::write(masks[1], QByteArray(4096, kMask).data(), 4096), 4096); // a mask for every opening
    HelperPortIo helper({QStringLiteral(Q5N_KBD_SIM_HELPER), {QStringLiteral("paced")}, {writes[1], masks[0]}});
    QVERIFY(helper.InitializeWinIo());
    ::close(writes[1]);
    QElapsedTimer clock;
    clock.start();
    int cycles = 0;
    while (clock.elapsed() < 1000) {
        quint32 mask = 0;
        QVERIFY(helper.GetPortVal(HelperPortIo::kInterruptMaskPort, &mask, 1));
        for (int i = 0; i < 75 && clock.elapsed() < 1000; ++i)
            QVERIFY(helper.SetPortVal(HelperPortIo::kKeyboardDataPort, 'C', 1));
        QVERIFY(helper.SetPortVal(HelperPortIo::kInterruptMaskPort, mask, 1));
        QVERIFY(helper.SetPortVal(HelperPortIo::kInterruptMaskPort, mask, 1));
        ++cycles;
    }
    helper.ShutdownWinIo();
    const QByteArray written = readToEnd(writes[0]);
    int keys = 0, masksWritten = 0;
    for (qsizetype i = 0; i + 1 < written.size(); i += 2)
        ++(written[i] == 0x60 ? keys : masksWritten);
    QVERIFY2(keys <= 35, qPrintable(QStringLiteral("%1 key bytes in %2 cycles").arg(keys).arg(cycles)));
    QVERIFY2(masksWritten <= 2 * cycles, qPrintable(QString::number(masksWritten)));
    for (int fd : {writes[0], masks[0], masks[1]})
        ::close(fd);
}

QTEST_GUILESS_MAIN(TestKbdHelper)
#include "tst_kbdhelper.moc"
