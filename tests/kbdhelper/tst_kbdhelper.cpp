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

namespace {

constexpr char kMask = char(0xB8);

struct Run
{
    QByteArray answers;
    QByteArray writes; // port low byte, value; per write
    int exitCode = -1;
};

QByteArray readToEnd(int fd)
{
    QByteArray all;
    char buffer[512];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
        all.append(buffer, n);
    return all;
}

// Starts the helper's test build, sends `requests`, then closes the connection
// and collects everything the helper said and wrote until it ended.
Run converse(const QByteArray &requests, const QStringList &arguments = {})
{
    int writes[2], masks[2];
    if (::pipe2(writes, O_CLOEXEC) != 0 || ::pipe2(masks, O_CLOEXEC) != 0)
        return {};
    const QByteArray maskSupply(8, kMask);
    [[maybe_unused]] const auto supplied = ::write(masks[1], maskSupply.data(), maskSupply.size());
    ::close(masks[1]);
    pid_t pid = -1;
    const int socket =
        HelperPortIo::spawn({QStringLiteral(Q5N_KBD_SIM_HELPER), arguments, {writes[1], masks[0]}}, &pid);
    ::close(writes[1]);
    ::close(masks[0]);
    Run run;
    if (socket >= 0) {
        // The helper may end before it has read everything: the rest is lost.
        [[maybe_unused]] const auto sent = ::send(socket, requests.data(), requests.size(), MSG_NOSIGNAL);
        ::shutdown(socket, SHUT_WR);
        run.answers = readToEnd(socket);
        run.writes = readToEnd(writes[0]);
        int status = 0;
        ::waitpid(pid, &status, 0);
        run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    ::close(socket);
    ::close(writes[0]);
    return run;
}

QByteArray key(char byte)
{
    return QByteArray("K\x01", 2) + byte;
}
QByteArray keys(const QByteArray &bytes)
{
    QByteArray r;
    for (char b : bytes)
        r += key(b);
    return r;
}
const QByteArray kOpen("O\x00", 2);
const QByteArray kRelease = QByteArray("R\x01", 2) + kMask;
const QByteArray kOk("+\x00", 2);
const QByteArray kMaskAnswer = QByteArray("+") + kMask;
const QByteArray kMaskWrite = QByteArray("\x21") + kMask;
QByteArray keyWrites(const QByteArray &bytes)
{
    QByteArray r;
    for (char b : bytes)
        r += QByteArray("\x60") + b;
    return r;
}

} // namespace

class TestKbdHelper : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void conversations_data();
    void conversations();
};

