#pragma once

// Running the link engine's exchanges to their end in a test.

#include "link/LinkExchange.h"
#include "windows/LinkWindow.h"

#include <QSignalSpy>

Q_DECLARE_METATYPE(q5n::LinkResult)

namespace q5n::test {

// Runs events until the exchange that `link` runs has finished; its result
// (Aborted when none came in time).
inline LinkResult resultOf(LinkExchange &link, int timeoutMs = 60000)
{
    QSignalSpy finished(&link, &LinkExchange::finished);
    if (!finished.wait(timeoutMs))
        return LinkResult::Aborted;
    return finished.first().first().value<LinkResult>();
}

// Runs events until the exchange a link window runs (if any) has ended.
inline bool settle(LinkWindow *window, int timeoutMs = 60000)
{
    if (!window || !window->busy())
        return true;
    QSignalSpy finished(&window->link(), &LinkExchange::finished);
    return finished.wait(timeoutMs) && !window->busy();
}

} // namespace q5n::test
