#include "link/FdWatch.h"

#include <QHash>
#include <QSocketNotifier>

#include <sys/epoll.h>
#include <unistd.h>

namespace q5n {

// Calls a watch's callback from a copy: the callback may delete the watch.
static void call(const std::function<void()> &callback)
{
    const std::function<void()> copy = callback;
    copy();
}

// The epoll set of one thread: made with its first watch, closed with its
// last, so that no descriptor outlives the lines it watches.
class FdWatchSet
{
public:
    static FdWatchSet *forThisThread(bool make)
    {
        if (!t_set && make) {
            const int epoll = ::epoll_create1(EPOLL_CLOEXEC);
            if (epoll >= 0)
                t_set = new FdWatchSet(epoll);
        }
        return t_set;
    }

    bool add(FdWatch *watch)
    {
        const quint64 id = ++m_lastId;
        epoll_event ev{};
        ev.events = EPOLLIN | EPOLLRDHUP;
        ev.data.u64 = id;
        if (::epoll_ctl(m_epoll, EPOLL_CTL_ADD, watch->m_fd, &ev) != 0)
            return false;
        watch->m_id = id;
        m_watches.insert(id, watch);
        return true;
    }

    void setWriteWanted(FdWatch *watch, bool wanted)
    {
        epoll_event ev{};
        ev.events = EPOLLIN | EPOLLRDHUP | (wanted ? EPOLLOUT : 0u);
        ev.data.u64 = watch->m_id;
        ::epoll_ctl(m_epoll, EPOLL_CTL_MOD, watch->m_fd, &ev);
    }

    void remove(FdWatch *watch)
    {
        ::epoll_ctl(m_epoll, EPOLL_CTL_DEL, watch->m_fd, nullptr);
        m_watches.remove(watch->m_id);
        releaseIfEmpty();
    }

    void releaseIfEmpty()
    {
        if (!m_watches.isEmpty())
            return;
        if (m_dispatching > 0)
            m_closeAfterDispatch = true;
        else
            delete this;
    }

private:
    explicit FdWatchSet(int epoll) : m_epoll(epoll), m_notifier(epoll, QSocketNotifier::Read)
    {
        QObject::connect(&m_notifier, &QSocketNotifier::activated, [this] { dispatch(); });
    }
    ~FdWatchSet()
    {
        t_set = nullptr;
        ::close(m_epoll);
    }

    void dispatch()
    {
        epoll_event events[64];
        const int n = ::epoll_wait(m_epoll, events, 64, 0);
        ++m_dispatching; // a callback may run an event loop that dispatches again
        for (int i = 0; i < n; ++i) {
            const quint64 id = events[i].data.u64;
            const quint32 what = events[i].events;
            // A callback may have removed this watch, or any other: each is
            // looked up again before it is called.
            if (FdWatch *w = m_watches.value(id); w && (what & (EPOLLIN | EPOLLRDHUP | EPOLLHUP | EPOLLERR)))
                call(w->m_onReadable);
            if (FdWatch *w = m_watches.value(id); w && w->m_writeWanted && (what & (EPOLLOUT | EPOLLERR)))
                call(w->m_onWritable);
        }
        if (--m_dispatching > 0)
            return;
        if (m_closeAfterDispatch && m_watches.isEmpty())
            delete this;
        else
            m_closeAfterDispatch = false;
    }

    static thread_local FdWatchSet *t_set;
    int m_epoll;
    QSocketNotifier m_notifier;
    QHash<quint64, FdWatch *> m_watches;
    quint64 m_lastId = 0;
    int m_dispatching = 0; // depth of dispatch() calls running
    bool m_closeAfterDispatch = false;
};

thread_local FdWatchSet *FdWatchSet::t_set = nullptr;

FdWatch::FdWatch(int fd, std::function<void()> onReadable, std::function<void()> onWritable)
    : m_fd(fd), m_onReadable(std::move(onReadable)), m_onWritable(std::move(onWritable))
{
    FdWatchSet *set = FdWatchSet::forThisThread(true);
    if (set && set->add(this))
        return;
    // No epoll set here (or the descriptor cannot join one): a notifier for
    // each direction.
    if (set)
        set->releaseIfEmpty();
    m_reader = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    QObject::connect(m_reader.get(), &QSocketNotifier::activated, [this] { call(m_onReadable); });
    m_writer = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write);
    m_writer->setEnabled(false);
    QObject::connect(m_writer.get(), &QSocketNotifier::activated, [this] { call(m_onWritable); });
}

FdWatch::~FdWatch()
{
    if (m_id != 0)
        if (FdWatchSet *set = FdWatchSet::forThisThread(false))
            set->remove(this);
}

void FdWatch::setWriteWanted(bool wanted)
{
    if (wanted == m_writeWanted)
        return;
    m_writeWanted = wanted;
    if (m_writer)
        m_writer->setEnabled(wanted);
    else if (FdWatchSet *set = FdWatchSet::forThisThread(false))
        set->setWriteWanted(this, wanted);
}

} // namespace q5n
