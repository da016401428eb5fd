#include "windows/LinkSettingsPanel.h"

#include "link/ComPorts.h"
#include "link/SerialDeviceWatcher.h"
#include "model/ProgramState.h"
#include "windows/PortsDialog.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>

namespace q5n {

namespace {

QStringList baudCaptions()
{
    QStringList captions;
    for (qint32 rate : kBaudRates)
        captions << QString::number(rate);
    return captions;
}

// What a Com number's option says of its device. A path may come from the
// environment: it is escaped, and the tip is marked as rich text, so whatever
// it holds is shown as the text it is.
QString portText(const ComPort &p)
{
    const QString head = QStringLiteral("COM %1: ").arg(p.number);
    if (p.overridden)
        return head + p.device;
    if (p.identity.isEmpty())
        return head + QStringLiteral("no serial port on this computer");
    const QString device = deviceDescription(p.identity);
    return head + (p.present ? QStringLiteral("%1 (%2)").arg(device, p.systemPath)
                             : QStringLiteral("%1, which is not connected").arg(device));
}

// Only the selected option of a group is a Tab stop, so tabbing into a group
// lands on its selection (the arrow keys move within the group). A group
// with nothing selected keeps every option reachable.
void updateTabStops(QButtonGroup *group)
{
    const bool any = group->checkedButton() != nullptr;
    for (QAbstractButton *b : group->buttons())
        b->setFocusPolicy(!any || b->isChecked() ? Qt::StrongFocus : Qt::ClickFocus);
}

} // namespace

LinkSettingsPanel::LinkSettingsPanel(ProgramState &state, const Options &options, QWidget *parent)
    : QWidget(parent), m_state(state), m_options(options)
{
    m_modeFrame = addFrame(QStringLiteral("Frame1"), QStringLiteral("Interface"));
    m_dataBitsFrame = addFrame(QStringLiteral("Frame2"), QStringLiteral("Data Bits"));
    m_stopBitsFrame = addFrame(QStringLiteral("Frame3"), QStringLiteral("Stop Bits"));
    if (options.downloadOption)
        m_downloadOptionFrame = addFrame(QStringLiteral("Frame5"), QStringLiteral("Download Option"));
    m_portFrame = addFrame(QStringLiteral("FraPort"), QStringLiteral("Port"));
    m_baudFrame = addFrame(QStringLiteral("Frame4"), QStringLiteral("Baud Rate"));
    if (options.parity)
        m_parityFrame = addFrame(QStringLiteral("Frame6"), QStringLiteral("Parity"));

    // The options selected when the window is created; load() then selects
    // from the program state.
    m_modeGroup = addGroup(m_modeFrame, QStringLiteral("OptMode"), options.modeCaptions, 1);
    QStringList ports;
    for (int n = 1; n <= options.portCount; ++n)
        ports << QStringLiteral("Com %1").arg(n);
    m_portGroup = addGroup(m_portFrame, QStringLiteral("OptPort"), ports, 0);
    // Below the numbers, where Tab reaches it after them.
    auto *portsButton = new QPushButton(QStringLiteral("Ports..."), m_portFrame);
    portsButton->setObjectName(QStringLiteral("cmdPorts"));
    portsButton->setAutoDefault(false);
    portsButton->setAccessibleDescription(QStringLiteral("Gives a Com number to a serial device"));
    auto *portLayout = static_cast<QVBoxLayout *>(m_portFrame->layout());
    portLayout->insertWidget(portLayout->count() - 1, portsButton);
    connect(portsButton, &QPushButton::clicked, this, &LinkSettingsPanel::openPortsDialog);
    watchDevices({}, QStringLiteral("/dev"));
    m_baudGroup = addGroup(m_baudFrame, QStringLiteral("optBaud"), baudCaptions(), 3);
    m_dataBitsGroup = addGroup(m_dataBitsFrame, QStringLiteral("optDatabits"),
                               {QStringLiteral("7 Data Bits"), QStringLiteral("8 Data Bits")}, 1);
    m_stopBitsGroup = addGroup(m_stopBitsFrame, QStringLiteral("optStopbits"),
                               {QStringLiteral("1 Stop Bit"), QStringLiteral("2 Stop Bit")}, 0);
    if (m_parityFrame)
        m_parityGroup = addGroup(m_parityFrame, QStringLiteral("Option2"),
                                 {QStringLiteral("None"), QStringLiteral("Even"), QStringLiteral("Odd"),
                                  QStringLiteral("Mark"), QStringLiteral("Space")},
                                 0);
    if (m_downloadOptionFrame)
        m_downloadOptionGroup = addGroup(m_downloadOptionFrame, QStringLiteral("Option1"),
                                         {QStringLiteral("Not Save"), QStringLiteral("Save")}, 0);

    react(m_modeGroup, &LinkSettingsPanel::modeChosen);
    react(m_portGroup, &LinkSettingsPanel::portChosen);
    react(m_baudGroup, &LinkSettingsPanel::baudChosen);
    react(m_dataBitsGroup, &LinkSettingsPanel::dataBitsChosen);
    react(m_stopBitsGroup, &LinkSettingsPanel::stopBitsChosen);
    if (m_parityGroup)
        react(m_parityGroup, &LinkSettingsPanel::parityChosen);
    if (m_downloadOptionGroup)
        react(m_downloadOptionGroup, &LinkSettingsPanel::downloadOptionChosen);

    // Two rows of equal columns: the two-option groups first, the longer ones below.
    m_grid = new QGridLayout(this);
    m_grid->setContentsMargins(0, 0, 0, 0);
    const int firstRow = options.downloadOption ? 4 : 3;
    for (int i = 0; i < m_frames.size(); ++i)
        m_grid->addWidget(m_frames[i], i < firstRow ? 0 : 1, i < firstRow ? i : i - firstRow);
    equalizeColumns();
}

QGroupBox *LinkSettingsPanel::addFrame(const QString &name, const QString &caption)
{
    auto *box = new QGroupBox(caption, this);
    box->setObjectName(name);
    m_frames.append(box);
    return box;
}

QButtonGroup *LinkSettingsPanel::addGroup(QGroupBox *frame, const QString &name, const QStringList &captions,
                                          int selected)
{
    auto *group = new QButtonGroup(this);
    group->setObjectName(name);
    auto *layout = new QVBoxLayout(frame);
    for (int i = 0; i < captions.size(); ++i) {
        auto *option = new QRadioButton(captions[i], frame);
        option->setObjectName(name + u'_' + QString::number(i));
        group->addButton(option, i);
        layout->addWidget(option);
    }
    layout->addStretch(1);
    if (QAbstractButton *b = group->button(selected))
        b->setChecked(true);
    updateTabStops(group);
    return group;
}

void LinkSettingsPanel::react(QButtonGroup *group, void (LinkSettingsPanel::*handler)(int))
{
    // The selection itself, however it came (click, arrow key, accessibility
    // action, code), runs the handler once for the option that became selected.
    connect(group, &QButtonGroup::idToggled, this, [this, group, handler](int id, bool checked) {
        updateTabStops(group);
        if (checked)
            (this->*handler)(id);
    });
}

void LinkSettingsPanel::equalizeColumns()
{
    int width = 0;
    for (QGroupBox *f : std::as_const(m_frames))
        width = std::max({width, f->sizeHint().width(), f->minimumSizeHint().width()});
    for (int c = 0; c < m_grid->columnCount(); ++c)
        m_grid->setColumnMinimumWidth(c, width);
    m_grid->invalidate();
}

void LinkSettingsPanel::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // The frames' sizes are known for sure once the style has polished them.
    equalizeColumns();
}

