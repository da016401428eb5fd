#include "link/HelperPortIo.h"

#include "kbdhelper/Requests.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <cerrno>
#include <csignal>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace q5n {

namespace {

// The helper answers at once; these only bound a helper that hangs.
constexpr int kGreetingMs = 5000;
constexpr int kAnswerMs = 2000;
constexpr int kEndMs = 1000;

} // namespace

QString HelperPortIo::installedHelper()
{
    const QString beside = QCoreApplication::applicationDirPath() + QStringLiteral("/../libexec/q5ncfg/q5nkbd");
    if (QFileInfo(beside).isExecutable())
        return QFileInfo(beside).canonicalFilePath();
#ifdef Q5N_KBD_HELPER
    return QStringLiteral(Q5N_KBD_HELPER);
#else
    return {};
#endif
}

HelperPortIo::HelperPortIo(Launch launch) : m_launch(std::move(launch)) {}

HelperPortIo::~HelperPortIo()
{
    stop();
}

bool HelperPortIo::InitializeWinIo()
{
    stop();
    m_wanted = false;
    if (m_launch.program.isEmpty() || (m_socket = spawn(m_launch, &m_pid)) < 0)
        return false;
    quint8 status = 0;
    quint8 value = 0;
    if (receive(&status, &value, kGreetingMs) && status == q5nkbd::kOk)
        return m_wanted = true;
    stop();
    return false;
}

int HelperPortIo::spawn(const Launch &launch, pid_t *pid)
{
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
        return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // dup2 clears close-on-exec on the copies; the originals stay closed in the helper.
    posix_spawn_file_actions_adddup2(&actions, pair[1], 0);
    posix_spawn_file_actions_adddup2(&actions, pair[1], 1);
    for (int i = 0; i < launch.descriptors.size(); ++i)
        posix_spawn_file_actions_adddup2(&actions, launch.descriptors[i], 3 + i);

    QList<QByteArray> args{QFile::encodeName(launch.program)};
    for (const QString &a : launch.arguments)
        args.append(a.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    char *noEnvironment[] = {nullptr}; // the helper reads none

    const int failed = ::posix_spawn(pid, argv[0], &actions, nullptr, argv.data(), noEnvironment);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pair[1]);
    if (failed != 0) {
        ::close(pair[0]);
        *pid = -1;
        return -1;
    }
    return pair[0];
}

bool HelperPortIo::receive(quint8 *status, quint8 *value, int timeoutMs)
{
    quint8 bytes[2];
    int got = 0;
    while (got < 2) {
        pollfd in{m_socket, POLLIN, 0};
        const int ready = ::poll(&in, 1, timeoutMs);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return false;
        const ssize_t n = ::recv(m_socket, bytes + got, sizeof bytes - got, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        got += int(n);
    }
    *status = bytes[0];
    *value = bytes[1];
    return true;
}

bool HelperPortIo::request(quint8 kind, int length, quint8 payload, quint8 *reply)
{
    if (m_socket < 0)
        return false;
    const quint8 bytes[3] = {kind, quint8(length), payload};
    const auto size = size_t(2 + length);
    ssize_t n;
    while ((n = ::send(m_socket, bytes, size, MSG_NOSIGNAL)) < 0 && errno == EINTR) {
    }
    quint8 status = 0;
    if (n != ssize_t(size) || !receive(&status, reply, kAnswerMs) || status != q5nkbd::kOk) {
        // The helper refused or has gone; it has given back the mask.
        stop();
        return false;
    }
    return true;
}

bool HelperPortIo::SetPortVal(quint16 port, quint32 value, quint8 size)
{
    if (size != 1)
        return false;
    const auto byte = quint8(value & 0xFF);
    quint8 reply = 0;
    if (port == kKeyboardDataPort)
        return request(q5nkbd::kKey, 1, byte, &reply);
    if (port == kInterruptMaskPort)
        return request(q5nkbd::kRelease, 1, byte, &reply);
    return false;
}

bool HelperPortIo::GetPortVal(quint16 port, quint32 *value, quint8 size)
{
    quint8 mask = 0;
    if (size != 1 || !value || port != kInterruptMaskPort)
        return false;
    // Reading the mask opens an exchange. A helper that has ended since the
    // start (it refused a request, or was killed) is started again: first
    // when it is known to be gone, else once this request finds it gone, and
    // the request is then made again, so that the exchange goes on.
    bool restarted = false;
    if (m_socket < 0 && m_wanted) {
        if (!InitializeWinIo())
            return false;
        restarted = true;
    }
    if (!request(q5nkbd::kOpen, 0, 0, &mask)) {
        if (restarted || !m_wanted || !InitializeWinIo() || !request(q5nkbd::kOpen, 0, 0, &mask))
            return false;
    }
    *value = mask;
    return true;
}

void HelperPortIo::ShutdownWinIo()
{
    m_wanted = false;
    stop();
}

void HelperPortIo::stop()
{
    if (m_socket >= 0) {
        // The end of the connection tells the helper to give back the mask and end.
        ::close(m_socket);
        m_socket = -1;
    }
    if (m_pid <= 0)
        return;
    for (int waited = 0;; waited += 10) {
        const pid_t done = ::waitpid(m_pid, nullptr, WNOHANG);
        if (done == m_pid || (done < 0 && errno != EINTR))
            break;
        if (waited >= kEndMs) {
            ::kill(m_pid, SIGKILL);
            while (::waitpid(m_pid, nullptr, 0) < 0 && errno == EINTR) {
            }
            break;
        }
        ::poll(nullptr, 0, 10);
    }
    m_pid = -1;
}

} // namespace q5n
