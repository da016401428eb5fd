#include "windows/FindDecoderDialog.h"

#include "model/ProgramState.h"
#include "shell/AppContext.h"
#include "shell/ProgramHost.h"
#include "windows/LinkSettingsPanel.h"
#include "windows/MemoryWindow.h"
#include "windows/TransmitWindow.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace q5n {

namespace {

QString ratesText()
{
    QStringList rates;
    for (qint32 r : DecoderFinder::probeRates())
        rates << QString::number(r);
    return rates.mid(0, rates.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" and ") + rates.last();
}

QString portCaption(const FindPort &p)
{
    return QStringLiteral("Com %1 (%2)").arg(p.comNumber).arg(p.device);
}

} // namespace

FindDecoderDialog::FindDecoderDialog(ProgramHost &host, const ComPorts &ports, QWidget *parent)
    : QDialog(parent), m_host(host), m_finder(host.context().timing)
{
    setObjectName(QStringLiteral("frmFindDecoder"));
    setWindowTitle(QStringLiteral("Find Decoder"));

    // Only a port with a Com number can become the link's port.
    m_ports = findCandidates(ports, true);

    auto *intro = new QLabel(QStringLiteral("Find Decoder asks each of these ports for the decoder's firmware version, "
                                            "at %1 baud in turn, with 8 data bits, no parity and 1 stop bit:")
                                 .arg(ratesText()),
                             this);
    intro->setObjectName(QStringLiteral("lblIntro"));
    intro->setWordWrap(true);
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("lstPorts"));
    m_list->setAccessibleName(QStringLiteral("Ports to probe"));
    intro->setBuddy(m_list);
    for (int i = 0; i < m_ports.size(); ++i) {
        m_list->addItem(QString());
        showPort(i, m_ports[i].skipped.isEmpty() ? QStringLiteral("not yet probed")
                                                 : QStringLiteral("skipped: ") + m_ports[i].skipped);
    }
    if (!m_ports.isEmpty())
        m_list->setCurrentRow(0);
    auto *warning = new QLabel(QStringLiteral("The request goes to whatever is connected to these ports: another "
                                              "device receives it too (a receipt printer prints it). Start only when "
                                              "no such device is connected."),
                               this);
    warning->setObjectName(QStringLiteral("lblWarning"));
    warning->setWordWrap(true);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("lblStatus"));
    m_status->setTextFormat(Qt::PlainText);
    m_status->setWordWrap(true);
    m_status->setAccessibleName(QStringLiteral("Result"));

    m_start = new QPushButton(QStringLiteral("&Start"), this);
    m_start->setObjectName(QStringLiteral("cmdStart"));
    m_stop = new QPushButton(QStringLiteral("S&top"), this);
    m_stop->setObjectName(QStringLiteral("cmdStop"));
    m_stop->setEnabled(false);
    m_close = new QPushButton(QStringLiteral("Close"), this);
    m_close->setObjectName(QStringLiteral("cmdClose"));
    m_start->setDefault(true);
    m_stop->setAutoDefault(false);
    m_close->setAutoDefault(false);

    bool anyToProbe = false;
    for (const FindPort &p : std::as_const(m_ports))
        anyToProbe = anyToProbe || p.skipped.isEmpty();
    if (!anyToProbe) {
        m_start->setEnabled(false);
        m_status->setText(m_ports.isEmpty() ? QStringLiteral("There is no port to probe: Com 1 to Com 6 have no "
                                                             "device on this computer.")
                                            : QStringLiteral("There is no port to probe: every port is in use."));
    }

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_start);
    buttons->addWidget(m_stop);
    buttons->addWidget(m_close);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(m_list, 1);
    layout->addWidget(warning);
    layout->addWidget(m_status);
    layout->addLayout(buttons);
    setTabOrder(m_list, m_start);
    setTabOrder(m_start, m_stop);
    setTabOrder(m_stop, m_close);

    connect(m_start, &QPushButton::clicked, this, &FindDecoderDialog::start);
    connect(m_stop, &QPushButton::clicked, this, &FindDecoderDialog::stop);
    connect(m_close, &QPushButton::clicked, this, &FindDecoderDialog::reject);
    connect(&m_finder, &DecoderFinder::probing, this,
            [this](int i, qint32 rate) { showPort(i, QStringLiteral("asking at %1 baud").arg(rate)); });
    connect(&m_finder, &DecoderFinder::portDone, this, &FindDecoderDialog::portDone);
    connect(&m_finder, &DecoderFinder::finished, this, &FindDecoderDialog::searchDone);
    resize(560, 340);
}

