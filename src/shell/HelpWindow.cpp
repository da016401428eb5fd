#include "shell/HelpWindow.h"

#include "shell/Resources.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QSplitter>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace q5n {

namespace {
constexpr int kAnchorRole = Qt::UserRole;
}

HelpWindow::HelpWindow(QWidget *parent)
    : QWidget(parent, Qt::Window), m_browser(new QTextBrowser(this)), m_contents(new QTreeWidget(this)),
      m_search(new QLineEdit(this)), m_searchResult(new QLabel(this))
{
    initResources();
    setObjectName(QStringLiteral("frmHelp"));
    setWindowTitle(QStringLiteral("Q5N Configuration Help"));
    setWindowIcon(programIcon(QStringLiteral("help"), QStringLiteral("help-browser")));

    auto *searchLabel = new QLabel(QStringLiteral("&Search:"), this);
    searchLabel->setBuddy(m_search);
    m_search->setObjectName(QStringLiteral("txtSearch"));
    m_search->setClearButtonEnabled(true);
    auto *findNext = new QPushButton(QStringLiteral("&Find Next"), this);
    findNext->setObjectName(QStringLiteral("cmdFindNext"));
    findNext->setAutoDefault(false);
    m_searchResult->setObjectName(QStringLiteral("lblSearchResult"));

    m_contents->setObjectName(QStringLiteral("treeContents"));
    m_contents->setHeaderHidden(true);
    m_contents->setRootIsDecorated(true);
    m_contents->setAccessibleName(QStringLiteral("Contents"));
    m_browser->setObjectName(QStringLiteral("browserHelp"));
    m_browser->setOpenExternalLinks(false); // the guide has no links out of it
    m_browser->setAccessibleName(QStringLiteral("Help text"));
    // Tab leaves the text at once instead of stepping through its links one
    // by one (and Shift+Tab from the search box would land on its last link):
    // every link leads to a section the contents list reaches by keyboard.
    m_browser->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard |
                                       Qt::LinksAccessibleByMouse);

    auto *splitter = new QSplitter(this);
    splitter->addWidget(m_contents);
    splitter->addWidget(m_browser);
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({230, 570});
    splitter->setChildrenCollapsible(false);

    auto *searchRow = new QHBoxLayout;
    searchRow->addWidget(searchLabel);
    searchRow->addWidget(m_search, 1);
    searchRow->addWidget(findNext);
    searchRow->addWidget(m_searchResult);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(searchRow);
    layout->addWidget(splitter, 1);

    setTabOrder(m_search, findNext);
    setTabOrder(findNext, m_contents);
    setTabOrder(m_contents, m_browser);

    connect(m_search, &QLineEdit::returnPressed, this, [this] { findText(m_search->text()); });
    connect(m_search, &QLineEdit::textChanged, m_searchResult, &QLabel::clear);
    connect(findNext, &QPushButton::clicked, this, [this] { findText(m_search->text()); });
    connect(m_contents, &QTreeWidget::itemActivated, this,
            [this](QTreeWidgetItem *item) { showSection(item->data(0, kAnchorRole).toString()); });
    connect(m_contents, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem *item) { showSection(item->data(0, kAnchorRole).toString()); });
    connect(m_browser, &QTextBrowser::sourceChanged, this,
            [this](const QUrl &url) { selectInContents(url.fragment()); });

    auto *find = new QShortcut(QKeySequence::Find, this);
    connect(find, &QShortcut::activated, this, [this] {
        m_search->setFocus(Qt::ShortcutFocusReason);
        m_search->selectAll();
    });
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);

    m_browser->setSource(QUrl(kHelpDocument));
    loadSections();
    resize(820, 600);
}

void HelpWindow::loadSections()
{
    m_sections.clear();
    m_contents->clear();
    QTreeWidgetItem *chapter = nullptr;
    const QTextDocument *doc = m_browser->document();
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
        const int level = block.blockFormat().headingLevel();
        if (level != 2 && level != 3)
            continue;
        QString anchor;
        for (auto it = block.begin(); !it.atEnd() && anchor.isEmpty(); ++it) {
            const QStringList names = it.fragment().charFormat().anchorNames();
            if (!names.isEmpty())
                anchor = names.first();
        }
        if (anchor.isEmpty())
            continue;
        const QString title = block.text().trimmed();
        m_sections.append({anchor, title, level});
        QTreeWidgetItem *item =
            (level == 3 && chapter) ? new QTreeWidgetItem(chapter) : new QTreeWidgetItem(m_contents);
        if (level == 2)
            chapter = item;
        item->setText(0, title);
        item->setData(0, kAnchorRole, anchor);
    }
    m_contents->expandAll();
}

bool HelpWindow::hasSection(const QString &anchor) const
{
    for (const Section &s : m_sections)
        if (s.anchor == anchor)
            return true;
    return false;
}

void HelpWindow::showSection(const QString &anchor)
{
    QUrl url(kHelpDocument);
    if (!anchor.isEmpty() && hasSection(anchor))
        url.setFragment(anchor);
    m_browser->setSource(url);
    if (url.fragment().isEmpty()) {
        m_browser->moveCursor(QTextCursor::Start);
        m_browser->verticalScrollBar()->setValue(0);
    }
    selectInContents(url.fragment());
}

QString HelpWindow::currentSection() const
{
    return m_browser->source().fragment();
}

void HelpWindow::selectInContents(const QString &anchor)
{
    const QSignalBlocker block(m_contents);
    m_contents->clearSelection();
    for (QTreeWidgetItemIterator it(m_contents); *it; ++it) {
        if ((*it)->data(0, kAnchorRole).toString() == anchor) {
            m_contents->setCurrentItem(*it);
            m_contents->scrollToItem(*it);
            return;
        }
    }
}

bool HelpWindow::findText(const QString &text)
{
    m_searchResult->clear();
    if (text.isEmpty())
        return false;
    if (m_browser->find(text))
        return true;
    // Wrap round to the beginning once.
    const QTextCursor before = m_browser->textCursor();
    m_browser->moveCursor(QTextCursor::Start);
    if (m_browser->find(text))
        return true;
    m_browser->setTextCursor(before);
    m_searchResult->setText(QStringLiteral("Not found"));
    return false;
}

} // namespace q5n
