// The keyboard-port helper as a process, over its simulated ports: what each
// conversation writes to the ports, what it answers, how it ends. Whatever
// the client sends or leaves unsent, the interrupt mask goes back to what was
// read.
#include "link/HelperPortIo.h"

#include <QtTest>

#include <fcntl.h>
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

// Requests written as words: "O" opens a handshake, "R" releases with the mask
// read, "R00" with the hex value given, "Kxyz" sends one key request per
// character, and "#hex" is raw bytes.
QByteArray requests(const QString &words)
{
    QByteArray bytes;
    for (const QString &w : words.split(u' ', Qt::SkipEmptyParts)) {
        const QByteArray arg = w.mid(1).toLatin1();
        if (w == u"O")
            bytes += QByteArray("O\0", 2);
        else if (w[0] == u'R')
            bytes += QByteArray("R\x01", 2) + (arg.isEmpty() ? QByteArray(1, kMask) : QByteArray::fromHex(arg));
        else if (w[0] == u'K')
            for (char c : arg)
                bytes += QByteArray("K\x01", 2) + c;
        else
            bytes += QByteArray::fromHex(arg);
    }
    return bytes;
}

struct Run
{
    QByteArray answers;
    QByteArray writes; // what went to the data port as is, a mask write as '|'
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
        // The helper may end before it has read everything: the rest is lost.
        [[maybe_unused]] const auto sent = ::send(socket, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        ::shutdown(socket, SHUT_WR);
        run.answers = readToEnd(socket);
        const QByteArray written = readToEnd(writes[0]);
        for (qsizetype i = 0; i + 1 < written.size(); i += 2) // the mask only ever as read
            run.writes += written[i] == 0x60 ? written[i + 1] : written[i + 1] == kMask ? '|' : '?';
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
    row("download: handshake, release, stream, release", "O KAAAAA R K0F9A R", 12, "AAAAA|0F9A||", 0);
    row("memory clear: handshake, two releases", "O KNNNNNNNNNN R R", 13, "NNNNNNNNNN|||", 0);
    row("client gone in the handshake", "O KCC", 3, "CC|", 0);
    row("client gone in the data phase", "O R K1", 3, "|1|", 0);
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
    row("token letter in the data phase", "O R KM", 2, "||", 2);
    row("lower-case hex in the data phase", "O R Ka", 2, "||", 2);
    row("release with another mask", "O R00", 1, "|", 2);
    row("release before any read", "R", 0, "", 2);
    row("sixteenth token", "O K" + QString(76, u'M'), 76, QByteArray(75, 'M') + '|', 2);
    row("data beyond one download stream", "O R K" + QString(173, u'7'), 174, '|' + QByteArray(172, '7') + '|', 2);
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
    if (carriedOut > 0 && words.startsWith(u'O'))
        answers += QByteArray("+") + kMask + QByteArray("+\0", 2).repeated(carriedOut - 1);
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

QTEST_GUILESS_MAIN(TestKbdHelper)
#include "tst_kbdhelper.moc"
