#include "windows/DecoderUploadDialog.h"

#include "model/ProgramState.h"
#include "platform/Prompter.h"
#include "shell/AppContext.h"
#include "shell/ProgramHost.h"
#include "windows/BusyScope.h"
#include "windows/LineEditAnswerSource.h"
#include "windows/SerialOpen.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace q5n {

namespace {

const QString kUploadTitle = QStringLiteral("Upload Message");
const QString kTimeOut = QStringLiteral("Time Out Error!");
const QString kHandshakeTimeOut = QStringLiteral("Times Out Error");
const QString kUploadFailed = QStringLiteral("Upload Failed!");
const QString kParityRefused =
    QStringLiteral("The decoder sends its configuration only with the parity None, Mark or Space.\n"
                   "Choose one of them in the Transmit window first.");

} // namespace

DecoderUploadDialog::DecoderUploadDialog(ProgramHost &host) : QDialog(host.hostWindow()), m_host(host)
{
    setObjectName(QStringLiteral("frmCompareUpload"));
    setWindowTitle(QStringLiteral("Compare with Decoder"));
    setModal(true);

    auto *intro = new QLabel(QStringLiteral("Reading the decoder's configuration..."), this);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("LblWait"));
    m_status->setTextFormat(Qt::PlainText);
    m_status->setMinimumWidth(360);
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("ProgressBar1"));
    m_progress->setTextVisible(false);
    m_progress->setRange(0, 0);
    // The decoder's typed answers arrive here (keyboard line).
    m_text1 = new QLineEdit(this);
    m_text1->setObjectName(QStringLiteral("Text1"));
    m_text1->setFixedSize(12, 7);
    m_text1->setFrame(false);
    m_text1->setFocusPolicy(Qt::ClickFocus);
    m_text1->setAccessibleName(QStringLiteral("Decoder answer"));
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("cmdCancel"));
    m_cancel->setAutoDefault(false);
    connect(m_cancel, &QPushButton::clicked, this, [this] { m_link->abort(); });

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(m_status);
    layout->addWidget(m_progress);
    layout->addWidget(m_cancel, 0, Qt::AlignRight);
    layout->addWidget(m_text1, 0, Qt::AlignLeft);

    AppContext &ctx = host.context();
    m_link = new LinkExchange(ctx.portIo, ctx.timing, new LineEditAnswerSource(m_text1, this), this);
    connect(m_link, &LinkExchange::waiting, this, &DecoderUploadDialog::showWaiting);
    connect(m_link, &LinkExchange::finished, this, &DecoderUploadDialog::exchangeFinished);
    connect(m_link, &LinkExchange::progress, this, [this](int value, int maximum) {
        m_progress->setRange(0, maximum);
        m_progress->setValue(std::min(value, maximum));
    });
}

DecoderUploadDialog::~DecoderUploadDialog() = default;

void DecoderUploadDialog::showWaiting(LinkExchange::Waiting what, int msLeft)
{
    QString text;
    switch (what) {
    case LinkExchange::Waiting::Nothing: break;
    case LinkExchange::Waiting::SerialAnswer:
        text = QStringLiteral("Waiting for the decoder's answer on COM %1")
                   .arg(m_host.context().state.linkSettings.portNumber);
        break;
    case LinkExchange::Waiting::Handshake: text = QStringLiteral("Calling the decoder on the keyboard line"); break;
    case LinkExchange::Waiting::Sending: text = QStringLiteral("Sending on the keyboard line"); break;
    case LinkExchange::Waiting::KeyboardAnswer:
        text = QStringLiteral("Waiting for the decoder's answer on the keyboard line");
        break;
    }
    if (!text.isEmpty() && msLeft >= 0)
        text += QStringLiteral(": %1 s left").arg(QString::number((msLeft + 99) / 100 / 10.0, 'f', 1));
    m_status->setText(text);
}

void DecoderUploadDialog::start()
{
    AppContext &ctx = m_host.context();
    const LinkSettings settings = ctx.state.linkSettings;
    m_rs232 = settings.isRs232();
    if (m_rs232 && !parityAllowsReceive(settings.serial.parity)) {
        ctx.prompter.inform(kUploadTitle, kParityRefused);
        deleteLater();
        return;
    }
    show();
    m_busyScope = std::make_unique<BusyScope>(this, m_busy, &m_host, QList<QWidget *>{}, nullptr);
    m_link->upload(settings);
}

void DecoderUploadDialog::exchangeFinished(LinkResult result)
{
    m_busyScope.reset();
    hide();
    deleteLater();
    AppContext &ctx = m_host.context();
    switch (result) {
    case LinkResult::Good: Q_EMIT uploaded(m_link->reply()); return;
    case LinkResult::Aborted: return;
    case LinkResult::PortUnavailable:
        reportPortUnavailable(ctx.prompter, m_link->portNumber(), m_link->portError());
        return;
    case LinkResult::TimeOut:
        ctx.prompter.ask({kUploadTitle,
                          m_rs232 ? kTimeOut : kHandshakeTimeOut,
                          Prompter::Button::Ok,
                          Prompter::Button::Ok,
                          Prompter::Icon::None,
                          {}});
        return;
    case LinkResult::Bad:
    case LinkResult::PortLost:
        ctx.prompter.ask(
            {kUploadTitle, kUploadFailed, Prompter::Button::Ok, Prompter::Button::Ok, Prompter::Icon::None, {}});
        return;
    }
}

void DecoderUploadDialog::closeEvent(QCloseEvent *event)
{
    // Closing while the decoder is asked ends the exchange first.
    if (m_busy) {
        m_link->abort();
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void DecoderUploadDialog::reject()
{
    if (m_busy)
        m_link->abort();
    else
        QDialog::reject();
}

} // namespace q5n
