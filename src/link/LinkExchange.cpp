#include "link/LinkExchange.h"

#include "link/AnswerSource.h"
#include "link/EventWait.h"
#include "link/KeyboardChannel.h"
#include "link/SerialPort.h"
#include "model/ProgramState.h"
#include "protocol/Memory.h"

#include <algorithm>
#include <tuple>

namespace q5n {

namespace {

constexpr int kCountdownMs = 100;

bool isLetter(const QString &text, char16_t letter)
{
    return text.toUpper() == QString(QChar(letter));
}

// The memory window's handshake answer: the last typed character is S or s.
bool endsWithS(const QString &text)
{
    return !text.isEmpty() && (text.back() == u'S' || text.back() == u's');
}

// A keyboard memory read is complete with the end character, or once the
// text is longer than the limit.
bool memoryTextComplete(const QString &text)
{
    return text.size() > kKeyboardMemoryLimit || (!text.isEmpty() && text.back() == QChar(kKeyboardMemoryEnd));
}

} // namespace

LinkExchange::LinkExchange(PortIo &portIo, const Timing &timing, AnswerSource *answers, QObject *parent)
    : QObject(parent), m_portIo(portIo), m_timing(timing), m_wait(std::make_shared<EventWait>()),
      m_port(new SerialPort(this)), m_answers(answers)
{
    m_keyboard = std::make_shared<KeyboardChannel>(portIo, *m_wait, answers);
    m_port->setObjectName(QStringLiteral("MSComm1"));
    connect(m_port, &SerialPort::onComm, this, &LinkExchange::onComm);
    connect(m_port, &SerialPort::portLost, this, &LinkExchange::onPortLost);

    m_serialTimeout.setSingleShot(true);
    m_serialTimeout.setTimerType(Qt::PreciseTimer);
    connect(&m_serialTimeout, &QTimer::timeout, this, [this] {
        if (m_request && !m_answered) {
            m_answered = true;
            m_serialResult = LinkResult::TimeOut;
        }
        m_wait->poke();
    });
    m_countdown.setInterval(kCountdownMs);
    connect(&m_countdown, &QTimer::timeout, this, &LinkExchange::reportWaiting);
}

LinkExchange::~LinkExchange()
{
    // A wait still running (only when the program is torn down around it)
    // returns Aborted and touches nothing of this object any more.
    *m_alive = false;
    m_wait->abort();
    m_port->setPortOpen(false);
}

void LinkExchange::setAnswerSource(AnswerSource *answers)
{
    if (m_answers)
        disconnect(m_answers, nullptr, this, nullptr);
    m_answers = answers;
    m_keyboard->setAnswerSource(answers);
}

void LinkExchange::abort()
{
    m_wait->abort();
}

LinkResult LinkExchange::finish(LinkResult result)
{
    m_running = false;
    stopWaiting();
    Q_EMIT waiting(Waiting::Nothing, -1);
    Q_EMIT finished(result);
    return result;
}

// ---- The decoder's exchanges ----------------------------------------------

LinkResult LinkExchange::download(const LinkSettings &settings, const ConfigImage &image, bool save)
{
    if (m_running)
        return LinkResult::Aborted;
    m_running = true;
    m_wait->reset();
    const auto alive = m_alive;
    const LinkResult result = settings.isRs232() ? downloadRs232(settings, image, save) : downloadKeyboard(image, save);
    return *alive ? finish(result) : LinkResult::Aborted;
}

LinkResult LinkExchange::upload(const LinkSettings &settings, UploadReply *reply)
{
    if (m_running)
        return LinkResult::Aborted;
    m_running = true;
    m_wait->reset();
    const auto alive = m_alive;
    UploadReply parsed;
    const LinkResult result = settings.isRs232() ? uploadRs232(settings, &parsed) : uploadKeyboard(&parsed);
    if (!*alive)
        return LinkResult::Aborted;
    if (reply && result == LinkResult::Good)
        *reply = parsed;
    return finish(result);
}

LinkResult LinkExchange::downloadRs232(const LinkSettings &settings, const ConfigImage &image, bool save)
{
    SerialRequest r;
    r.request = downloadFrame(image, save);
    r.threshold = 1;
    r.timeoutMs = m_timing.downloadAnswerMs;
    // Only the first byte counts: 0x07 is the decoder's acceptance.
    r.accept = [](const QByteArray &in) { return quint8(in.at(0)) == kDownloadAccepted; };
    return serialExchange(settings, r);
}

LinkResult LinkExchange::uploadRs232(const LinkSettings &settings, UploadReply *reply)
{
    SerialRequest r;
    r.request = uploadRequest();
    r.threshold = kUploadReplyThreshold;
    r.timeoutMs = m_timing.uploadReplyMs;
    r.accept = [reply](const QByteArray &in) {
        *reply = parseRs232UploadReply(in);
        return reply->valid;
    };
    return serialExchange(settings, r);
}

LinkResult LinkExchange::downloadKeyboard(const ConfigImage &image, bool save)
{
    const auto keep = std::make_tuple(m_alive, m_wait, m_keyboard);
    LinkResult result =
        handshake([save] { return downloadToken(save); }, [](const QString &text) { return isLetter(text, u'S'); },
                  m_timing.keyboardBytePauseMs);
    if (result != LinkResult::Good)
        return result;

    if (!m_wait->pause(m_timing.afterHandshakeMs)) {
        if (*m_alive)
            m_keyboard->releaseInterrupt();
        return LinkResult::Aborted;
    }
    // The hex pair of each image byte (progress counts the bytes), then the
    // pair of the check byte.
    const QString stream = keyboardDownloadStream(image);
    const int lastByte = kImageSize - 1;
    startWaiting(Waiting::Sending, -1);
    Q_EMIT progress(0, lastByte);
    for (int i = 0; i <= kImageSize; ++i) {
        if (!m_keyboard->sendText(stream.mid(2 * i, 2), m_timing.keyboardBytePauseMs)) {
            if (*m_alive)
                m_keyboard->releaseInterrupt();
            return LinkResult::Aborted;
        }
        if (i <= lastByte)
            Q_EMIT progress(i, lastByte);
    }
    return keyboardAnswer(
        m_timing.keyboardDownloadAnswerMs, [](const QString &text) { return isLetter(text, u'P'); },
        [](const QString &text) { return isLetter(text, u'P'); });
}

LinkResult LinkExchange::uploadKeyboard(UploadReply *reply)
{
    LinkResult result =
        handshake([] { return uploadToken(); }, [](const QString &text) { return isLetter(text, u'S'); },
                  m_timing.keyboardBytePauseMs);
    if (result != LinkResult::Good)
        return result;
    return keyboardAnswer(
        m_timing.keyboardTextMs, [](const QString &text) { return text.size() >= kKeyboardReplyLength; },
        [reply](const QString &text) {
            *reply = parseKeyboardUploadReply(text);
            return reply->valid;
        },
        kKeyboardReplyLength + 1);
}

// ---- Decoder memory --------------------------------------------------------

LinkResult LinkExchange::readMemory(const LinkSettings &settings,
                                    const std::function<void(const QList<QByteArray> &)> &lines, AnswerSource *typed)
{
    if (m_running)
        return LinkResult::Aborted;
    m_running = true;
    m_wait->reset();
    const auto alive = m_alive;
    const LinkResult result = settings.isRs232() ? readMemoryRs232(settings, lines) : readMemoryKeyboard(typed);
    return *alive ? finish(result) : LinkResult::Aborted;
}

LinkResult LinkExchange::readMemoryRs232(const LinkSettings &settings,
                                         const std::function<void(const QList<QByteArray> &)> &lines)
{
    if (!openPort(settings))
        return LinkResult::PortUnavailable;
    const auto alive = m_alive;
    const auto wait = m_wait;
    MemoryReassembler reassembler;
    MemoryBlockResult taken = MemoryBlockResult::Bad;
    LinkResult result = LinkResult::TimeOut;
    if (lines)
        lines({});
    // The request asks for the first block; each "S" for the next one.
    QByteArray request = memoryReadRequest();
    Q_EMIT progress(0, kMemoryMaxBlocks);
    for (int block = 0; block < kMemoryMaxBlocks; ++block) {
        SerialRequest r;
        r.request = request;
        r.threshold = kMemoryBlockSize;
        r.timeoutMs = m_timing.memoryAnswerMs;
        r.accept = [&](const QByteArray &in) {
            const MemoryBlockOutcome outcome = reassembler.takeBlock(in.left(kMemoryBlockSize));
            taken = outcome.result;
            if (!outcome.lines.isEmpty() && lines)
                lines(outcome.lines);
            return outcome.result != MemoryBlockResult::Bad;
        };
        result = serialRequest(r);
        if (!*alive)
            return LinkResult::Aborted;
        if (result == LinkResult::Aborted || result == LinkResult::PortLost)
            break;
        Q_EMIT progress(block + 1, kMemoryMaxBlocks);
        // No block, or a bad one, is answered "E".
        const QByteArray answer(1, result == LinkResult::Good ? memoryBlockAnswer(taken) : 'E');
        m_port->clearOutBuffer();
        if (result != LinkResult::Good || taken != MemoryBlockResult::Taken || block == kMemoryMaxBlocks - 1) {
            m_port->output(answer);
            m_port->flush();
            break;
        }
        request = answer;
    }
    closePort();
    return result;
}

LinkResult LinkExchange::readMemoryKeyboard(AnswerSource *typed)
{
    const auto alive = m_alive;
    const auto keep = std::make_tuple(m_wait, m_keyboard);
    LinkResult result = handshake([] { return memoryReadToken(); }, endsWithS, m_timing.memoryTokenPauseMs);
    if (result != LinkResult::Good)
        return result;
    // The data is typed into its own box; the handshake answer box is the
    // engine's source again afterwards.
    AnswerSource *const handshakeSource = m_answers;
    if (typed)
        setAnswerSource(typed);
    result = keyboardAnswer(m_timing.keyboardTextMs, memoryTextComplete, [](const QString &) { return true; });
    if (*alive && typed)
        setAnswerSource(handshakeSource);
    return result;
}

LinkResult LinkExchange::clearMemory(const LinkSettings &settings)
{
    if (m_running)
        return LinkResult::Aborted;
    m_running = true;
    m_wait->reset();
    const auto alive = m_alive;
    LinkResult result;
    if (settings.isRs232()) {
        SerialRequest r;
        r.request = memoryClearRequest();
        r.threshold = 1;
        r.timeoutMs = m_timing.memoryAnswerMs;
        r.accept = [](const QByteArray &in) { return quint8(in.at(0)) == kMemoryCleared; };
        result = serialExchange(settings, r);
    } else {
        const auto keep = std::make_tuple(m_alive, m_wait, m_keyboard);
        result = handshake([] { return memoryClearToken(); }, endsWithS, m_timing.memoryTokenPauseMs);
        // The keyboard interrupt is released once more after a clear.
        if (*alive && result == LinkResult::Good)
            m_keyboard->releaseInterrupt();
    }
    return *alive ? finish(result) : LinkResult::Aborted;
}

// ---- RS232 -----------------------------------------------------------------

bool LinkExchange::openPort(const LinkSettings &settings)
{
    m_portNumber = settings.portNumber;
    m_portError.clear();
    m_portLost = false;
    // A settings text the port refuses is reported like a port that cannot
    // be opened, with the reason, instead of ending the program.
    const bool settingsOk = m_port->setSettings(settings.settingsText());
    if (m_port->portOpen())
        m_port->setPortOpen(false);
    m_port->clearOutBuffer();
    m_port->setCommPort(settings.portNumber);
    if (!settingsOk)
        m_portError = QStringLiteral("The settings \"%1\" are not valid.").arg(settings.settingsText());
    else if (m_port->setPortOpen(true))
        return true;
    else
        m_portError = m_port->openErrorText();
    m_port->setPortOpen(false);
    return false;
}

void LinkExchange::closePort()
{
    m_port->setPortOpen(false);
}

LinkResult LinkExchange::serialExchange(const LinkSettings &settings, const SerialRequest &request)
{
    if (!openPort(settings))
        return LinkResult::PortUnavailable;
    const auto alive = m_alive;
    const LinkResult result = serialRequest(request);
    if (*alive)
        closePort();
    return result;
}

LinkResult LinkExchange::serialRequest(const SerialRequest &request)
{
    const auto keep = std::make_tuple(m_alive, m_wait);
    m_port->output(request.request);
    m_port->setInputLen(0);
    m_port->clearInBuffer();
    m_port->setRThreshold(request.threshold);
    m_port->setInputMode(1);

    // A line lost while the request was written ends the exchange at once.
    if (m_portLost || !m_port->portOpen())
        return LinkResult::PortLost;
    m_request = &request;
    m_answered = false;
    m_serialResult = LinkResult::TimeOut;
    m_serialTimeout.start(request.timeoutMs);
    startWaiting(Waiting::SerialAnswer, request.timeoutMs);
    const bool ended = m_wait->until([this] { return m_answered; });
    if (!*m_alive)
        return LinkResult::Aborted;
    m_serialTimeout.stop();
    m_request = nullptr;
    stopWaiting();
    return ended ? m_serialResult : LinkResult::Aborted;
}

void LinkExchange::onComm()
{
    // Without a request the bytes belong to whoever keeps the port open (the
    // test window); they are left in the buffer.
    if (m_port->commEvent() != SerialPort::kEventReceive || !m_request)
        return;
    const QByteArray in = m_port->input();
    // Only the first answer of a request counts; later bytes are dropped.
    if (m_answered || in.isEmpty())
        return;
    m_answered = true;
    m_serialResult = m_request->accept && m_request->accept(in) ? LinkResult::Good : LinkResult::Bad;
    m_wait->poke();
}

void LinkExchange::onPortLost()
{
    // The device went away; the adapter has already closed the port.
    m_portLost = true;
    if (!m_request || m_answered)
        return;
    m_answered = true;
    m_serialResult = LinkResult::PortLost;
    m_wait->poke();
}

// ---- Keyboard line -----------------------------------------------------------

LinkResult LinkExchange::handshake(const std::function<QString()> &token,
                                   const std::function<bool(const QString &)> &answered, int bytePauseMs)
{
    const auto keep = std::make_tuple(m_alive, m_wait, m_keyboard);
    KeyboardChannel::Handshake h;
    h.token = token;
    h.answered = answered;
    h.tickMs = m_timing.tokenTickMs;
    h.ticks = m_timing.tokenTicks;
    h.bytePauseMs = bytePauseMs;
    startWaiting(Waiting::Handshake, (h.ticks + 1) * h.tickMs);
    const int timeID = m_keyboard->handshake(h);
    if (!*m_alive)
        return LinkResult::Aborted;
    stopWaiting();
    if (timeID < 0)
        return LinkResult::Aborted;
    return timeID > h.ticks ? LinkResult::TimeOut : LinkResult::Good;
}

LinkResult LinkExchange::sendKeyboardText(const QString &text)
{
    const auto keep = std::make_tuple(m_alive, m_wait, m_keyboard);
    return m_keyboard->sendText(text, m_timing.keyboardBytePauseMs) ? LinkResult::Good : LinkResult::Aborted;
}

LinkResult LinkExchange::keyboardAnswer(int timeoutMs, const std::function<bool(const QString &)> &complete,
                                        const std::function<bool(const QString &)> &accept, int progressMaximum)
{
    const auto keep = std::make_tuple(m_alive, m_wait, m_keyboard);
    QMetaObject::Connection counting;
    if (progressMaximum > 0) {
        Q_EMIT progress(0, progressMaximum);
        if (m_answers)
            counting = connect(m_answers, &AnswerSource::changed, this, [this, progressMaximum] {
                Q_EMIT progress(std::min<int>(int(m_keyboard->answerText().size()), progressMaximum), progressMaximum);
            });
    }
    m_keyboard->prepareAnswerBox();
    startWaiting(Waiting::KeyboardAnswer, timeoutMs);
    m_keyboard->waitData(timeoutMs, [this, &complete] { return complete(m_keyboard->answerText()); });
    if (!*m_alive)
        return LinkResult::Aborted;
    disconnect(counting);
    stopWaiting();
    if (m_keyboard->aborted())
        return LinkResult::Aborted;
    // The outcome is read from the answer as it stands now: keys typed in the
    // same pass as the one that ended the wait count too.
    return accept(m_keyboard->answerText()) ? LinkResult::Good : LinkResult::Bad;
}

// ---- Progress ------------------------------------------------------------------

void LinkExchange::startWaiting(Waiting what, int msTotal)
{
    m_waitingFor = what;
    m_waitTotalMs = msTotal;
    m_waitClock.start();
    m_countdown.start();
    reportWaiting();
}

void LinkExchange::stopWaiting()
{
    m_countdown.stop();
    m_waitingFor = Waiting::Nothing;
}

void LinkExchange::reportWaiting()
{
    if (m_waitingFor == Waiting::Nothing)
        return;
    const int left = m_waitTotalMs < 0 ? -1 : std::max(0, m_waitTotalMs - int(m_waitClock.elapsed()));
    Q_EMIT waiting(m_waitingFor, left);
}

} // namespace q5n
