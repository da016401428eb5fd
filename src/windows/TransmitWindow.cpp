#include "windows/TransmitWindow.h"

#include "files/PortRecordFile.h"
#include "link/ComPorts.h"
#include "model/ProgramState.h"
#include "platform/Prompter.h"
#include "protocol/Protocol.h"
#include "shell/AppContext.h"
#include "windows/LinkSettingsPanel.h"
#include "windows/LinkWindowLayout.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace q5n {

namespace {

const QString kReplaceQuestion = QStringLiteral("This will replace your current data with reader's data!");

} // namespace

TransmitWindow::TransmitWindow(ProgramHost &host, QWidget *parent) : LinkWindow(host, kPage, parent)
{
    buildUi();
    ProgramState &s = context().state;
    addCommand({m_cmdTransmit,
                {},
                [this, &s] {
                    // q5ntool keeps per port what it last downloaded and
                    // verified there: from this download on, it no longer
                    // tells what the decoder holds.
                    if (s.linkSettings.isRs232())
                        removeRecord(stateFolder({}), portKey(comDevicePath(s.linkSettings.portNumber)));
                    link().download(s.linkSettings, s.workingImage, s.saveOption);
                },
                ExchangeKind::Download});
    addCommand({m_cmdReceive,
                [this] {
                    return context().prompter.ask({QStringLiteral("Upload Message"),
                                                   kReplaceQuestion,
                                                   Prompter::Button::Ok | Prompter::Button::Cancel,
                                                   Prompter::Button::Ok,
                                                   Prompter::Icon::None,
                                                   {}}) == Prompter::Button::Ok;
                },
                [this, &s] { link().upload(s.linkSettings); }, ExchangeKind::Upload,
                [this, &s] { applyUploadReply(link().reply(), s.workingImage); }});
    addCommand({m_cmdVersion, {}, [this, &s] { link().upload(s.linkSettings); }, ExchangeKind::FirmwareVersion});
    disableWhileBusy({m_cmdClose});
    afterExchange([this] { m_progressBar1->hide(); });
    connect(&link(), &LinkExchange::progress, this, [this](int value, int maximum) {
        m_progressBar1->setMaximum(maximum);
        m_progressBar1->setValue(std::min(value, maximum));
        m_progressBar1->show();
    });
    connect(panel(), &LinkSettingsPanel::parityChanged, this, &TransmitWindow::updateReceiveButtons);
    panel()->load();
}

TransmitWindow::~TransmitWindow() = default;

PageWindow *createTransmitWindow(ProgramHost &host)
{
    return new TransmitWindow(host);
}

// ---- Layout -------------------------------------------------------------

void TransmitWindow::buildUi()
{
    auto *panel = new LinkSettingsPanel(context().state,
                                        {6, {QStringLiteral("Keyboard"), QStringLiteral("RS232")}, true, true}, this);
    setUpLink(panel);

    m_cmdTransmit = makeButton(QStringLiteral("cmdTransmit"), QStringLiteral("Download to Decoder"));
    m_cmdReceive = makeButton(QStringLiteral("cmdReceive"), QStringLiteral("Upload To PC"));
    m_cmdVersion = makeButton(QStringLiteral("CmdVersion"), QStringLiteral("Get Firmware Version"));
    m_cmdClose = makeButton(QStringLiteral("cmdClose"), QStringLiteral("Close"));
    connect(m_cmdClose, &QPushButton::clicked, this, &TransmitWindow::closeClicked);

    m_progressBar1 = new QProgressBar(this);
    m_progressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    m_progressBar1->setTextVisible(false);
    m_progressBar1->hide();
    // Keeps its place in the layout while hidden, so the window does not jump.
    QSizePolicy keep = m_progressBar1->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    m_progressBar1->setSizePolicy(keep);

    // The settings, the progress bar under them, and the command buttons in a
    // column beside them with the waiting line below.
    auto *left = new QVBoxLayout;
    left->addWidget(panel);
    left->addWidget(m_progressBar1);

    auto *buttons = new QVBoxLayout;
    for (QPushButton *b : {m_cmdTransmit, m_cmdReceive, m_cmdVersion, m_cmdClose})
        buttons->addWidget(b);
    buttons->addWidget(waitStatus());
    buttons->addStretch(1);

    auto *top = new QHBoxLayout;
    top->addLayout(left);
    top->addSpacing(12);
    top->addLayout(buttons);
    top->addStretch(1);

    auto *outer = new QVBoxLayout(this);
    outer->addLayout(top);
    outer->addStretch(1);
    outer->addWidget(answerBox(), 0, Qt::AlignLeft | Qt::AlignBottom);

    // Keyboard order: the settings row by row, then the buttons.
    QList<QWidget *> order = panel->focusOrder();
    order << m_cmdTransmit << m_cmdReceive << m_cmdVersion << m_cmdClose;
    chainFocus(order);
}

void TransmitWindow::updateReceiveButtons()
{
    // The decoder answers upload and version requests only without a parity
    // bit it cannot produce: Even and Odd disable them. During an exchange
    // the parity cannot change (its frame is disabled).
    const bool allowed = panel()->parityAllowsReceive();
    m_cmdReceive->setEnabled(allowed);
    m_cmdVersion->setEnabled(allowed);
}

} // namespace q5n
