#include "windows/CompareWindow.h"

#include "model/PageTable.h"
#include "pages/common/SettingPage.h"
#include "shell/AppContext.h"
#include "shell/ProgramHost.h"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTabBar>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace q5n {

namespace {

// Measures a row with its texts wrapped at their columns' widths, so that a
// long name takes the lines it needs (the tree's own measure does not wrap).
class WrappingDelegate : public QStyledItemDelegate
{
public:
    explicit WrappingDelegate(QTreeView *view) : QStyledItemDelegate(view), m_view(view) {}

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QStyleOptionViewItem wrapped = option;
        wrapped.rect = QRect(0, 0, m_view->columnWidth(index.column()), option.fontMetrics.height());
        wrapped.features |= QStyleOptionViewItem::WrapText;
        return QStyledItemDelegate::sizeHint(wrapped, index);
    }

private:
    QTreeView *m_view;
};

// The widget that takes the focus for a field: its box, or the selected
// member of an option group (the first when none is selected).
QWidget *focusTarget(SettingPage &page, const QString &field)
{
    if (QWidget *control = page.fieldControl(field))
        return control;
    QWidget *first = nullptr;
    for (int option = 0; option < 16; ++option) {
        auto *member = qobject_cast<QAbstractButton *>(page.fieldControl(field, option));
        if (!member)
            continue;
        if (!first)
            first = member;
        if (member->isChecked() && qobject_cast<QRadioButton *>(member))
            return member;
    }
    return first;
}

} // namespace

CompareWindow::CompareWindow(ProgramHost &host) : QWidget(host.hostWindow(), Qt::Window), m_host(host)
{
    setObjectName(QStringLiteral("frmCompare"));
    setWindowTitle(QStringLiteral("Compare Settings"));
    setAttribute(Qt::WA_DeleteOnClose, false);

    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("LblCompared"));
    m_summary->setTextFormat(Qt::PlainText);
    m_summary->setWordWrap(true);

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("lstDifferences"));
    m_list->setRootIsDecorated(false);
    // A long name wraps in its column rather than losing its end: the rows
    // of one frame differ only in their last part ("… › Magnetic Reader ›
    // Send Start/Stop Character", "… › Separator Character …").
    m_list->setWordWrap(true);
    m_list->setTextElideMode(Qt::ElideMiddle);
    m_list->setUniformRowHeights(false);
    m_list->setItemDelegate(new WrappingDelegate(m_list));
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setHeaderLabels({QStringLiteral("Setting"), QStringLiteral("This Value"), QStringLiteral("Other Value")});
    m_list->setAccessibleName(QStringLiteral("Settings that differ"));
    // The setting's name takes what it needs (up to half the width); the two
    // values share the rest.
    m_list->header()->setSectionResizeMode(1, QHeaderView::Stretch);
    m_list->header()->setSectionResizeMode(2, QHeaderView::Stretch);
    // The tree keeps the row heights it measured: a column that changes its
    // width has them measured again.
    connect(
        m_list->header(), &QHeaderView::sectionResized, m_list, [this] { m_list->doItemsLayout(); },
        Qt::QueuedConnection);
    m_list->installEventFilter(this);
    m_summary->setBuddy(m_list);
    connect(m_list, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem *item) { openRow(m_list->indexOfTopLevelItem(item)); });
    connect(m_list, &QTreeWidget::itemSelectionChanged, this,
            [this] { m_useOther->setEnabled(!m_list->selectedItems().isEmpty()); });

    m_useOther = new QPushButton(QStringLiteral("&Use Other Value"), this);
    m_useOther->setObjectName(QStringLiteral("cmdUseOther"));
    m_useOther->setAutoDefault(false);
    m_useOther->setEnabled(false);
    connect(m_useOther, &QPushButton::clicked, this, &CompareWindow::useOtherValues);
    m_close = new QPushButton(QStringLiteral("Close"), this);
    m_close->setObjectName(QStringLiteral("cmdClose"));
    m_close->setAutoDefault(false);
    connect(m_close, &QPushButton::clicked, this, &QWidget::close);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_useOther);
    buttons->addStretch(1);
    buttons->addWidget(m_close);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_summary);
    layout->addWidget(m_list, 1);
    layout->addLayout(buttons);
    resize(820, 460);
}

void CompareWindow::compare(const QString &otherName, const Other &other)
{
    m_otherName = otherName;
    m_other = other;
    refresh();
    show();
    raise();
    activateWindow();
    m_list->setFocus(Qt::OtherFocusReason);
}

