#include "link/LinkExchange.h"

#include "link/AnswerSource.h"
#include "link/KeyboardChannel.h"
#include "link/SerialPort.h"
#include "model/ProgramState.h"

#include <QMetaMethod>

#include <algorithm>

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
    : QObject(parent), m_portIo(portIo), m_timing(timing), m_keyboard(new KeyboardChannel(portIo, answers, this)),
      m_port(new SerialPort(this)), m_answers(answers)
{
    m_port->setObjectName(QStringLiteral("MSComm1"));
    connect(m_port, &SerialPort::onComm, this, &LinkExchange::onComm);
    connect(m_port, &SerialPort::portLost, this, &LinkExchange::onPortLost);

    m_serialTimeout.setSingleShot(true);
    m_serialTimeout.setTimerType(Qt::PreciseTimer);
    // A probe's answer that began and did not complete is an answer, not silence.
    connect(&m_serialTimeout, &QTimer::timeout, this, [this] {
        if (m_awaiting)
            m_shortAnswer = {m_port->inBufferCount(), m_request.threshold};
        endSerial(m_request.firstByteMs < 0 ? LinkResult::Bad : LinkResult::TimeOut);
    });
    m_pause.setSingleShot(true);
    m_pause.setTimerType(Qt::PreciseTimer);
    connect(&m_pause, &QTimer::timeout, this, [this] {
        auto then = std::move(m_afterPause);
        m_afterPause = nullptr;
        if (then)
            then();
    });
    m_countdown.setInterval(kCountdownMs);
    connect(&m_countdown, &QTimer::timeout, this, &LinkExchange::reportWaiting);
}

LinkExchange::~LinkExchange()
{
    // An exchange still running ends here without a signal: nothing of it
    // outlives the engine.
    if (m_running)
        stopEverything();
    m_port->setPortOpen(false);
}

void LinkExchange::setAnswerSource(AnswerSource *answers)
{
    if (m_answers)
        disconnect(m_answers, nullptr, this, nullptr);
    m_answers = answers;
    m_keyboard->setAnswerSource(answers);
}

bool LinkExchange::begin()
{
    if (m_running && m_ending) {
        // The last exchange is over and its end only waits to be reported
        // from the event loop (a port that could not be opened ends that
        // way): it is reported now, so that the next exchange starts afresh
        // instead of being refused with the last one's reason.
        const LinkResult result = m_endResult;
        ++m_generation; // the queued report is dropped
        m_running = false;
        m_ending = false;
        Q_EMIT waiting(Waiting::Nothing, -1);
        Q_EMIT finished(result);
    }
    if (m_running)
        return false;
    m_running = true;
    m_ending = false;
    m_monitoring = false;
    m_shortAnswer = {0, 0};
    m_keyboardUsed = false;
    m_restore = nullptr;
    m_awaiting = false;
    ++m_generation;
    return true;
}

void LinkExchange::stopEverything()
{
    m_serialTimeout.stop();
    m_pause.stop();
    m_afterPause = nullptr;
    m_serialNext = nullptr;
    m_awaiting = false;
    m_monitoring = false;
    m_keyboard->cancel();
    disconnect(m_counting);
    // A keyboard exchange gives the interrupt back however it ends.
    if (m_keyboardUsed)
        m_keyboard->releaseInterrupt();
    m_keyboardUsed = false;
    if (m_restore)
        setAnswerSource(m_restore);
    m_restore = nullptr;
    m_port->setPortOpen(false);
    stopWaiting();
}

void LinkExchange::abort()
{
    if (!m_running)
        return;
    stopEverything();
    // Ended at once: a queued end of the exchange is dropped, and the engine
    // can start the next one right away.
    ++m_generation;
    m_running = false;
    m_ending = false;
    Q_EMIT waiting(Waiting::Nothing, -1);
    Q_EMIT finished(LinkResult::Aborted);
}

void LinkExchange::releasePort()
{
    if (!m_running)
        m_port->setPortOpen(false);
}

void LinkExchange::finish(LinkResult result)
{
    if (!m_holdPort || result != LinkResult::Good)
        m_port->setPortOpen(false);
    m_monitoring = false;
    m_keyboardUsed = false;
    stopWaiting();
    m_ending = true;
    m_endResult = result;
    // The end is reported from the event loop, so that it never comes from
    // within the call that started the exchange.
    QMetaObject::invokeMethod(
        this,
        [this, result, generation = m_generation] {
            if (generation != m_generation || !m_running)
                return;
            m_running = false;
            m_ending = false;
            Q_EMIT waiting(Waiting::Nothing, -1);
            Q_EMIT finished(result);
        },
        Qt::QueuedConnection);
}

