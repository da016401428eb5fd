// q5nkbd: the one piece of the keyboard line that may hold a privilege. It
// takes access to the keyboard controller's data port and the interrupt mask
// port, gives up every capability, and then serves the program that started
// it: requests on descriptor 0, answers on descriptor 1 (the two ends of a
// socket pair, or two pipes). What it accepts is in Requests.h.
#include "kbdhelper/Backend.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <initializer_list>
#include <linux/capability.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#define Q5NKBD_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define Q5NKBD_ASAN 1
#endif
#endif
#ifdef Q5NKBD_ASAN
// The leak check attaches to the process at exit, which a non-dumpable
// process refuses; the helper starts with an empty environment, so the
// choice is made here.
extern "C" const char *__asan_default_options()
{
    return "detect_leaks=0";
}
#endif

namespace {

using namespace q5nkbd;

constexpr int kIn = 0;
constexpr int kOut = 1;

void closeOtherDescriptors(int last)
{
#ifdef SYS_close_range
    if (::syscall(SYS_close_range, last + 1, ~0U, 0) == 0)
        return;
#endif
    const long max = ::sysconf(_SC_OPEN_MAX);
    for (long fd = last + 1; fd < (max > 0 ? max : 1024); ++fd)
        ::close(static_cast<int>(fd));
}

// Every capability, in every set that a process may lower: the bounding set
// (as far as the system lets an unprivileged process), the ambient set, then
// permitted, effective and inheritable. No gain through exec afterwards.
bool dropPrivileges()
{
    for (int cap = 0; cap <= 63; ++cap)
        ::prctl(PR_CAPBSET_DROP, cap, 0, 0, 0); // refused without CAP_SETPCAP; harmless
    ::prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_CLEAR_ALL, 0, 0, 0);
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
    if (::syscall(SYS_capset, &header, data) != 0)
        return false;
    // Nobody of the same user may attach to a process that holds port access.
    ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
    return ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0;
}

volatile sig_atomic_t g_stop = 0;

void onSignal(int)
{
    g_stop = 1;
}

// Signals that end the helper only interrupt the wait for input, so the mask
// is always written back from the main flow.
sigset_t catchEndingSignals()
{
    std::signal(SIGPIPE, SIG_IGN);
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    sigset_t blocked;
    sigemptyset(&blocked);
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
        ::sigaction(sig, &action, nullptr);
        sigaddset(&blocked, sig);
    }
    sigset_t previous;
    ::sigprocmask(SIG_BLOCK, &blocked, &previous);
    sigdelset(&previous, SIGTERM);
    sigdelset(&previous, SIGINT);
    sigdelset(&previous, SIGHUP);
    return previous;
}

// Reads exactly `size` bytes. Returns how many came before the end of input
// or a signal (fewer than `size` then).
int readAll(std::uint8_t *buffer, int size, const sigset_t &waitMask)
{
    int got = 0;
    while (got < size && !g_stop) {
        pollfd in{kIn, POLLIN, 0};
        const int ready = ::ppoll(&in, 1, nullptr, &waitMask);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        const ssize_t n = ::read(kIn, buffer + got, static_cast<size_t>(size - got));
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
            break;
        got += static_cast<int>(n);
    }
    return got;
}

Micros now()
{
    timespec t{};
    ::clock_gettime(CLOCK_MONOTONIC, &t);
    return Micros(t.tv_sec) * 1'000'000 + t.tv_nsec / 1'000;
}

// Holds the request until `when` (the client is held to the protocol's pace,
// not refused for being early). False when a signal ends the helper meanwhile.
bool waitUntil(Micros when, const sigset_t &waitMask)
{
    for (Micros at = now(); at < when && !g_stop; at = now()) {
        const Micros left = when - at;
        const timespec pause{static_cast<time_t>(left / 1'000'000), static_cast<long>(left % 1'000'000) * 1'000};
        ::ppoll(nullptr, 0, &pause, &waitMask);
    }
    return !g_stop;
}

bool answer(std::uint8_t status, std::uint8_t value)
{
    const std::uint8_t bytes[2] = {status, value};
    ssize_t n;
    while ((n = ::write(kOut, bytes, sizeof bytes)) < 0 && errno == EINTR) {
    }
    return n == sizeof bytes;
}

int refuse(Session &session, const char *why)
{
    session.restore();
    std::fprintf(stderr, "q5nkbd: %s\n", why);
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    const sigset_t waitMask = catchEndingSignals();
    closeOtherDescriptors(lastDescriptor());
    int error = 0;
    Ports *ports = openPorts(argc, argv, &error);
    if (!dropPrivileges()) {
        std::fputs("q5nkbd: cannot give up the process's capabilities\n", stderr);
        answer(kRefused, EPERM);
        return 1;
    }
    if (!ports) {
        std::fprintf(stderr, "q5nkbd: no access to the keyboard ports: %s\n", std::strerror(error));
        answer(kRefused, static_cast<std::uint8_t>(error > 255 ? 255 : error));
        // Nothing is served; the helper stays until the program has read the
        // refusal and hangs up (or sends anything).
        std::uint8_t any = 0;
        readAll(&any, 1, waitMask);
        return 1;
    }

    Session session(*ports, clientPace(argc, argv));
    if (!answer(kOk, 0))
        return 0;
    for (;;) {
        std::uint8_t head[2];
        const int got = readAll(head, 2, waitMask);
        if (got == 0 || g_stop) {
            session.restore(); // the program has gone (or the helper is told to stop)
            return 0;
        }
        if (got < 2)
            return refuse(session, "request cut short");
        const int length = head[1];
        if (length > kMaxPayload)
            return refuse(session, "request too long");
        std::uint8_t payload[kMaxPayload] = {};
        if (readAll(payload, length, waitMask) < length)
            return refuse(session, "request cut short");
        if (!waitUntil(session.earliest(head[0], payload, length), waitMask)) {
            session.restore();
            return 0;
        }
        std::uint8_t value = 0;
        if (!session.handle(head[0], payload, length, now(), &value))
            return refuse(session, "request refused");
        if (!answer(kOk, value)) {
            session.restore();
            return 0;
        }
    }
}
