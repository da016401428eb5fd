#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QPrinter;

namespace q5n {

class FileCommands;
class ProgramHost;

// The commands that serve a technician's desk rather than one page: printing
// the settings sheet and taking setup files dropped on the main window (the
// comparisons are the windows layer's: CompareCommands).
class DesktopCommands : public QObject
{
    Q_OBJECT
public:
    // Takes the files dropped on the host's window and opens them with `files`.
    DesktopCommands(ProgramHost &host, FileCommands &files);
    ~DesktopCommands() override;

    // "Print Settings...": the settings sheet through the print dialog (which
    // also saves it as a PDF file).
    void printSettings();

    // How the printer is chosen; the platform's print dialog unless a test
    // sets its own. Returns false when the user cancelled.
    using PrinterChooser = std::function<bool(QPrinter &)>;
    void setPrinterChooser(PrinterChooser chooser) { m_choosePrinter = std::move(chooser); }

protected:
    // Setup files dragged onto the main window.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    ProgramHost &m_host;
    FileCommands &m_files;
    PrinterChooser m_choosePrinter;
};

} // namespace q5n
