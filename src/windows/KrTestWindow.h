#pragma once

#include <QDialog>
#include <QTimer>

#include <memory>
#include <vector>

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace q5n {

class LinkExchange;
class LinkSession;
class ProgramHost;
struct AppContext;

// The keyboard and RS232 test DDT ("Keyboard_RS232 Test"), a modal window:
// what the decoder types lands in the keyboard box, which always holds the
// focus; what it sends on the serial port of the link settings is shown in the
// RS232 box, control codes by name in angle brackets. The port is open while
// the window is shown. The bytes of one transmission are gathered for a short
// time by a timer and shown as one batch; keys typed meanwhile are held and
// handled after the batch, in their order, so the window never freezes.
class KrTestWindow : public QDialog
{
    Q_OBJECT
public:
    // Batches and Enter keys a box takes before the next one empties it.
    static constexpr int kLinesBeforeEmptying = 41;
    // Characters either box holds at most, with or without line breaks: a
    // batch that would take the RS232 box past this empties it first, and so
    // does a key pressed in a keyboard box this full.
    static constexpr int kBoxLimit = 64 * 1024;

    explicit KrTestWindow(AppContext &context, QWidget *parent = nullptr);
    ~KrTestWindow() override;

    // Showing opens the serial port (or says it is not available), hiding
    // closes it.
    void setVisible(bool visible) override;

    bool portOpen() const;
    int kbLineCount() const { return m_kbLineCount; }
    int rsLineCount() const { return m_rsLineCount; }
    // A transmission is being gathered; keys wait until it is shown.
    bool gathering() const { return m_gather.isActive(); }
    LinkExchange &link() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildUi();
    // Opens the serial port of the link settings for the test; false (and
    // the "not available" box) when it cannot be opened.
    bool openTestPort();
    // The port went away (the adapter was pulled out): the label says so and
    // the Reopen button offers to open it again.
    void portWentAway();
    void reopen();
    void opening();
    void closing();
    void received(const QByteArray &bytes);
    void showBatch();
    void appendToRs232Box(const QString &text);
    void focusKeyboardBox();

    AppContext &m_ctx;
    QLabel *m_lblPort = nullptr;
    QPlainTextEdit *m_txtKB = nullptr;
    QPlainTextEdit *m_txtRS232 = nullptr;
    QPushButton *m_command1 = nullptr; // clears the RS232 box
    QPushButton *m_command2 = nullptr; // clears the keyboard box
    QCheckBox *m_check1 = nullptr;     // "CR+LF Enable"
    QPushButton *m_reopen = nullptr;   // shown while the port is away

    LinkSession *m_session = nullptr;
    QTimer m_gather;
    QByteArray m_batch; // what the running transmission brought so far
    std::vector<std::unique_ptr<QEvent>> m_heldKeys;
    bool m_replaying = false;
    quint16 m_kbLineCount = 0;
    quint16 m_rsLineCount = 0;
};

// Factory for the main window's "&KR Test".
QDialog *createKrTestWindow(ProgramHost &host);

} // namespace q5n
