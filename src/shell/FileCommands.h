#pragma once

#include <QString>

class QWidget;

namespace q5n {

class PageSwitcher;
struct AppContext;

// The File menu's commands on the configuration and its setup file: New, Open
// (from the dialog or from a path), Save, Save As, Save As Default and Exit,
// with the save question they share and the main window's caption.
class FileCommands
{
public:
    // `frame`: the window whose caption names the file and that Exit closes.
    FileCommands(AppContext &context, QWidget &frame, PageSwitcher &pages);

    // Outcome of a Save or Save As.
    enum class SaveResult { Saved, Cancelled, Failed };

    // The start values: today's date and the start description, the defaults
    // file, nothing unsaved, the start caption.
    void startUp();

    void newFile();
    // Open...: the question about unsaved changes, the file dialog, the file.
    void open();
    // Opens the setup file at `path` as Open... does after its dialog, with
    // the question about unsaved changes first unless `askFirst` is false (the
    // file named on the command line). False when nothing was read.
    bool openPath(const QString &path, bool askFirst = true);
    SaveResult save();
    SaveResult saveAs();
    void saveAsDefault();
    void exit();

    // The question of New, Open and closing; false when the user cancelled or
    // the save they asked for failed.
    bool offerToSave();

private:
    bool read(const QString &path);
    bool writeTo(const QString &path);
    void updateCaption(const QString &prefix);
    QString todayText() const;

    AppContext &m_ctx;
    QWidget &m_frame;
    PageSwitcher &m_pages;
};

} // namespace q5n
