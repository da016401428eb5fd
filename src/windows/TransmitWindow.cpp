#include "windows/TransmitWindow.h"

#include "link/KeyboardChannel.h"
#include "link/SerialPort.h"
#include "model/ProgramState.h"
#include "platform/Prompter.h"
#include "protocol/Protocol.h"
#include "shell/AppContext.h"
#include "shell/ProgramHost.h"
#include "windows/BusyScope.h"
#include "windows/LineEditAnswerSource.h"
#include "windows/LinkSettingsPanel.h"
#include "windows/LinkWindowLayout.h"
#include "windows/SerialOpen.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace q5n {

namespace {

const QString kCfgTitle = QStringLiteral("CFG Message");
const QString kUploadTitle = QStringLiteral("Upload Message");
const QString kTimeOut = QStringLiteral("Time Out Error!");
const QString kHandshakeTimeOut = QStringLiteral("Times Out Error");
const QString kDownloadOk = QStringLiteral("Download OK!");
const QString kDownloadFailed = QStringLiteral("Download Failed!");
const QString kUploadOk = QStringLiteral("   Upload OK!   ");
const QString kUploadFailed = QStringLiteral("Upload Failed!");
const QString kReplaceQuestion = QStringLiteral("This will replace your current data with reader's data!");

// The text of a result that is not good: a time-out reads differently on the
// two channels; a bad answer and a lost line are the operation's failure.
QString failureText(LinkResult result, bool rs232, const QString &failed)
{
    if (result == LinkResult::TimeOut)
        return rs232 ? kTimeOut : kHandshakeTimeOut;
    return failed;
}

} // namespace

TransmitWindow::TransmitWindow(ProgramHost &host, QWidget *parent) : PageWindow(host, definitionOf(kPage), parent)
{
    buildUi();
    m_link = new LinkExchange(context().portIo, context().timing, new LineEditAnswerSource(m_text1, this), this);
    connect(m_link, &LinkExchange::waiting, this, &TransmitWindow::showWaiting);
    connect(m_link, &LinkExchange::progress, this, &TransmitWindow::showProgress);
    connect(m_panel, &LinkSettingsPanel::parityChanged, this, &TransmitWindow::updateReceiveButtons);
    m_panel->load();
}

TransmitWindow::~TransmitWindow() = default;

PageWindow *createTransmitWindow(ProgramHost &host)
{
    return new TransmitWindow(host);
}

SerialPort &TransmitWindow::serialPort() const
{
    return m_link->serialPort();
}

KeyboardChannel &TransmitWindow::keyboardChannel() const
{
    return m_link->keyboardChannel();
}

// ---- Layout -------------------------------------------------------------

void TransmitWindow::buildUi()
{
    m_panel = new LinkSettingsPanel(context().state,
                                    {6, {QStringLiteral("Keyboard"), QStringLiteral("RS232")}, true, true}, this);

    auto button = [this](const QString &name, const QString &caption) {
        auto *b = new QPushButton(caption, this);
        b->setObjectName(name);
        b->setAutoDefault(false);
        return b;
    };
    m_cmdTransmit = button(QStringLiteral("cmdTransmit"), QStringLiteral("Download to Decoder"));
    m_cmdReceive = button(QStringLiteral("cmdReceive"), QStringLiteral("Upload To PC"));
    m_cmdVersion = button(QStringLiteral("CmdVersion"), QStringLiteral("Get Firmware Version"));
    m_cmdClose = button(QStringLiteral("cmdClose"), QStringLiteral("Close"));
    connect(m_cmdTransmit, &QPushButton::clicked, this, &TransmitWindow::download);
    connect(m_cmdReceive, &QPushButton::clicked, this, &TransmitWindow::upload);
    connect(m_cmdVersion, &QPushButton::clicked, this, &TransmitWindow::firmwareVersion);
    connect(m_cmdClose, &QPushButton::clicked, this, &TransmitWindow::closeClicked);

    // What a running exchange waits for and how long it may still take.
    m_waitStatus = new QLabel(this);
    m_waitStatus->setObjectName(QStringLiteral("LblWait"));
    m_waitStatus->setTextFormat(Qt::PlainText);
    m_waitStatus->setWordWrap(true);

    m_progressBar1 = new QProgressBar(this);
    m_progressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    m_progressBar1->setTextVisible(false);
    m_progressBar1->hide();
    // Keeps its place in the layout while hidden, so the window does not jump.
    QSizePolicy keep = m_progressBar1->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    m_progressBar1->setSizePolicy(keep);

    // The decoder's typed answers arrive here: tiny, but visible and enabled
    // so that it can hold the focus.
    m_text1 = new QLineEdit(this);
    m_text1->setObjectName(QStringLiteral("Text1"));
    m_text1->setFixedSize(12, 7);
    m_text1->setFrame(false);
    m_text1->setFocusPolicy(Qt::ClickFocus);
    m_text1->setAccessibleName(QStringLiteral("Decoder answer"));

    // The settings, the progress bar under them, and the command buttons in a
    // column beside them with the waiting line below.
    auto *left = new QVBoxLayout;
    left->addWidget(m_panel);
    left->addWidget(m_progressBar1);

    auto *buttons = new QVBoxLayout;
    for (QPushButton *b : {m_cmdTransmit, m_cmdReceive, m_cmdVersion, m_cmdClose})
        buttons->addWidget(b);
    buttons->addWidget(m_waitStatus);
    buttons->addStretch(1);

    auto *top = new QHBoxLayout;
    top->addLayout(left);
    top->addSpacing(12);
    top->addLayout(buttons);
    top->addStretch(1);

    auto *outer = new QVBoxLayout(this);
    outer->addLayout(top);
    outer->addStretch(1);
    outer->addWidget(m_text1, 0, Qt::AlignLeft | Qt::AlignBottom);

    // Keyboard order: the settings row by row, then the buttons.
    QList<QWidget *> order = m_panel->focusOrder();
    order << m_cmdTransmit << m_cmdReceive << m_cmdVersion << m_cmdClose;
    chainFocus(order);
}