// ---- The decoder's exchanges ----------------------------------------------

void LinkExchange::download(const LinkSettings &settings, const ConfigImage &image, bool save)
{
    if (!begin())
        return;
    if (settings.isRs232()) {
        SerialRequest r;
        r.request = downloadFrame(image, save);
        r.threshold = 1;
        r.timeoutMs = m_timing.downloadAnswerMs;
        // Only the first byte counts: 0x07 is the decoder's acceptance.
        r.accept = [](const QByteArray &in) { return quint8(in.at(0)) == kDownloadAccepted; };
        serialExchange(settings, r);
        return;
    }
    m_stream = keyboardDownloadStream(image);
    handshake([save] { return downloadToken(save); }, [](const QString &text) { return isLetter(text, u'S'); },
              m_timing.keyboardBytePauseMs,
              [this](LinkResult result) {
                  if (result != LinkResult::Good) {
                      finish(result);
                      return;
                  }
                  pause(m_timing.afterHandshakeMs, [this] {
                      // The hex pair of each image byte (progress counts the
                      // bytes), then the pair of the check byte.
                      startWaiting(Waiting::Sending, -1);
                      Q_EMIT progress(0, kImageSize - 1);
                      sendPair(0);
                  });
              });
}

void LinkExchange::sendPair(int pair)
{
    if (pair > kImageSize) {
        keyboardAnswer(
            m_timing.keyboardDownloadAnswerMs, [](const QString &text) { return isLetter(text, u'P'); },
            [](const QString &text) { return isLetter(text, u'P'); }, 0, [this](LinkResult r) { finish(r); });
        return;
    }
    m_keyboard->sendText(m_stream.mid(2 * pair, 2), m_timing.keyboardBytePauseMs, [this, pair] {
        if (pair <= kImageSize - 1)
            Q_EMIT progress(pair, kImageSize - 1);
        sendPair(pair + 1);
    });
}

void LinkExchange::probe(const LinkSettings &settings, int firstByteMs)
{
    if (!settings.isRs232() || !begin())
        return;
    m_reply = {};
    SerialRequest r;
    r.request = uploadRequest();
    r.threshold = kUploadReplyThreshold;
    r.timeoutMs = m_timing.uploadReplyMs;
    // The request's own bits on the line (at most 11 per byte) come first.
    const int sendMs = int((qint64(r.request.size()) * 11 * 1000 + settings.serial.baud - 1) / settings.serial.baud);
    r.firstByteMs = std::max(1, firstByteMs) + sendMs;
    r.accept = [this](const QByteArray &in) {
        const UploadReply parsed = parseRs232UploadReply(in.left(kUploadReplyThreshold));
        if (parsed.valid)
            m_reply = parsed;
        return parsed.valid;
    };
    serialExchange(settings, r);
}

void LinkExchange::upload(const LinkSettings &settings)
{
    if (!begin())
        return;
    m_reply = {};
    if (settings.isRs232()) {
        SerialRequest r;
        r.request = uploadRequest();
        r.threshold = kUploadReplyThreshold;
        r.timeoutMs = m_timing.uploadReplyMs;
        r.accept = [this](const QByteArray &in) {
            const UploadReply parsed = parseRs232UploadReply(in);
            if (parsed.valid)
                m_reply = parsed;
            return parsed.valid;
        };
        serialExchange(settings, r);
        return;
    }
    handshake([] { return uploadToken(); }, [](const QString &text) { return isLetter(text, u'S'); },
              m_timing.keyboardBytePauseMs,
              [this](LinkResult result) {
                  if (result != LinkResult::Good) {
                      finish(result);
                      return;
                  }
                  keyboardAnswer(
                      m_timing.keyboardTextMs, [](const QString &text) { return text.size() >= kKeyboardReplyLength; },
                      [this](const QString &text) {
                          const UploadReply parsed = parseKeyboardUploadReply(text);
                          if (parsed.valid)
                              m_reply = parsed;
                          return parsed.valid;
                      },
                      kKeyboardReplyLength + 1, [this](LinkResult r) { finish(r); });
              });
}

// ---- Decoder memory --------------------------------------------------------

