#include "windows/KrTestWindow.h"

#include "link/LinkExchange.h"
#include "link/SerialPort.h"
#include "model/Notation.h"
#include "model/ProgramState.h"
#include "model/Text8.h"
#include "shell/AppContext.h"
#include "shell/ProgramHost.h"
#include "windows/LinkSession.h"
#include "windows/TabTextBox.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QEvent>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextCursor>
#include <QVBoxLayout>

namespace q5n {

namespace {

// A box of the test: white text on black, fixed pitch, a vertical scroll bar.
QPlainTextEdit *testBox(QPlainTextEdit *box, const QString &name, const QString &accessibleName)
{
    box->setObjectName(name);
    box->setAccessibleName(accessibleName);
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    box->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    QPalette p = box->palette();
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        p.setColor(g, QPalette::Base, Qt::black);
        p.setColor(g, QPalette::Text, Qt::white);
    }
    box->setPalette(p);
    return box;
}

bool isEnterKey(const QKeyEvent *key)
{
    return key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
}

} // namespace

KrTestWindow::KrTestWindow(AppContext &context, QWidget *parent) : QDialog(parent), m_ctx(context)
{
    setObjectName(QStringLiteral("DDT"));
    setWindowTitle(QStringLiteral("Keyboard_RS232 Test"));
    setModal(true);
    buildUi();

    // Nothing else is disabled while the test listens: the window is modal.
    m_session = new LinkSession(context, nullptr, this);
    connect(&link(), &LinkExchange::received, this, &KrTestWindow::received);
    connect(&link(), &LinkExchange::finished, this, [this](LinkResult r) {
        if (r == LinkResult::PortLost && isVisible())
            portWentAway();
    });
    m_gather.setSingleShot(true);
    m_gather.setTimerType(Qt::PreciseTimer);
    connect(&m_gather, &QTimer::timeout, this, &KrTestWindow::showBatch);
}

KrTestWindow::~KrTestWindow() = default;

LinkExchange &KrTestWindow::link() const
{
    return m_session->link();
}

QDialog *createKrTestWindow(ProgramHost &host)
{
    return new KrTestWindow(host.context(), host.hostWindow());
}