std::vector<SettingDifference> CompareWindow::differencesNow() const
{
    const ProgramState &s = m_host.context().state;
    return settingDifferences(
        {s.workingImage, &s.setupInfo, &s.linkSettings},
        {m_other.image, m_other.texts ? &*m_other.texts : nullptr, m_other.link ? &*m_other.link : nullptr},
        m_other.range);
}

void CompareWindow::refresh()
{
    m_differences = differencesNow();
    m_list->clear();
    for (const SettingDifference &d : m_differences) {
        auto *item = new QTreeWidgetItem(m_list, {d.where, d.thisValue, d.otherValue});
        for (int column = 0; column < 3; ++column)
            item->setToolTip(column, item->text(column));
    }
    // The name column takes what the longest name needs, up to half the width.
    int longest = 0;
    for (const SettingDifference &d : m_differences)
        longest = std::max(longest, m_list->fontMetrics().horizontalAdvance(d.where));
    const int margin = 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, m_list) + 1);
    m_list->setColumnWidth(0, std::min(longest + margin + 12, width() / 2));
    if (m_list->topLevelItemCount() > 0)
        m_list->setCurrentItem(m_list->topLevelItem(0), 0, QItemSelectionModel::NoUpdate);
    const int n = int(m_differences.size());
    if (n == 0)
        m_summary->setText(QStringLiteral("No setting differs between this configuration and %1.").arg(m_otherName));
    else
        m_summary->setText(
            QStringLiteral("%1 %2 between this configuration and %3:")
                .arg(n)
                .arg(n == 1 ? QStringLiteral("setting differs") : QStringLiteral("settings differ"), m_otherName));
    m_list->setEnabled(n > 0);
    m_useOther->setEnabled(!m_list->selectedItems().isEmpty());
}

void CompareWindow::openRow(int row)
{
    if (row < 0 || row >= int(m_differences.size()))
        return;
    const SettingDifference d = m_differences[std::size_t(row)];
    int page = d.page;
    // The setup texts stand on both Interface pages: the open one serves.
    if (d.text && m_host.context().state.activePage == Page::ReaderInterface)
        page = Page::ReaderInterface;
    if (page == Page::None)
        return;
    if (m_host.context().state.activePage != page)
        m_host.openPage(page);
    QWidget *window = m_host.openWindow(page);
    auto *settings = qobject_cast<SettingPage *>(window);
    if (!settings) {
        // The link lines: the selected option of their group in the link window.
        if (window)
            for (auto *option : window->findChildren<QRadioButton *>())
                if (option->isChecked() && option->objectName().startsWith(d.control + QLatin1Char('_'))) {
                    m_host.hostWindow()->activateWindow();
                    option->setFocus(Qt::OtherFocusReason);
                }
        return;
    }
    QWidget *target = focusTarget(*settings, d.control);
    // The tab whose frame holds the control comes to the front.
    for (int k = 0; target && k < settings->frameCount(); ++k)
        if (settings->frame(k) && settings->frame(k)->isAncestorOf(target) && settings->tabStrip())
            settings->tabStrip()->setCurrentIndex(k);
    m_host.hostWindow()->activateWindow();
    m_host.hostWindow()->raise();
    if (target)
        target->setFocus(Qt::OtherFocusReason);
}

void CompareWindow::useOtherValues()
{
    // Nothing changes the configuration while an exchange with the decoder runs.
    if (m_host.exchangeRunning())
        return;
    ProgramState &s = m_host.context().state;
    for (const QModelIndex &index : m_list->selectionModel()->selectedRows())
        if (index.row() < int(m_differences.size()))
            useOtherValue(m_differences[std::size_t(index.row())], s.setupInfo, s.linkSettings, s.workingImage);
    // A setting page shows the image as it was when it opened, the link
    // window the link settings: it is opened again to show the values just
    // taken. The memory window keeps what it read.
    const int open = s.activePage;
    const PageInfo *info = pageInfo(open);
    if (info && (info->family != PageFamily::Tool || open == Page::Transmit) && m_host.closePage(open))
        m_host.openPage(open);
    refresh();
    activateWindow();
    m_list->setFocus(Qt::OtherFocusReason);
}

void CompareWindow::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() != QEvent::ActivationChange || !isActiveWindow() || !isVisible())
        return;
    const auto now = differencesNow();
    const auto same = [](const SettingDifference &a, const SettingDifference &b) {
        return a.where == b.where && a.thisValue == b.thisValue && a.otherValue == b.otherValue;
    };
    // Unchanged: the selection stays as the user left it.
    if (!std::equal(now.begin(), now.end(), m_differences.begin(), m_differences.end(), same))
        refresh();
}

bool CompareWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_list && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (QTreeWidgetItem *item = m_list->currentItem())
                openRow(m_list->indexOfTopLevelItem(item));
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace q5n
