#pragma once

#include <QObject>

#include <functional>
#include <vector>

class QEventLoop;

namespace q5n {

// Waiting while window events run, without spinning: each wait is a nested
// QEventLoop that sleeps in the event dispatcher until something that may end
// it happens. Whatever can end a wait (a timer tick, a received byte, a typed
// character) calls poke(), which re-tests the conditions of the running waits.
class EventWait : public QObject
{
    Q_OBJECT
public:
    explicit EventWait(QObject *parent = nullptr);
    ~EventWait() override;

    // Runs events until `done` returns true. False when the wait was aborted
    // (abort(), or the application is leaving its event loops) before that.
    bool until(std::function<bool()> done);
    // Runs events for `ms` milliseconds. False when aborted.
    bool pause(int ms);

    // Re-tests the running waits and ends those whose condition holds.
    void poke();

    // Ends every running wait at once; until() and pause() return false from
    // now on, until reset().
    void abort();
    void reset() { m_aborted = false; }
    bool aborted() const { return m_aborted; }

    // How many waits are running (nested).
    int depth() const { return int(m_waits.size()); }

private:
    struct Wait
    {
        QEventLoop *loop;
        std::function<bool()> done;
        bool *satisfied; // set once the condition held
    };
    bool run(QEventLoop &loop, std::function<bool()> done);

    std::vector<Wait> m_waits;
    bool m_aborted = false;
};

} // namespace q5n