void TransmitWindow::showEvent(QShowEvent *event)
{
    PageWindow::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    maximizeLinkWindow(this);
}

void TransmitWindow::updateReceiveButtons()
{
    // The decoder answers upload and version requests only without a parity
    // bit it cannot produce: Even and Odd disable them. During an exchange
    // the parity cannot change (its frame is disabled).
    const bool allowed = m_panel->parityAllowsReceive();
    m_cmdReceive->setEnabled(allowed);
    m_cmdVersion->setEnabled(allowed);
}

void TransmitWindow::showWaiting(LinkExchange::Waiting what, int msLeft)
{
    QString text;
    switch (what) {
    case LinkExchange::Waiting::Nothing: break;
    case LinkExchange::Waiting::SerialAnswer:
        text =
            QStringLiteral("Waiting for the decoder's answer on COM %1").arg(context().state.linkSettings.portNumber);
        break;
    case LinkExchange::Waiting::Handshake: text = QStringLiteral("Calling the decoder on the keyboard line"); break;
    case LinkExchange::Waiting::Sending: text = QStringLiteral("Sending the configuration on the keyboard line"); break;
    case LinkExchange::Waiting::KeyboardAnswer:
        text = QStringLiteral("Waiting for the decoder's answer on the keyboard line");
        break;
    }
    if (!text.isEmpty() && msLeft >= 0)
        text += QStringLiteral(": %1 s left").arg(QString::number((msLeft + 99) / 100 / 10.0, 'f', 1));
    m_waitStatus->setText(text);
}

void TransmitWindow::showProgress(int value, int maximum)
{
    m_progressBar1->setMaximum(maximum);
    m_progressBar1->setValue(std::min(value, maximum));
    m_progressBar1->show();
}

// ---- Commands -------------------------------------------------------------

void TransmitWindow::closeClicked()
{
    if (m_busy)
        return;
    if (serialPort().portOpen())
        serialPort().setPortOpen(false);
    if (auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget()))
        sub->close();
    else
        close();
}

void TransmitWindow::message(const QString &title, const QString &text)
{
    context().prompter.ask({title, text, Prompter::Button::Ok, Prompter::Button::Ok, Prompter::Icon::None, {}});
}

void TransmitWindow::download()
{
    if (m_busy)
        return;
    const ProgramState &s = context().state;
    const bool rs232 = s.linkSettings.isRs232();
    QPointer<TransmitWindow> self(this);
    LinkResult result;
    {
        BusyScope busy(this, m_busy, &host(), {m_panel, m_cmdTransmit, m_cmdReceive, m_cmdVersion, m_cmdClose},
                       m_cmdTransmit);
        result = m_link->download(s.linkSettings, s.workingImage, s.saveOption);
        if (!self || result == LinkResult::Aborted)
            return;
        if (result != LinkResult::PortUnavailable)
            message(kCfgTitle, result == LinkResult::Good ? kDownloadOk : failureText(result, rs232, kDownloadFailed));
        if (self)
            m_progressBar1->hide();
    }
    if (self && result == LinkResult::PortUnavailable)
        reportPortUnavailable(context().prompter, m_link->portNumber(), m_link->portError());
}

void TransmitWindow::upload()
{
    if (!m_busy)
        receive(false, m_cmdReceive);
}

void TransmitWindow::firmwareVersion()
{
    if (!m_busy)
        receive(true, m_cmdVersion);
}

void TransmitWindow::receive(bool version, QPushButton *startedBy)
{
    ProgramState &s = context().state;
    if (!version) {
        const auto answer = context().prompter.ask({kUploadTitle,
                                                    kReplaceQuestion,
                                                    Prompter::Button::Ok | Prompter::Button::Cancel,
                                                    Prompter::Button::Ok,
                                                    Prompter::Icon::None,
                                                    {}});
        if (answer != Prompter::Button::Ok)
            return;
    }
    const bool rs232 = s.linkSettings.isRs232();
    QPointer<TransmitWindow> self(this);
    LinkResult result;
    {
        BusyScope busy(this, m_busy, &host(), {m_panel, m_cmdTransmit, m_cmdReceive, m_cmdVersion, m_cmdClose},
                       startedBy);
        UploadReply reply;
        result = m_link->upload(s.linkSettings, &reply);
        if (!self || result == LinkResult::Aborted)
            return;
        QString text = failureText(result, rs232, kUploadFailed);
        if (result == LinkResult::Good) {
            if (!version)
                applyUploadReply(reply, s.workingImage);
            text = version ? firmwareVersionText(reply.versionPart1, reply.versionPart2) : kUploadOk;
        }
        if (result != LinkResult::PortUnavailable)
            message(kUploadTitle, text);
        if (self)
            m_progressBar1->hide();
    }
    if (self && result == LinkResult::PortUnavailable)
        reportPortUnavailable(context().prompter, m_link->portNumber(), m_link->portError());
}

} // namespace q5n
