#include "windows/LinkMessages.h"

#include "link/ComPorts.h"

#include "platform/Prompter.h"
#include "protocol/Memory.h"
#include "protocol/Protocol.h"

#include <algorithm>

namespace q5n {

namespace {

// A time-out reads differently on the two channels: on the keyboard line it
// is the decoder that did not answer the token.
const QString kTimeOut = QStringLiteral("Time Out Error!");
const QString kHandshakeTimeOut = QStringLiteral("Times Out Error");

QString downloadOk(const LinkExchange &)
{
    return QStringLiteral("Download OK!");
}
QString uploadOk(const LinkExchange &)
{
    return QStringLiteral("   Upload OK!   ");
}
QString versionText(const LinkExchange &link)
{
    return firmwareVersionText(link.reply().versionPart1, link.reply().versionPart2);
}
QString readOk(const LinkExchange &)
{
    return memoryReadOkText();
}
QString clearOk(const LinkExchange &)
{
    return QStringLiteral("Clear Decoder Memory OK!");
}

// One row per exchange. A bad answer and a lost line are the exchange's
// failure; a time-out on the keyboard line may have a title of its own.
struct ExchangeTexts
{
    ExchangeKind kind;
    const char *title;
    const char *keyboardTimeOutTitle;
    QString (*good)(const LinkExchange &); // none: the window's good result shows no message
    const char *failed;
    bool keyboardTimeOutOnly; // on the keyboard line only a time-out is reported
};

const ExchangeTexts kTexts[] = {
    {ExchangeKind::Download, "CFG Message", "CFG Message", &downloadOk, "Download Failed!", false},
    {ExchangeKind::Upload, "Upload Message", "Upload Message", &uploadOk, "Upload Failed!", false},
    {ExchangeKind::FirmwareVersion, "Upload Message", "Upload Message", &versionText, "Upload Failed!", false},
    {ExchangeKind::ReadMemory, "Read Memory Message", "Read Decoder Memory Message", &readOk,
     "Read Decoder Memory Failed!", true},
    {ExchangeKind::ClearMemory, "Clear Memory Message", "Clear Decoder Memory Message", &clearOk,
     "Clear Decoder Memory Failed!", false},
    {ExchangeKind::CompareUpload, "Upload Message", "Upload Message", nullptr, "Upload Failed!", false},
};

} // namespace

LinkMessage resultMessage(ExchangeKind kind, LinkResult result, bool rs232, const LinkExchange &link)
{
    const auto *row =
        std::find_if(std::begin(kTexts), std::end(kTexts), [kind](const ExchangeTexts &t) { return t.kind == kind; });
    if (row == std::end(kTexts))
        return {};
    const QString title = QLatin1String(row->title);
    switch (result) {
    case LinkResult::Aborted:
    case LinkResult::PortUnavailable: return {};
    case LinkResult::TimeOut:
        return rs232 ? LinkMessage{title, kTimeOut}
                     : LinkMessage{QLatin1String(row->keyboardTimeOutTitle), kHandshakeTimeOut};
    case LinkResult::Good:
        if ((!rs232 && row->keyboardTimeOutOnly) || !row->good)
            return {};
        return {title, row->good(link)};
    case LinkResult::Bad:
    case LinkResult::PortLost:
        if (!rs232 && row->keyboardTimeOutOnly)
            return {};
        return {title, QLatin1String(row->failed)};
    }
    return {};
}

QString waitingLineText(LinkExchange::Waiting what, int msLeft, int portNumber)
{
    QString text;
    switch (what) {
    case LinkExchange::Waiting::Nothing: break;
    case LinkExchange::Waiting::SerialAnswer:
        text = QStringLiteral("Waiting for the decoder's answer on COM %1").arg(portNumber);
        break;
    case LinkExchange::Waiting::Handshake: text = QStringLiteral("Calling the decoder on the keyboard line"); break;
    case LinkExchange::Waiting::Sending: text = QStringLiteral("Sending on the keyboard line"); break;
    case LinkExchange::Waiting::KeyboardAnswer:
        text = QStringLiteral("Waiting for the decoder's answer on the keyboard line");
        break;
    }
    if (!text.isEmpty() && msLeft >= 0)
        text += QStringLiteral(": %1 s left").arg(QString::number((msLeft + 99) / 100 / 10.0, 'f', 1));
    return text;
}

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