void KrTestWindow::buildUi()
{
    auto *label1 = new QLabel(QStringLiteral("Keyboard_RS232 Test"), this);
    label1->setObjectName(QStringLiteral("Label1"));
    QFont heading = label1->font();
    heading.setBold(true);
    heading.setPointSizeF(heading.pointSizeF() * 1.5);
    label1->setFont(heading);
    label1->setAlignment(Qt::AlignCenter);

    auto *label2 = new QLabel(QStringLiteral("Keyboard"), this);
    label2->setObjectName(QStringLiteral("Label2"));
    auto *label4 = new QLabel(QStringLiteral("RS232"), this);
    label4->setObjectName(QStringLiteral("Label4"));
    m_lblPort = new QLabel(this);
    m_lblPort->setObjectName(QStringLiteral("LblPort"));
    m_lblPort->setTextFormat(Qt::PlainText);

    // A Tab the decoder types is text; Ctrl+Tab leaves the box.
    m_txtKB = testBox(new TabTextBox(this), QStringLiteral("txtKB"), QStringLiteral("Keyboard"));
    m_txtRS232 = testBox(new QPlainTextEdit(this), QStringLiteral("TxtRS232"), QStringLiteral("RS232"));
    m_txtRS232->setReadOnly(true);
    m_txtRS232->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    // Never a Tab stop: the focus it receives goes on to the keyboard box.
    m_txtRS232->setFocusPolicy(Qt::ClickFocus);
    label2->setBuddy(m_txtKB);
    label4->setBuddy(m_txtRS232);

    m_command2 = new QPushButton(QStringLiteral("Clear"), this);
    m_command2->setObjectName(QStringLiteral("Command2"));
    m_command2->setAccessibleName(QStringLiteral("Clear keyboard"));
    m_command1 = new QPushButton(QStringLiteral("Clear"), this);
    m_command1->setObjectName(QStringLiteral("Command1"));
    m_command1->setAccessibleName(QStringLiteral("Clear RS232"));
    m_check1 = new QCheckBox(QStringLiteral("CR+LF Enable"), this);
    m_check1->setObjectName(QStringLiteral("Check1"));
    m_reopen = new QPushButton(QStringLiteral("&Reopen"), this);
    m_reopen->setObjectName(QStringLiteral("cmdReopen"));
    m_reopen->setAccessibleName(QStringLiteral("Reopen the serial port"));
    m_reopen->hide();
    connect(m_reopen, &QPushButton::clicked, this, &KrTestWindow::reopen);
    for (QPushButton *b : {m_command1, m_command2, m_reopen}) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }

    connect(m_command2, &QPushButton::clicked, this, [this] {
        m_txtKB->clear();
        focusKeyboardBox();
    });
    connect(m_command1, &QPushButton::clicked, this, [this] {
        m_txtRS232->clear();
        focusKeyboardBox();
    });
    // Any change of the check box (click, key, accessibility action) gives
    // the focus back; its state is read when a batch is shown.
    connect(m_check1, &QCheckBox::clicked, this, &KrTestWindow::focusKeyboardBox);

    m_txtKB->installEventFilter(this);
    m_txtRS232->installEventFilter(this);

    auto *kbRow = new QHBoxLayout;
    kbRow->addWidget(label2);
    kbRow->addStretch(1);
    kbRow->addWidget(m_command2);

    auto *rsRow = new QHBoxLayout;
    rsRow->addWidget(label4);
    rsRow->addSpacing(16);
    rsRow->addWidget(m_lblPort);
    rsRow->addSpacing(8);
    rsRow->addWidget(m_reopen);
    rsRow->addStretch(1);
    rsRow->addWidget(m_check1);
    rsRow->addSpacing(12);
    rsRow->addWidget(m_command1);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(label1);
    layout->addSpacing(6);
    layout->addLayout(kbRow);
    layout->addWidget(m_txtKB, 1);
    layout->addSpacing(6);
    layout->addLayout(rsRow);
    layout->addWidget(m_txtRS232, 1);

    // Keyboard order as on screen: each row of the window from left to right.
    setTabOrder(m_command2, m_txtKB);
    setTabOrder(m_txtKB, m_reopen);
    setTabOrder(m_reopen, m_check1);
    setTabOrder(m_check1, m_command1);
    resize(640, 480);
}

bool KrTestWindow::portOpen() const
{
    return link().serialPort().portOpen();
}

void KrTestWindow::focusKeyboardBox()
{
    m_txtKB->setFocus(Qt::OtherFocusReason);
}

// ---- Opening and closing ------------------------------------------------------

void KrTestWindow::setVisible(bool visible)
{
    const bool wasVisible = isVisible();
    if (visible && !wasVisible)
        opening();
    QDialog::setVisible(visible);
    if (!visible && wasVisible)
        closing();
    if (visible && !wasVisible)
        focusKeyboardBox();
}

void KrTestWindow::opening()
{
    // Each test starts with empty boxes; the counts carry over unless the port opens.
    m_txtKB->clear();
    m_txtRS232->clear();
    m_check1->setChecked(true);
    m_batch.clear();
    if (openTestPort()) {
        m_kbLineCount = 0;
        m_rsLineCount = 0;
    }
}

bool KrTestWindow::openTestPort()
{
    const LinkSettings &l = m_ctx.state.linkSettings;
    m_lblPort->setText(QStringLiteral("COM %1 :  %2").arg(l.portNumber).arg(serialSettingsText(l.serial)));
    m_reopen->hide();
    // The serial port of the link settings, whatever the link mode.
    // A port that cannot be opened is reported; the window stays a keyboard test.
    return m_session->monitor(l);
}

void KrTestWindow::portWentAway()
{
    // What was received stays in the box; the keyboard test goes on.
    m_gather.stop();
    showBatch();
    const LinkSettings &l = m_ctx.state.linkSettings;
    m_lblPort->setText(QStringLiteral("COM %1 :  the port went away").arg(l.portNumber));
    m_reopen->show();
}