void LinkExchange::readMemory(const LinkSettings &settings, Lines lines, AnswerSource *typed)
{
    if (!begin())
        return;
    m_lines = std::move(lines);
    if (settings.isRs232()) {
        if (!openPort(settings)) {
            finish(LinkResult::PortUnavailable);
            return;
        }
        m_reassembler.reset();
        m_taken = MemoryBlockResult::Bad;
        if (m_lines)
            m_lines({});
        // The request asks for the first block; each "S" for the next one.
        Q_EMIT progress(0, kMemoryMaxBlocks);
        readBlock(0, memoryReadRequest());
        return;
    }
    handshake([] { return memoryReadToken(); }, endsWithS, m_timing.memoryTokenPauseMs,
              [this, typed](LinkResult result) {
                  if (result != LinkResult::Good) {
                      finish(result);
                      return;
                  }
                  // The data is typed into its own box; the handshake answer
                  // box is the engine's source again afterwards.
                  if (typed) {
                      m_restore = m_answers;
                      setAnswerSource(typed);
                  }
                  keyboardAnswer(
                      m_timing.keyboardTextMs, memoryTextComplete, [](const QString &) { return true; }, 0,
                      [this](LinkResult r) {
                          if (m_restore)
                              setAnswerSource(m_restore);
                          m_restore = nullptr;
                          finish(r);
                      });
              });
}

void LinkExchange::readBlock(int block, const QByteArray &request)
{
    SerialRequest r;
    r.request = request;
    r.threshold = kMemoryBlockSize;
    r.timeoutMs = m_timing.memoryAnswerMs;
    r.accept = [this](const QByteArray &in) {
        const MemoryBlockOutcome outcome = m_reassembler.takeBlock(in.left(kMemoryBlockSize));
        m_taken = outcome.result;
        if (!outcome.lines.isEmpty() && m_lines)
            m_lines(outcome.lines);
        return outcome.result != MemoryBlockResult::Bad;
    };
    serialRequest(r, [this, block](LinkResult result) {
        if (result == LinkResult::PortLost) {
            finish(result);
            return;
        }
        Q_EMIT progress(block + 1, kMemoryMaxBlocks);
        // No block, or a bad one, is answered "E".
        const QByteArray answer(1, result == LinkResult::Good ? memoryBlockAnswer(m_taken) : 'E');
        m_port->clearOutBuffer();
        if (result != LinkResult::Good || m_taken != MemoryBlockResult::Taken || block == kMemoryMaxBlocks - 1) {
            m_port->output(answer);
            m_port->flush();
            finish(result);
            return;
        }
        readBlock(block + 1, answer);
    });
}

void LinkExchange::clearMemory(const LinkSettings &settings)
{
    if (!begin())
        return;
    if (settings.isRs232()) {
        SerialRequest r;
        r.request = memoryClearRequest();
        r.threshold = 1;
        r.timeoutMs = m_timing.memoryAnswerMs;
        r.accept = [](const QByteArray &in) { return quint8(in.at(0)) == kMemoryCleared; };
        serialExchange(settings, r);
        return;
    }
    handshake([] { return memoryClearToken(); }, endsWithS, m_timing.memoryTokenPauseMs,
              [this](LinkResult result) {
                  // The keyboard interrupt is released once more after a clear.
                  if (result == LinkResult::Good)
                      m_keyboard->releaseInterrupt();
                  finish(result);
              });
}

bool LinkExchange::monitor(const LinkSettings &settings)
{
    if (!begin())
        return false;
    if (!openPort(settings)) {
        finish(LinkResult::PortUnavailable);
        return false;
    }
    m_port->setInputLen(0);
    m_port->clearInBuffer();
    m_port->setRThreshold(1);
    m_port->setInputMode(1);
    m_monitoring = true;
    return true;
}

// ---- RS232 -----------------------------------------------------------------

bool LinkExchange::openPort(const LinkSettings &settings)
{
    m_portNumber = settings.portNumber;
    m_portError.clear();
    m_portLost = false;
    if (m_holdPort && m_port->portOpen() && m_port->commPort() == settings.portNumber &&
        m_port->settings() == settings.serial) {
        m_port->clearOutBuffer();
        return true;
    }
    m_port->setSettings(settings.serial);
    if (m_port->portOpen())
        m_port->setPortOpen(false);
    m_port->clearOutBuffer();
    m_port->setCommPort(settings.portNumber);
    if (m_port->setPortOpen(true))
        return true;
    m_portError = m_port->openErrorText();
    m_port->setPortOpen(false);
    return false;
}

void LinkExchange::serialExchange(const LinkSettings &settings, const SerialRequest &request)
{
    if (!openPort(settings)) {
        finish(LinkResult::PortUnavailable);
        return;
    }
    serialRequest(request, [this](LinkResult result) { finish(result); });
}