QList<QWidget *> LinkSettingsPanel::focusOrder() const
{
    QList<QWidget *> order;
    for (QGroupBox *f : m_frames)
        for (QAbstractButton *b : f->findChildren<QAbstractButton *>(Qt::FindDirectChildrenOnly))
            order.append(b);
    return order;
}

void LinkSettingsPanel::watchDevices(const ComPortSources &sources, const QString &devDir)
{
    delete m_watcher;
    m_watcher = new SerialDeviceWatcher(sources, devDir, this);
    connect(m_watcher, &SerialDeviceWatcher::devicesChanged, this, &LinkSettingsPanel::showPortDevices);
    showPortDevices();
}

void LinkSettingsPanel::showPortDevices()
{
    const QList<ComPort> ports = m_watcher->ports().all();
    for (int i = 0; i < m_options.portCount && i < ports.size(); ++i) {
        const QString text = portText(ports[i]);
        QAbstractButton *option = m_portGroup->button(i);
        option->setToolTip(QStringLiteral("<p>") + text.toHtmlEscaped() + QStringLiteral("</p>"));
        option->setAccessibleDescription(text);
    }
}

void LinkSettingsPanel::openPortsDialog()
{
    auto *dialog = new PortsDialog(*m_watcher, window());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &PortsDialog::numberGiven, this, &LinkSettingsPanel::showPortDevices);
    // Window-modal without a loop of its own: the exchange timers and the
    // device watch go on while it is open.
    dialog->open();
}

