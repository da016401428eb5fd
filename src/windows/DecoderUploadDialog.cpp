#include "windows/DecoderUploadDialog.h"

#include "model/ProgramState.h"
#include "platform/Prompter.h"
#include "shell/AppContext.h"
#include "shell/ProgramHost.h"
#include "windows/LinkSession.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace q5n {

namespace {

const QString kParityRefused =
    QStringLiteral("The decoder sends its configuration only with the parity None, Mark or Space.\n"
                   "Choose one of them in the Transmit window first.");

} // namespace

DecoderUploadDialog::DecoderUploadDialog(ProgramHost &host)
    : QDialog(host.hostWindow()), m_host(host), m_session(new LinkSession(host.context(), &host, this))
{
    setObjectName(QStringLiteral("frmCompareUpload"));
    setWindowTitle(QStringLiteral("Compare with Decoder"));
    setModal(true);

    auto *intro = new QLabel(QStringLiteral("Reading the decoder's configuration..."), this);
    QLabel *status = m_session->makeWaitStatus();
    status->setWordWrap(false);
    status->setMinimumWidth(360);
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("ProgressBar1"));
    m_progress->setTextVisible(false);
    m_progress->setRange(0, 0);
    QLineEdit *answers = m_session->makeAnswerBox();
    auto *cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    cancel->setAutoDefault(false);
    connect(cancel, &QPushButton::clicked, this, [this] { link().abort(); });

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(status);
    layout->addWidget(m_progress);
    layout->addWidget(cancel, 0, Qt::AlignRight);
    layout->addWidget(answers, 0, Qt::AlignLeft);

    connect(&link(), &LinkExchange::progress, this, [this](int value, int maximum) {
        m_progress->setRange(0, maximum);
        m_progress->setValue(std::min(value, maximum));
    });
}

DecoderUploadDialog::~DecoderUploadDialog() = default;

LinkExchange &DecoderUploadDialog::link() const
{
    return m_session->link();
}

void DecoderUploadDialog::start()
{
    AppContext &ctx = m_host.context();
    const LinkSettings settings = ctx.state.linkSettings;
    if (settings.isRs232() && !parityAllowsReceive(settings.serial.parity)) {
        ctx.prompter.inform(QStringLiteral("Upload Message"), kParityRefused);
        deleteLater();
        return;
    }
    show();
    // The window goes once the exchange has ended, before any message; a
    // good answer opens the comparison.
    m_session->run({ExchangeKind::CompareUpload,
                    [this, settings] { link().upload(settings); },
                    {},
                    nullptr,
                    [this] {
                        hide();
                        deleteLater();
                    },
                    [this] { Q_EMIT uploaded(link().reply()); },
                    {}});
}

void DecoderUploadDialog::closeEvent(QCloseEvent *event)
{
    // Closing while the decoder is asked ends the exchange first.
    if (m_session->busy()) {
        link().abort();
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void DecoderUploadDialog::reject()
{
    if (m_session->busy())
        link().abort();
    else
        QDialog::reject();
}

} // namespace q5n