void LinkExchange::serialRequest(const SerialRequest &request, Next next)
{
    m_port->output(request.request);
    m_port->setInputLen(0);
    m_port->clearInBuffer();
    m_port->setRThreshold(request.firstByteMs > 0 ? 1 : request.threshold);
    m_port->setInputMode(1);

    // A line lost while the request was written ends the exchange at once.
    if (m_portLost || !m_port->portOpen()) {
        next(LinkResult::PortLost);
        return;
    }
    m_request = request;
    m_serialNext = std::move(next);
    m_awaiting = true;
    m_firstByte = request.firstByteMs > 0;
    m_requestClock.start();
    m_serialTimeout.start(m_firstByte ? std::min(request.firstByteMs, request.timeoutMs) : request.timeoutMs);
    startWaiting(Waiting::SerialAnswer, request.timeoutMs);
}

void LinkExchange::endSerial(LinkResult result)
{
    if (!m_awaiting)
        return;
    m_awaiting = false;
    m_firstByte = false;
    m_serialTimeout.stop();
    stopWaiting();
    auto next = std::move(m_serialNext);
    m_serialNext = nullptr;
    if (next)
        next(result);
}

void LinkExchange::onComm()
{
    if (m_port->commEvent() != SerialPort::kEventReceive)
        return;
    if (m_monitoring) {
        const QByteArray in = m_port->input();
        if (!in.isEmpty())
            Q_EMIT received(in);
        return;
    }
    // Only the first answer of a request counts; bytes that come with no
    // request waiting stay in the buffer, which the next request clears.
    if (!m_awaiting)
        return;
    // A probe's answer has begun: it is read to its end, in the time the
    // request has left.
    if (m_firstByte) {
        m_firstByte = false;
        m_request.firstByteMs = -1; // the answer has begun
        if (m_port->inBufferCount() < m_request.threshold) {
            m_serialTimeout.start(std::max<qint64>(0, m_request.timeoutMs - m_requestClock.elapsed()));
            m_port->setRThreshold(m_request.threshold);
            return;
        }
    }
    const QByteArray in = m_port->input();
    if (in.isEmpty())
        return;
    endSerial(m_request.accept && m_request.accept(in) ? LinkResult::Good : LinkResult::Bad);
}

void LinkExchange::onPortLost()
{
    // The device went away; the adapter has already closed the port.
    m_portLost = true;
    if (m_monitoring) {
        finish(LinkResult::PortLost);
        return;
    }
    endSerial(LinkResult::PortLost);
}

// ---- Keyboard line -----------------------------------------------------------

void LinkExchange::handshake(const std::function<QString()> &token,
                             const std::function<bool(const QString &)> &answered, int bytePauseMs, Next next)
{
    m_keyboardUsed = true;
    KeyboardChannel::Handshake h;
    h.token = token;
    h.answered = answered;
    h.tickMs = m_timing.tokenTickMs;
    h.ticks = m_timing.tokenTicks;
    h.bytePauseMs = bytePauseMs;
    startWaiting(Waiting::Handshake, (h.ticks + 1) * h.tickMs);
    m_keyboard->handshake(h, [this, ticks = h.ticks, next = std::move(next)](int timeID) {
        stopWaiting();
        next(timeID > ticks ? LinkResult::TimeOut : LinkResult::Good);
    });
}

void LinkExchange::keyboardAnswer(int timeoutMs, const std::function<bool(const QString &)> &complete,
                                  const std::function<bool(const QString &)> &accept, int progressMaximum, Next next)
{
    if (progressMaximum > 0) {
        Q_EMIT progress(0, progressMaximum);
        if (m_answers)
            m_counting = connect(m_answers, &AnswerSource::changed, this, [this, progressMaximum] {
                Q_EMIT progress(std::min<int>(int(m_keyboard->answerText().size()), progressMaximum), progressMaximum);
            });
    }
    m_keyboard->prepareAnswerBox();
    startWaiting(Waiting::KeyboardAnswer, timeoutMs);
    m_keyboard->waitData(
        timeoutMs, [this, complete] { return complete(m_keyboard->answerText()); },
        [this, accept, next = std::move(next)](bool) {
            disconnect(m_counting);
            stopWaiting();
            // The outcome is read from the answer as it stands now.
            next(accept(m_keyboard->answerText()) ? LinkResult::Good : LinkResult::Bad);
        });
}

void LinkExchange::pause(int ms, std::function<void()> then)
{
    if (ms <= 0) {
        then();
        return;
    }
    m_afterPause = std::move(then);
    m_pause.start(ms);
}

// ---- Progress ------------------------------------------------------------------

void LinkExchange::startWaiting(Waiting what, int msTotal)
{
    m_waitingFor = what;
    m_waitTotalMs = msTotal;
    m_waitClock.start();
    // The tenth-second ticks only for someone who listens.
    if (isSignalConnected(QMetaMethod::fromSignal(&LinkExchange::waiting)))
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
