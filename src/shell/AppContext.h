#pragma once

#include "link/Timing.h"
#include "platform/Paths.h"

namespace q5n {

class ProgramState;
class Prompter;
class PortIo;
class Clock;

// What every window is given: the one program state and the seams to the
// outside world. The program builds the real ones; tests build their own.
struct AppContext
{
    ProgramState &state;
    Prompter &prompter;
    PortIo &portIo;
    const Clock &clock;
    Paths paths;
    Timing timing;
};

} // namespace q5n
