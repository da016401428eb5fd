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
    m_waits.push_back({&loop, std::move(done)});
    const Wait &self = m_waits.back();
    bool finished = self.done();
    if (!finished && !m_aborted) {
        loop.exec();
        finished = !m_aborted && std::find_if(m_waits.begin(), m_waits.end(), [&](const Wait &w) {
                                     return w.loop == &loop;
                                 })->done();
        // Left without its condition and without abort(): the application is
        // shutting its event loops down.
        if (!finished)
            m_aborted = true;
    }
    m_waits.erase(std::find_if(m_waits.begin(), m_waits.end(), [&](const Wait &w) { return w.loop == &loop; }));
    return finished && !m_aborted;
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
    connect(&timer, &QTimer::timeout, &loop, [&] {
        elapsed = true;
        loop.quit();
    });
    timer.start(ms);
    return run(loop, [&] { return elapsed; });
}

void EventWait::poke()
{
    // A condition may start or end nothing here; it only reads state.
    for (const Wait &w : m_waits)
        if (w.done())
            w.loop->quit();
}

void EventWait::abort()
{
    m_aborted = true;
    for (const Wait &w : m_waits)
        w.loop->quit();
}

} // namespace q5n
