#pragma once

#include "link/PortIo.h"
#include "model/ProgramState.h"
#include "platform/Clock.h"
#include "shell/AppContext.h"
#include "support/FormatsContext.h"
#include "support/PortThroughHelper.h"
#include "support/ScriptedPrompter.h"

#include <QDir>
#include <QTemporaryDir>

namespace q5n::test {

class FixedClock : public Clock
{
public:
    QDate date{2026, 12, 7};
    QDate today() const override { return date; }
};

// A fresh program state with scripted seams and private directories, per test.
struct TestContext
{
    QString path(const QString &name) const { return dir.filePath(name); }

    QTemporaryDir dir;
    ProgramState state;
    ScriptedPrompter prompter;
    SimulatedPortIo portIo{false};
    PortThroughHelper portThroughHelper{portIo}; // what the program's windows use
    FixedClock clock;
    AppContext context{state, prompter, portThroughHelper, clock, FormatsContext::makePaths(dir), {}};
    Paths &paths = context.paths;
};

} // namespace q5n::test
