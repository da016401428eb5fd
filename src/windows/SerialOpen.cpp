#include "windows/SerialOpen.h"

#include "link/SerialPort.h"
#include "model/ProgramState.h"
#include "platform/Prompter.h"

namespace q5n {

QString portNotAvailableText(int portNumber)
{
    const QString number = portNumber < 0 ? QString::number(portNumber)
                                          : QLatin1Char(' ') + QString::number(portNumber);
    return QStringLiteral("COM") + number + QStringLiteral(": not available.");
}

bool openLinkPort(SerialPort &port, const LinkSettings &settings, Prompter &prompter)
{
    // A settings text the port refuses is reported like a port that cannot
    // be opened, with the reason, instead of ending the program.
    const bool settingsOk = port.setSettings(settings.settingsText());
    if (port.portOpen())
        port.setPortOpen(false);
    port.clearOutBuffer();
    port.setCommPort(settings.portNumber);
    QString reason;
    bool opened = false;
    if (!settingsOk)
        reason = QStringLiteral("The settings \"%1\" are not valid.").arg(settings.settingsText());
    else if (port.setPortOpen(true))
        opened = true;
    else
        reason = port.openErrorText();
    if (opened)
        return true;
    prompter.ask({QString(), portNotAvailableText(settings.portNumber), Prompter::Button::Ok,
                  Prompter::Button::Ok, Prompter::Icon::None, reason});
    port.setPortOpen(false);
    return false;
}

} // namespace q5n