void TestKbdHelper::conversations_data()
{
    QTest::addColumn<QByteArray>("requests");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("answers"); // after the greeting
    QTest::addColumn<QByteArray>("writes");
    QTest::addColumn<int>("exitCode");

    const QByteArray A5 = "AAAAA";
    QTest::newRow("download: handshake, release, stream, release")
        << kOpen + keys(A5) + kRelease + keys("0F9A") + kRelease << QStringList{}
        << kMaskAnswer + kOk.repeated(5) + kOk + kOk.repeated(4) + kOk
        << keyWrites(A5) + kMaskWrite + keyWrites("0F9A") + kMaskWrite + kMaskWrite << 0;
    QTest::newRow("memory clear: handshake, two releases")
        << kOpen + keys("NNNNNNNNNN") + kRelease + kRelease << QStringList{} << kMaskAnswer + kOk.repeated(12)
        << keyWrites("NNNNNNNNNN") + kMaskWrite + kMaskWrite + kMaskWrite << 0;
    QTest::newRow("client gone in the handshake")
        << kOpen + keys("CC") << QStringList{} << kMaskAnswer + kOk.repeated(2) << keyWrites("CC") + kMaskWrite << 0;
    QTest::newRow("client gone in the data phase")
        << kOpen + kRelease + keys("1") << QStringList{} << kMaskAnswer + kOk.repeated(2)
        << kMaskWrite + keyWrites("1") + kMaskWrite << 0;
    QTest::newRow("unknown kind") << kOpen + QByteArray("X\x00", 2) << QStringList{} << kMaskAnswer << kMaskWrite << 2;
    QTest::newRow("over-long key") << kOpen + QByteArray("K\x02"
                                                         "AA",
                                                         4)
                                   << QStringList{} << kMaskAnswer << kMaskWrite << 2;
    QTest::newRow("length byte 255") << kOpen + QByteArray("K\xff", 2) + QByteArray(255, 'A') << QStringList{}
                                     << kMaskAnswer << kMaskWrite << 2;
    QTest::newRow("open with a payload") << QByteArray("O\x01x", 3) << QStringList{} << QByteArray() << QByteArray()
                                         << 2;
    QTest::newRow("truncated: kind only") << kOpen + QByteArray("K") << QStringList{} << kMaskAnswer << kMaskWrite << 2;
    QTest::newRow("truncated: payload missing")
        << kOpen + QByteArray("K\x01") << QStringList{} << kMaskAnswer << kMaskWrite << 2;
    QTest::newRow("key before any handshake") << key('A') << QStringList{} << QByteArray() << QByteArray() << 2;
    QTest::newRow("not a token letter") << kOpen + key('Z') << QStringList{} << kMaskAnswer << kMaskWrite << 2;
    QTest::newRow("token letter changes")
        << kOpen + keys("AB") << QStringList{} << kMaskAnswer + kOk << keyWrites("A") + kMaskWrite << 2;
    QTest::newRow("hex digit in the handshake") << kOpen + key('0') << QStringList{} << kMaskAnswer << kMaskWrite << 2;
    QTest::newRow("token letter in the data phase")
        << kOpen + kRelease + key('A') << QStringList{} << kMaskAnswer + kOk << kMaskWrite + kMaskWrite << 2;
    QTest::newRow("lower-case hex in the data phase")
        << kOpen + kRelease + key('a') << QStringList{} << kMaskAnswer + kOk << kMaskWrite + kMaskWrite << 2;
    QTest::newRow("release with another mask")
        << kOpen + QByteArray("R\x01\x00", 3) << QStringList{} << kMaskAnswer << kMaskWrite << 2;
    QTest::newRow("release before any read") << kRelease << QStringList{} << QByteArray() << QByteArray() << 2;
    QTest::newRow("sixteenth token") << kOpen + keys(QByteArray(76, 'M')) << QStringList{}
                                     << kMaskAnswer + kOk.repeated(75) << keyWrites(QByteArray(75, 'M')) + kMaskWrite
                                     << 2;
    QTest::newRow("data beyond one download stream")
        << kOpen + kRelease + keys(QByteArray(173, '7')) << QStringList{} << kMaskAnswer + kOk.repeated(173)
        << kMaskWrite + keyWrites(QByteArray(172, '7')) + kMaskWrite << 2;
    QTest::newRow("no port access: refused at once, nothing served")
        << kOpen << QStringList{QStringLiteral("-")} << QByteArray() << QByteArray() << 1;
}

void TestKbdHelper::conversations()
{
    QFETCH(QByteArray, requests);
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, answers);
    QFETCH(QByteArray, writes);
    QFETCH(int, exitCode);

    const Run run = converse(requests, arguments);
    const QByteArray greeting = arguments.isEmpty() ? kOk : QByteArray("-\x01", 2); // EPERM
    QCOMPARE(run.answers.toHex(' '), (greeting + answers).toHex(' '));
    QCOMPARE(run.writes.toHex(' '), writes.toHex(' '));
    QCOMPARE(run.exitCode, exitCode);
    // The mask is only ever written back as it was read, and last.
    for (qsizetype i = 0; i < run.writes.size(); i += 2)
        if (run.writes[i] == '\x21')
            QCOMPARE(run.writes[i + 1], kMask);
    if (!run.writes.isEmpty())
        QCOMPARE(run.writes.right(2), kMaskWrite);
}

QTEST_GUILESS_MAIN(TestKbdHelper)
#include "tst_kbdhelper.moc"
