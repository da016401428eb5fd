#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class QPrinter;

namespace q5n {

class CompareWindow;
class MainWindow;

// The commands that serve a technician's desk rather than one page: comparing
// the working configuration with a file or with the decoder, printing the
// settings sheet, and taking setup files dropped on the main window.
class DesktopCommands : public QObject
{
    Q_OBJECT
public:
    explicit DesktopCommands(MainWindow &main);
    ~DesktopCommands() override;

    // "Compare with File...": a setup file chosen in the Open dialog.
    void compareWithFile();
    // Compares with the setup file at `path`; refused files get Open's messages.
    void compareWithFile(const QString &path);
    // "Compare with Decoder": the section the decoder sends over the current
    // link settings; the working configuration stays as it is. Returns once
    // the upload has started; the comparison opens when the decoder answered.
    void compareWithDecoder();
    // "Print Settings...": the settings sheet through the print dialog (which
    // also saves it as a PDF file).
    void printSettings();

    CompareWindow *compareWindow() const;

    // How the printer is chosen; the platform's print dialog unless a test
    // sets its own. Returns false when the user cancelled.
    using PrinterChooser = std::function<bool(QPrinter &)>;
    void setPrinterChooser(PrinterChooser chooser) { m_choosePrinter = std::move(chooser); }

protected:
    // Setup files dragged onto the main window.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    CompareWindow &ensureCompareWindow();

    MainWindow &m_main;
    QPointer<CompareWindow> m_compare;
    PrinterChooser m_choosePrinter;
};

} // namespace q5n
