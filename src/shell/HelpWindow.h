#pragma once

#include <QList>
#include <QString>
#include <QWidget>

class QLabel;
class QLineEdit;
class QTextBrowser;
class QTreeWidget;

namespace q5n {

// The program's user guide: a contents list, a search box and the text.
// Sections are the guide's headings that carry an anchor; the anchors are
// the names of the windows they explain (cfg3, magcfg4, frmTransmit, DDT...).
class HelpWindow : public QWidget
{
    Q_OBJECT
public:
    struct Section
    {
        QString anchor;
        QString title;
        int level; // 2 chapter, 3 section of a chapter
    };

    explicit HelpWindow(QWidget *parent = nullptr);

    // Shows the section with this anchor (the beginning when empty or unknown).
    void showSection(const QString &anchor);
    // Anchor of the section last shown (empty: the beginning).
    QString currentSection() const;
    QList<Section> sections() const { return m_sections; }
    bool hasSection(const QString &anchor) const;

    // Selects the next occurrence of `text` after the cursor, wrapping round
    // to the beginning; false (and a note beside the box) when there is none.
    bool findText(const QString &text);

    QTextBrowser *browser() const { return m_browser; }
    QTreeWidget *contents() const { return m_contents; }
    QLineEdit *searchBox() const { return m_search; }

private:
    void loadSections();
    void selectInContents(const QString &anchor);

    QTextBrowser *m_browser;
    QTreeWidget *m_contents;
    QLineEdit *m_search;
    QLabel *m_searchResult;
    QList<Section> m_sections;
};

} // namespace q5n
