#include "windows/PortsDialog.h"

#include "link/SerialDeviceWatcher.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace q5n {

namespace {

constexpr int kIdentityRole = Qt::UserRole;

} // namespace

PortsDialog::PortsDialog(SerialDeviceWatcher &watcher, QWidget *parent) : QDialog(parent), m_watcher(watcher)
{
    setObjectName(QStringLiteral("frmPorts"));
    setWindowTitle(QStringLiteral("Ports"));

    auto *listLabel = new QLabel(QStringLiteral("&Serial devices:"), this);
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("lstDevices"));
    listLabel->setBuddy(m_list);
    m_list->setAccessibleName(QStringLiteral("Serial devices"));

    auto *numberLabel = new QLabel(QStringLiteral("Com &number:"), this);
    m_number = new QComboBox(this);
    m_number->setObjectName(QStringLiteral("cboNumber"));
    for (int n = 1; n <= kComPortCount; ++n)
        m_number->addItem(QStringLiteral("Com %1").arg(n), n);
    numberLabel->setBuddy(m_number);
    m_number->setAccessibleName(QStringLiteral("Com number"));

    m_give = new QPushButton(QStringLiteral("&Give Number"), this);
    m_give->setObjectName(QStringLiteral("cmdGive"));
    m_close = new QPushButton(QStringLiteral("Close"), this);
    m_close->setObjectName(QStringLiteral("cmdClose"));
    m_give->setDefault(true);
    m_close->setAutoDefault(false);

    auto *numberRow = new QHBoxLayout;
    numberRow->addWidget(numberLabel);
    numberRow->addWidget(m_number, 1);
    numberRow->addWidget(m_give);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("lblStatus"));
    m_status->setTextFormat(Qt::PlainText);
    m_status->setWordWrap(true);
    m_status->hide();
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_status, 1);
    buttons->addWidget(m_close);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(listLabel);
    layout->addWidget(m_list, 1);
    layout->addLayout(numberRow);
    layout->addLayout(buttons);
    setTabOrder(m_list, m_number);
    setTabOrder(m_number, m_give);
    setTabOrder(m_give, m_close);

    connect(m_give, &QPushButton::clicked, this, &PortsDialog::give);
    connect(m_close, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_list, &QListWidget::currentRowChanged, this, &PortsDialog::selectionChanged);
    connect(&m_watcher, &SerialDeviceWatcher::devicesChanged, this, &PortsDialog::refresh);
    refresh();
    resize(520, 300);
}

void PortsDialog::refresh()
{
    const QString chosen = m_list->currentItem() ? m_list->currentItem()->data(kIdentityRole).toString() : QString();
    // One look at the devices for the numbers and the list alike.
    const ComPorts &ports = m_watcher.ports();
    const QList<PresentDevice> present = ports.presentDevices();
    const ComTable table = assignComNumbers(ports.table(), present);
    m_list->clear();
    // The numbered devices in number order (an unplugged one shown, not
    // choosable), then the present devices without a number.
    for (int n = 1; n <= kComPortCount; ++n) {
        const QString &identity = table[n - 1];
        if (identity.isEmpty())
            continue;
        QString text = QStringLiteral("Com %1: %2").arg(n).arg(deviceDescription(identity));
        bool connected = false;
        for (const PresentDevice &d : present)
            if (d.identity == identity) {
                text += QStringLiteral(" (%1)").arg(d.systemPath);
                connected = true;
            }
        auto *item = new QListWidgetItem(connected ? text : text + QStringLiteral(", not connected"), m_list);
        item->setData(kIdentityRole, identity);
        if (!connected)
            item->setFlags(item->flags() & ~(Qt::ItemIsEnabled | Qt::ItemIsSelectable));
    }
    for (const PresentDevice &d : present)
        if (comNumberOf(table, d.identity) == 0) {
            auto *item = new QListWidgetItem(
                QStringLiteral("No number: %1 (%2)").arg(deviceDescription(d.identity), d.systemPath), m_list);
            item->setData(kIdentityRole, d.identity);
        }
    int row = -1;
    for (int i = 0; i < m_list->count(); ++i) {
        const QListWidgetItem *item = m_list->item(i);
        if (!(item->flags() & Qt::ItemIsEnabled))
            continue;
        if (row < 0 || item->data(kIdentityRole).toString() == chosen)
            row = i;
    }
    m_list->setCurrentRow(row);
    selectionChanged();
}

void PortsDialog::selectionChanged()
{
    const QListWidgetItem *item = m_list->currentItem();
    const bool usable = item && (item->flags() & Qt::ItemIsEnabled);
    m_give->setEnabled(usable);
    if (usable)
        if (const int n = comNumberOf(m_watcher.ports().table(), item->data(kIdentityRole).toString()))
            m_number->setCurrentIndex(n - 1);
}

void PortsDialog::give()
{
    const QListWidgetItem *item = m_list->currentItem();
    if (!item || !(item->flags() & Qt::ItemIsEnabled))
        return;
    const QString error = m_watcher.ports().give(m_number->currentData().toInt(), item->data(kIdentityRole).toString());
    // The number holds only as long as it is kept in the file: say so when it is not.
    m_status->setText(error.isEmpty() ? QString() : QStringLiteral("The number could not be kept: %1").arg(error));
    m_status->setVisible(!error.isEmpty());
    refresh();
    Q_EMIT numberGiven();
}

} // namespace q5n
