#include "sim/KeyboardDecoder.h"

#include "link/PortIo.h"
#include "model/Text8.h"
#include "sim/DeviceProtocol.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

namespace q5n::sim {

namespace {

constexpr int kTokenSize = 5;
constexpr int kCollectGiveUpMs = 2000; // no further hex character for this long: the download is abandoned
constexpr int kShortReplyChars = 100;
constexpr char16_t kEndOfText = 3; // ends the typed memory data

bool isTokenLetter(QChar c)
{
    return c == u'A' || c == u'B' || c == u'C' || c == u'M' || c == u'N';
}

} // namespace

KeyboardDecoder::KeyboardDecoder(QObject *parent)
    : QObject(parent), m_target([] { return QApplication::focusWidget(); })
{
    m_collectTimer.setSingleShot(true);
    m_collectTimer.setInterval(kCollectGiveUpMs);
    connect(&m_collectTimer, &QTimer::timeout, this, [this] {
        log(QStringLiteral("download abandoned after %1 of %2 characters")
                .arg(m_collected.size())
                .arg(kKeyboardDownloadChars));
        m_state = State::Idle;
        m_collected.clear();
    });
    m_typeTimer.setSingleShot(true);
    connect(&m_typeTimer, &QTimer::timeout, this, &KeyboardDecoder::typeNextKey);
}

KeyboardDecoder::~KeyboardDecoder()
{
    detach();
}

void KeyboardDecoder::attach(SimulatedPortIo &io)
{
    detach();
    m_io = &io;
    io.setObserver([this](quint16 port, quint8 value) { portWritten(port, value); });
}

void KeyboardDecoder::detach()
{
    if (m_io)
        m_io->setObserver({});
    m_io = nullptr;
}

void KeyboardDecoder::portWritten(quint16 port, quint8 value)
{
    if (port != PortIo::kKeyboardDataPort)
        return;
    const QChar c = charFromByte(value);

    if (m_state == State::CollectingDownload) {
        m_collected += c;
        m_collectTimer.start();
        // The program did not see the "S" and sends its token again.
        if (m_collected.size() == kTokenSize && m_collected == QString(kTokenSize, m_downloadLetter)) {
            m_collected.clear();
            m_state = State::Idle;
            onToken(m_downloadLetter);
            return;
        }
        if (m_collected.size() == kKeyboardDownloadChars)
            finishDownload();
        return;
    }

    m_window += c;
    if (m_window.size() > kTokenSize)
        m_window.remove(0, m_window.size() - kTokenSize);
    if (m_window.size() == kTokenSize && isTokenLetter(m_window[0]) && m_window == QString(kTokenSize, m_window[0])) {
        const QChar letter = m_window[0];
        m_window.clear();
        onToken(letter);
    }
}

void KeyboardDecoder::onToken(QChar letter)
{
    m_lastToken = QString(kTokenSize, letter);
    log(QStringLiteral("token %1").arg(m_lastToken));
    Q_EMIT tokenRecognised(m_lastToken);
    if (m_model.fault == Fault::Silent) {
        log(QStringLiteral("fault silent: no answer"));
        return;
    }
    // A repeated token means the program missed the answer: start over.
    cancelTyping();
    type(QStringLiteral("S"), 0);

    const Fault fault = m_model.fault;
    const bool cut = fault == Fault::ShortReply || fault == Fault::HangUp;
    switch (letter.unicode()) {
    case u'A':
    case u'B':
        m_state = State::CollectingDownload;
        m_downloadLetter = letter;
        m_collected.clear();
        m_collectTimer.start();
        break;
    case u'C': {
        ++m_model.uploadsServed;
        QString reply = keyboardUploadText(m_model);
        if (fault == Fault::Refuse) {
            reply = QStringLiteral("E");
        } else if (fault == Fault::BadCheck) {
            // The check pair sits right after the section's hex text.
            const int checkAt = m_model.uploadSection == Section::Reader ? 1 + 2 * 60 : 1 + 2 * 25;
            reply[checkAt] = reply[checkAt] == u'5' ? u'A' : u'5';
        } else if (cut) {
            reply = reply.left(kShortReplyChars);
        }
        type(reply, m_replyGapMs);
        break;
    }
    case u'M': {
        ++m_model.memoryReads;
        if (fault == Fault::Refuse) {
            type(QStringLiteral("E"), m_replyGapMs);
            break;
        }
        QString text;
        for (const QByteArray &line : std::as_const(m_model.memoryLines))
            text += decode8(line) + QLatin1Char('\r');
        if (cut)
            text = text.left(text.size() / 2);
        else
            text += QChar(kEndOfText);
        type(text, m_replyGapMs);
        break;
    }
    case u'N':
        if (!cut && fault != Fault::Refuse) {
            ++m_model.memoryClears;
            m_model.memoryLines.clear();
        }
        break;
    default: break;
    }
}

void KeyboardDecoder::finishDownload()
{
    m_collectTimer.stop();
    m_state = State::Idle;
    const QString text = m_collected;
    m_collected.clear();
    const int command = m_downloadLetter == u'A' ? 1 : 2;
    const std::optional<ConfigImage> image = parseKeyboardDownload(text);
    const Fault fault = m_model.fault;
    if (!image || fault == Fault::Refuse) {
        ++m_model.downloadsRefused;
        log(QStringLiteral("download refused%1: %2").arg(image ? QStringLiteral(" (fault refuse)") : QString(), text));
        Q_EMIT downloadReceived(image.value_or(ConfigImage{}), command, false);
        type(QStringLiteral("E"), m_replyGapMs);
        return;
    }
    m_model.image = *image;
    m_model.lastDownloadCommand = command;
    ++m_model.downloadsAccepted;
    log(QStringLiteral("download accepted (%1): %2")
            .arg(command == 1 ? QStringLiteral("Save") : QStringLiteral("Not Save"), text));
    Q_EMIT downloadReceived(*image, command, true);
    if (fault == Fault::ShortReply || fault == Fault::HangUp) {
        log(QStringLiteral("fault %1: \"P\" withheld").arg(faultName(fault)));
        return;
    }
    type(QStringLiteral("P"), m_replyGapMs);
}

void KeyboardDecoder::type(const QString &text, int gapMs)
{
    if (text.isEmpty())
        return;
    const bool idle = m_queue.isEmpty();
    m_queue.append({text, gapMs});
    if (idle) {
        m_pos = 0;
        scheduleNext(gapMs);
    }
}

void KeyboardDecoder::cancelTyping()
{
    m_queue.clear();
    m_pos = 0;
    m_typeTimer.stop();
}

void KeyboardDecoder::scheduleNext(int extraMs)
{
    m_typeTimer.start(extraMs + m_keyDelayMs);
}

void KeyboardDecoder::typeNextKey()
{
    if (m_queue.isEmpty())
        return;
    Chunk &chunk = m_queue.first();
    postKey(chunk.text[m_pos]);
    ++m_pos;
    if (m_pos < chunk.text.size()) {
        scheduleNext(0);
        return;
    }
    const QString done = chunk.text;
    m_queue.removeFirst();
    m_pos = 0;
    log(QStringLiteral("typed %1")
            .arg(done.size() > 1 ? QStringLiteral("%1 characters").arg(done.size())
                                 : QStringLiteral("\"%1\"").arg(done)));
    if (!m_queue.isEmpty())
        scheduleNext(m_queue.first().gapMs);
    // Announced once its keys have been delivered (they are queued events too).
    QMetaObject::invokeMethod(
        this, [this, done] { Q_EMIT answerTyped(done); }, Qt::QueuedConnection);
}

void KeyboardDecoder::postKey(QChar ch)
{
    m_typed += ch;
    QWidget *target = m_target ? m_target() : nullptr;
    if (!target) {
        log(QStringLiteral("no widget has the focus: key lost"));
        return;
    }
    int key = Qt::Key_unknown;
    Qt::KeyboardModifiers mods = Qt::NoModifier;
    const char16_t c = ch.unicode();
    if (c == kEndOfText) {
        key = Qt::Key_C;
        mods = Qt::ControlModifier;
    } else if (c == u'\r') {
        key = Qt::Key_Return;
    } else if (c >= u'A' && c <= u'Z') {
        key = Qt::Key_A + (c - u'A');
        mods = Qt::ShiftModifier;
    } else if (c >= u'a' && c <= u'z') {
        key = Qt::Key_A + (c - u'a');
    } else if (c >= 0x20 && c < 0x7F) {
        key = c; // Qt's key codes of printable ASCII are the characters
    }
    const QString text(ch);
    QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyPress, key, mods, text));
    QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyRelease, key, mods, text));
}

} // namespace q5n::sim
