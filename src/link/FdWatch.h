#pragma once

#include <QtGlobal>

#include <functional>
#include <memory>

class QSocketNotifier;

namespace q5n {

// Readiness of one open descriptor, to read (always watched: data, a hang-up,
// an error) and to write (watched while wanted), reported from the event
// loop. Every watch of a thread shares one epoll set, which the event loop
// watches as a single descriptor: the system then looks only at the
// descriptors that became ready, not at every open line each time the loop
// wakes, which with many lines open at once (a fleet of decoders) costs more
// than the exchanges themselves. Where no epoll set can be had, each watch
// falls back to a pair of socket notifiers. The callbacks may delete the
// watch.
class FdWatch
{
public:
    FdWatch(int fd, std::function<void()> onReadable, std::function<void()> onWritable);
    ~FdWatch();
    FdWatch(const FdWatch &) = delete;
    FdWatch &operator=(const FdWatch &) = delete;

    void setWriteWanted(bool wanted);
    bool writeWanted() const { return m_writeWanted; }

private:
    friend class FdWatchSet;
    int m_fd;
    quint64 m_id = 0; // its key in the thread's set; 0 with socket notifiers
    bool m_writeWanted = false;
    std::function<void()> m_onReadable;
    std::function<void()> m_onWritable;
    std::unique_ptr<QSocketNotifier> m_reader; // the fallback
    std::unique_ptr<QSocketNotifier> m_writer;
};

} // namespace q5n