FindDecoderDialog::~FindDecoderDialog()
{
    // Closing ends a search through reject(); a window destroyed with the
    // program while one runs closes its ports without reporting to the
    // program, which is going away too.
    if (m_finder.running()) {
        m_finder.disconnect(this);
        m_finder.cancel();
    }
}

QString FindDecoderDialog::statusText() const
{
    return m_status->text();
}

void FindDecoderDialog::showPort(int index, const QString &state)
{
    if (QListWidgetItem *item = m_list->item(index))
        item->setText(portCaption(m_ports[index]) + QStringLiteral(": ") + state);
}

void FindDecoderDialog::start()
{
    if (m_finder.running() || !m_start->isEnabled())
        return;
    m_host.setExchangeRunning(true);
    m_start->setEnabled(false);
    m_stop->setEnabled(true);
    m_stop->setFocus();
    m_status->setText(QStringLiteral("Probing..."));
    SerialSettings frame; // 8 data bits, no parity, 1 stop bit
    m_finder.start(m_ports, frame);
}

void FindDecoderDialog::stop()
{
    m_finder.cancel();
}

void FindDecoderDialog::portDone(int index)
{
    const FindResult &r = m_finder.results().at(index);
    switch (r.kind) {
    case FindResult::Kind::Found:
        showPort(index, QStringLiteral("decoder found at %1 (%2)").arg(answeredAtText(r.at), r.firmware.simplified()));
        return;
    case FindResult::Kind::Skipped: showPort(index, QStringLiteral("skipped: ") + r.why); return;
    case FindResult::Kind::Stopped: showPort(index, QStringLiteral("stopped")); return;
    case FindResult::Kind::NoDecoder:
    case FindResult::Kind::Unavailable: showPort(index, QStringLiteral("no decoder (%1)").arg(r.why)); return;
    }
}

void FindDecoderDialog::searchDone()
{
    m_host.setExchangeRunning(false);
    m_stop->setEnabled(false);
    m_start->setEnabled(true);
    int first = -1;
    QStringList others;
    bool stopped = false;
    for (int i = 0; i < m_ports.size(); ++i) {
        const FindResult &r = m_finder.results().at(i);
        stopped = stopped || r.kind == FindResult::Kind::Stopped;
        if (r.kind != FindResult::Kind::Found)
            continue;
        if (first < 0)
            first = i;
        else
            others << QStringLiteral("Com %1").arg(m_ports[i].comNumber);
    }
    if (first < 0) {
        m_status->setText(stopped ? QStringLiteral("Stopped: no decoder found.")
                                  : QStringLiteral("No decoder answered on these ports."));
        m_close->setFocus();
        return;
    }
    const FindPort &port = m_ports[first];
    const SerialSettings at = m_finder.results().at(first).at;
    LinkSettings &link = m_host.context().state.linkSettings;
    link.portNumber = qint16(port.comNumber);
    link.linkMode = LinkSettings::kRs232;
    link.serial = at;
    // A link window that is open shows the new settings at once.
    for (int page : {TransmitWindow::kPage, MemoryWindow::kPage})
        if (QWidget *w = m_host.openWindow(page))
            if (auto *panel = w->findChild<LinkSettingsPanel *>())
                panel->load();
    QString text = QStringLiteral("Found a decoder on Com %1 at %2. The link settings are now Com %1, RS232, %2: "
                                  "Transmit and Read Decoder Memory use them.")
                       .arg(port.comNumber)
                       .arg(answeredAtText(at));
    if (!others.isEmpty())
        text += QStringLiteral(" Decoders answered on %1 too.").arg(others.join(QStringLiteral(", ")));
    m_status->setText(text);
    m_close->setFocus();
}

void FindDecoderDialog::reject()
{
    if (m_finder.running())
        m_finder.cancel();
    QDialog::reject();
}

void FindDecoderDialog::keyPressEvent(QKeyEvent *event)
{
    // Escape during a search ends the search and keeps the window, to show
    // what was found; Escape after it closes the window.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier && m_finder.running()) {
        m_finder.cancel();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

QDialog *createFindDecoderDialog(ProgramHost &host)
{
    return new FindDecoderDialog(host, ComPorts(), host.hostWindow());
}

} // namespace q5n
