#include "windows/SerialOpen.h"

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
    prompter.ask({QString(), portNotAvailableText(portNumber), Prompter::Button::Ok, Prompter::Button::Ok,
                  Prompter::Icon::None, reason});
}

} // namespace q5n
