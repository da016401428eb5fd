#pragma once

#include "model/ConfigImage.h"
#include "sim/DecoderModel.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

class QWidget;

namespace q5n {
class SimulatedPortIo;
}

namespace q5n::sim {

// A decoder on the keyboard line, in process: it listens to the bytes the
// program writes to the keyboard controller's data port (through a
// SimulatedPortIo) and answers by typing key events into the widget that has
// the focus when each key is typed, one key per keyDelay, from timers.
//
//   "AAAAA" / "BBBBB"  -> "S", then 172 hex characters are collected -> "P" (or "E")
//   "CCCCC"            -> "S", then the 145-character upload reply
//   "MMMMM"            -> "S", then the memory lines (each ended by Return) and the character 3
//   "NNNNN"            -> "S"; the memory is cleared
class KeyboardDecoder : public QObject
{
    Q_OBJECT
public:
    explicit KeyboardDecoder(QObject *parent = nullptr);
    ~KeyboardDecoder() override;

    // Listens to `io` (replaces its observer) until detach() or destruction.
    // The decoder must not outlive `io` unless detached first.
    void attach(SimulatedPortIo &io);
    void detach();

    DecoderModel &model() { return m_model; }
    const DecoderModel &model() const { return m_model; }
    void setFault(Fault fault) { m_model.fault = fault; }
    void setSection(Section section) { m_model.uploadSection = section; }
    void setVersionText(const QString &text) { m_model.setVersionText(text); }
    void setImage(const ConfigImage &image) { m_model.image = image; }

    // Time between two typed keys (default 8 ms) and between an "S" (or the
    // last data byte) and the answer that follows it (default 100 ms).
    void setKeyDelayMs(int ms) { m_keyDelayMs = qMax(0, ms); }
    void setReplyGapMs(int ms) { m_replyGapMs = qMax(0, ms); }
    // Where keys go; by default QApplication::focusWidget() at the moment of typing.
    void setTargetResolver(std::function<QWidget *()> resolver) { m_target = std::move(resolver); }

    // Feeds one byte as if written to `port` (what the attached port I/O calls).
    void portWritten(quint16 port, quint8 value);

    // What the decoder types after a scan or a card swipe: the text, then Return.
    void typeScan(const QString &text) { type(text + QLatin1Char('\r'), 0); }

    bool isTyping() const { return !m_queue.isEmpty(); }
    // Everything typed since the start (or clearTyped()), for tests and the log.
    QString typedText() const { return m_typed; }
    void clearTyped() { m_typed.clear(); }
    QString lastToken() const { return m_lastToken; }

Q_SIGNALS:
    void tokenRecognised(const QString &token);
    void downloadReceived(const q5n::ConfigImage &image, int command, bool accepted);
    void answerTyped(const QString &text); // once a whole answer has been typed
    void logMessage(const QString &text);

private:
    enum class State { Idle, CollectingDownload };

    struct Chunk
    {
        QString text;
        int gapMs;
    };

    void onToken(QChar letter);
    void finishDownload();
    void type(const QString &text, int gapMs);
    void cancelTyping();
    void scheduleNext(int extraMs);
    void typeNextKey();
    void postKey(QChar ch);
    void log(const QString &text) { Q_EMIT logMessage(text); }

    DecoderModel m_model;
    SimulatedPortIo *m_io = nullptr;
    std::function<QWidget *()> m_target;
    int m_keyDelayMs = 8;
    int m_replyGapMs = 100;

    State m_state = State::Idle;
    QString m_window; // the last bytes written while idle, for token recognition
    QChar m_downloadLetter;
    QString m_collected;   // hex characters of a download
    QTimer m_collectTimer; // a download that stops coming is given up

    QList<Chunk> m_queue;
    int m_pos = 0; // next character of m_queue.first()
    QTimer m_typeTimer;
    QString m_typed;
    QString m_lastToken;
};

} // namespace q5n::sim
