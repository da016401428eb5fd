#include "sim/KeyboardSimulation.h"

#include "model/TerminalText.h"

#include <cstdio>

namespace q5n::sim {

std::unique_ptr<KeyboardSimulation> KeyboardSimulation::fromEnvironment()
{
    if (qEnvironmentVariable(kEnvironmentVariable) != u"1")
        return nullptr;
    auto sim = std::make_unique<KeyboardSimulation>();
    QObject::connect(&sim->decoder, &KeyboardDecoder::logMessage, [](const QString &text) {
        std::fprintf(stderr, "keyboard decoder: %s\n", qPrintable(terminalText(text)));
    });
    return sim;
}

} // namespace q5n::sim
