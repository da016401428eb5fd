#pragma once

#include "link/PortIo.h"
#include "sim/KeyboardDecoder.h"

#include <memory>

namespace q5n::sim {

// A simulated port I/O with a keyboard-line decoder listening to it: what the
// program uses instead of the hardware when started with Q5NCFG_KEYBOARD_SIM=1.
class KeyboardSimulation
{
public:
    static constexpr const char *kEnvironmentVariable = "Q5NCFG_KEYBOARD_SIM";

    KeyboardSimulation() { decoder.attach(portIo); }
    ~KeyboardSimulation() { decoder.detach(); }

    // A simulation when the environment asks for one (Q5NCFG_KEYBOARD_SIM=1), else nothing.
    static std::unique_ptr<KeyboardSimulation> fromEnvironment();

    SimulatedPortIo portIo{true};
    KeyboardDecoder decoder;
};

} // namespace q5n::sim