// ---- Loading ------------------------------------------------------------------

void LinkSettingsPanel::select(QButtonGroup *group, int index)
{
    // Selecting runs the group's handler when the option was not already selected.
    if (QAbstractButton *option = group->button(index))
        option->setChecked(true);
}

void LinkSettingsPanel::load()
{
    const LinkSettings &l = m_state.linkSettings;
    if (m_downloadOptionGroup)
        select(m_downloadOptionGroup, m_state.saveOption ? 1 : 0);
    if (m_portGroup->button(l.portNumber - 1)) {
        select(m_portGroup, l.portNumber - 1);
    } else {
        // A port number without an option (a setup file may hold any): show
        // no port rather than one that is not used.
        m_portGroup->setExclusive(false);
        for (QAbstractButton *b : m_portGroup->buttons())
            b->setChecked(false);
        m_portGroup->setExclusive(true);
    }
    if (l.isRs232()) {
        m_portFrame->setEnabled(true);
        select(m_modeGroup, 1);
    } else {
        m_portFrame->setEnabled(false);
        select(m_modeGroup, 0);
    }
    const SerialSettings &serial = l.serial;
    const auto baud = std::find(kBaudRates.begin(), kBaudRates.end(), serial.baud);
    select(m_baudGroup, baud == kBaudRates.end() ? 0 : int(baud - kBaudRates.begin()));
    select(m_dataBitsGroup, serial.dataBits == DataBits::Seven ? 0 : 1);
    select(m_stopBitsGroup, serial.stopBits == StopBits::One ? 0 : 1);
    // The window shows the parity the next exchange uses.
    if (m_parityGroup) {
        select(m_parityGroup, int(serial.parity));
        Q_EMIT parityChanged(parityIndex());
    }
}

int LinkSettingsPanel::parityIndex() const
{
    return m_parityGroup ? m_parityGroup->checkedId() : -1;
}

bool LinkSettingsPanel::parityAllowsReceive() const
{
    const int i = parityIndex();
    return i < 0 || q5n::parityAllowsReceive(Parity(i));
}

// ---- Reactions ------------------------------------------------------------------

void LinkSettingsPanel::modeChosen(int i)
{
    m_state.linkSettings.linkMode = static_cast<qint16>(i);
    const bool rs232 = i == 1;
    // Parity and download option stay usable on the keyboard line.
    for (QGroupBox *f : {m_portFrame, m_dataBitsFrame, m_stopBitsFrame, m_baudFrame})
        f->setEnabled(rs232);
}

void LinkSettingsPanel::portChosen(int i)
{
    m_state.linkSettings.portNumber = static_cast<qint16>(i + 1);
}

void LinkSettingsPanel::baudChosen(int i)
{
    m_state.linkSettings.serial.baud = i >= 0 && i < int(kBaudRates.size()) ? kBaudRates[i] : kBaudRates[0];
}

void LinkSettingsPanel::dataBitsChosen(int i)
{
    SerialSettings &serial = m_state.linkSettings.serial;
    serial.dataBits = i == 0 ? DataBits::Seven : DataBits::Eight;
    // A window that shows the parity keeps it (what is shown is what is used);
    // a window without a parity choice resets it to None.
    if (!m_parityGroup)
        serial.parity = Parity::None;
}

void LinkSettingsPanel::stopBitsChosen(int i)
{
    m_state.linkSettings.serial.stopBits = i == 0 ? StopBits::One : StopBits::Two;
}

void LinkSettingsPanel::parityChosen(int i)
{
    m_state.linkSettings.serial.parity = Parity(i);
    Q_EMIT parityChanged(i);
}

void LinkSettingsPanel::downloadOptionChosen(int i)
{
    m_state.saveOption = i != 0;
}

} // namespace q5n
