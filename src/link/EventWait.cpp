#include "link/EventWait.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>

namespace q5n {

EventWait::EventWait(QObject *parent) : QObject(parent)
{
    // A program that quits ends its event loops, the nested ones included:
    // whatever waits then sees an aborted wait.
    if (QCoreApplication::instance())
        connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this, &EventWait::abort);
}

EventWait::~EventWait()
{
    abort();
}

bool EventWait::run(QEventLoop &loop, std::function<bool()> done)
{
    bool satisfied = done();
    if (!satisfied && !m_aborted) {
        m_waits.push_back({&loop, std::move(done), &satisfied});
        loop.exec();
        m_waits.erase(std::find_if(m_waits.begin(), m_waits.end(), [&](const Wait &w) { return w.loop == &loop; }));
        // Left without its condition and without abort(): the application is
        // shutting its event loops down.
        if (!satisfied)
            m_aborted = true;
    }
    return satisfied && !m_aborted;
}

bool EventWait::until(std::function<bool()> done)
{
    if (m_aborted)
        return false;
    QEventLoop loop;
    return run(loop, std::move(done));
}

bool EventWait::pause(int ms)
{
    if (m_aborted)
        return false;
    if (ms <= 0)
        return true;
    QEventLoop loop;
    bool elapsed = false;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    connect(&timer, &QTimer::timeout, this, [&] {
        elapsed = true;
        poke();
    });
    timer.start(ms);
    return run(loop, [&] { return elapsed; });
}

void EventWait::poke()
{
    // A wait ends once its condition has held; what it then returns is for
    // the caller to read from the state afterwards.
    for (const Wait &w : m_waits) {
        if (!*w.satisfied && w.done()) {
            *w.satisfied = true;
            w.loop->quit();
        }
    }
}

void EventWait::abort()
{
    m_aborted = true;
    for (const Wait &w : m_waits)
        w.loop->quit();
}

} // namespace q5n
