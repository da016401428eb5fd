#include "windows/SerialOpen.h"

#include "link/ComPorts.h"
#include "platform/Prompter.h"

namespace q5n {

QString portNotAvailableText(int portNumber)
{
    const QString number =
        portNumber < 0 ? QString::number(portNumber) : QLatin1Char(' ') + QString::number(portNumber);
    return QStringLiteral("COM") + number + QStringLiteral(": not available.");
}

void reportPortUnavailable(Prompter &prompter, int portNumber, const QString &reason)
{
    // A number kept for a device that is unplugged says which device that is.
    QString why = reason;
    if (portNumber >= 1 && portNumber <= kComPortCount) {
        const ComPort port = ComPorts().port(portNumber);
        if (port.device.isEmpty() && !port.identity.isEmpty())
            why = port.text + u'.';
    }
    prompter.ask({QString(), portNotAvailableText(portNumber), Prompter::Button::Ok, Prompter::Button::Ok,
                  Prompter::Icon::None, why});
}

} // namespace q5n