void KrTestWindow::reopen()
{
    openTestPort();
    focusKeyboardBox();
}

void KrTestWindow::closing()
{
    m_reopen->hide();
    m_gather.stop();
    m_heldKeys.clear();
    link().abort();
}

// ---- Received bytes -------------------------------------------------------------

void KrTestWindow::received(const QByteArray &bytes)
{
    m_batch += bytes;
    // The first bytes of a transmission start the gathering; the rest of it
    // arrives meanwhile and is shown with them.
    if (!m_gather.isActive())
        m_gather.start(m_ctx.timing.longPauseMs);
}

void KrTestWindow::showBatch()
{
    const QByteArray in = std::exchange(m_batch, {});
    if (!in.isEmpty()) {
        if (m_rsLineCount > kLinesBeforeEmptying - 1) {
            m_rsLineCount = 0;
            m_txtRS232->clear();
        }
        const bool lineBreak = m_check1->isChecked();
        // A batch longer than the box may hold shows its end.
        QStringList shown;
        qsizetype size = lineBreak ? 1 : 0;
        for (qsizetype i = in.size() - 1; i >= 0; --i) {
            const auto b = quint8(in[i]);
            QString one = b > 31 ? QString(charFromByte(b)) : u'<' + controlName(b) + u'>';
            if (size + one.size() > kBoxLimit)
                break;
            size += one.size();
            shown.prepend(std::move(one));
        }
        QString text = shown.join(QString());
        if (lineBreak) {
            text += u'\n';
            ++m_rsLineCount;
        }
        // Run-on text (no line breaks to count) is bounded by its size.
        if (m_txtRS232->document()->characterCount() - 1 + text.size() > kBoxLimit)
            m_txtRS232->clear();
        appendToRs232Box(text);
    }
    // The keys typed while the batch was gathered, in their order.
    std::vector<std::unique_ptr<QEvent>> held;
    held.swap(m_heldKeys);
    m_replaying = true;
    for (const auto &event : held)
        QCoreApplication::sendEvent(m_txtKB, event.get());
    m_replaying = false;
}

// At the end of the RS232 box, wherever the user clicked: a selection made to
// copy stays as it is, and the box scrolls to the new end.
void KrTestWindow::appendToRs232Box(const QString &text)
{
    const QTextCursor user = m_txtRS232->textCursor();
    const int anchor = user.anchor();
    const int position = user.position();
    QTextCursor end(m_txtRS232->document());
    end.movePosition(QTextCursor::End);
    end.insertText(text);
    if (user.hasSelection()) {
        QTextCursor kept(m_txtRS232->document());
        kept.setPosition(anchor);
        kept.setPosition(position, QTextCursor::KeepAnchor);
        m_txtRS232->setTextCursor(kept);
    } else {
        m_txtRS232->moveCursor(QTextCursor::End);
    }
    QScrollBar *bar = m_txtRS232->verticalScrollBar();
    bar->setValue(bar->maximum());
}

// ---- Keys and focus --------------------------------------------------------------

bool KrTestWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_txtRS232 && event->type() == QEvent::FocusIn) {
        focusKeyboardBox();
        return false;
    }
    if (watched != m_txtKB)
        return QDialog::eventFilter(watched, event);
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease)
        return QDialog::eventFilter(watched, event);
    if (m_gather.isActive() && !m_replaying) {
        m_heldKeys.push_back(std::unique_ptr<QEvent>(event->clone()));
        return true;
    }
    if (type == QEvent::KeyPress) {
        // The box is emptied at the first key after its 41st Enter, or once
        // it is full of run-on text; that key is then the first thing in it.
        if (m_kbLineCount > kLinesBeforeEmptying - 1 || m_txtKB->document()->characterCount() > kBoxLimit) {
            m_kbLineCount = 0;
            m_txtKB->clear();
        }
        if (isEnterKey(static_cast<QKeyEvent *>(event)))
            ++m_kbLineCount;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace q5n
