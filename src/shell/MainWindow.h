#pragma once

#include "shell/AppContext.h"

#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <map>

class QAction;
class QMdiArea;
class QMdiSubWindow;

namespace q5n {

class PageWindow;

// The main window MDImain: the frame of every page window, the owner of the
// file commands and of start-up and shut-down.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(AppContext &context, QWidget *parent = nullptr);
    ~MainWindow() override;

    AppContext &context() { return m_ctx; }
    QMdiArea *mdiArea() const { return m_mdi; }

    // Runs once before the window is first shown: port I/O start (with its
    // message when it fails), start values, defaults, images, caption.
    void startUp();

    // Outcome of a Save or Save As.
    enum class SaveResult { Saved, Cancelled, Failed };

    // File commands.
    void fileNew();
    void fileOpen();
    SaveResult fileSave();
    SaveResult fileSaveAs();
    void fileSaveAsDefault();
    void fileExit();

    // Context help file of the application.
    QString helpFile() const { return m_helpFile; }

    // Creates the window of a page (not yet shown). Pages register their
    // factory with registerPage(); tests register stand-ins.
    using PageFactory = std::function<PageWindow *(MainWindow &)>;
    void registerPage(int page, PageFactory factory) { m_factories[page] = std::move(factory); }
    bool hasPage(int page) const { return m_factories.count(page) != 0; }
    // Creates and shows the window of a page, without any page bookkeeping
    // (the window sets activePage itself). Returns nullptr for an unknown page.
    PageWindow *showPage(int page);

    // The menu item (QAction) with this objectName, or nullptr.
    QAction *menuAction(const QString &name) const;

    // Page windows by page number (0 when none): the window open for a page, if any.
    QMdiSubWindow *pageWindow(int page) const;
    // Adds a page's window as an MDI child; it is forgotten when it closes.
    QMdiSubWindow *addPageWindow(int page, QWidget *window);
    // Closes the window of a page; false when the window refused to close.
    bool closePage(int page);
    // Closes cfg3, cfg4, cfg5, cfg6, magcfg3, magcfg4, magcfg6 and frmTransmit,
    // in that order, those that are open (New and Open do this).
    void closeSettingPages();

    void updateCaption(const QString &prefix);

Q_SIGNALS:
    // The configuration in memory was replaced (New, Open) or the caption changed.
    void configurationReplaced();

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    // The question of New, Open and closing; false when the user cancelled or
    // the save they asked for failed.
    bool offerToSave();
    bool writeTo(const QString &path);

    AppContext &m_ctx;
    QMdiArea *m_mdi;
    QString m_helpFile;
    std::map<int, QPointer<QMdiSubWindow>> m_pages;
    std::map<int, PageFactory> m_factories;
    bool m_portIoStopped = false;
};

} // namespace q5n
