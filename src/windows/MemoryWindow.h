#pragma once

#include "link/LinkExchange.h"
#include "model/PageTable.h"
#include "shell/PageWindow.h"

#include <QString>

class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QStackedLayout;

namespace q5n {

class LinkSettingsPanel;
class MemoryTextSource;
class SerialPort;

// The memory window frmReadMemory ("Read Decoder Memory", page 9): reads the
// data lines the decoder holds in its memory into the text box TxtMemory,
// clears that memory, and keeps the text in a memory data file. The link
// settings and the exchanges are the link window's: the settings panel and
// the exchange engine.
class MemoryWindow : public PageWindow
{
    Q_OBJECT
public:
    static constexpr int kPage = Page::ReadMemory;

    enum class SaveResult { Saved, Cancelled, Failed };

    explicit MemoryWindow(MainWindow &main, QWidget *parent = nullptr);
    ~MemoryWindow() override;

    // Closing is refused while an exchange with the decoder runs.
    bool canClose() const override { return !m_busy; }
    bool busy() const { return m_busy; }

    // The commands, as their buttons run them.
    void readMemory();   // CmdRead
    void clearMemory();  // cmdClear
    SaveResult save();   // cmdSave
    SaveResult saveAs(); // cmdSaveAs
    void showOptions();  // CmdDisplay: the link settings instead of the text
    void closeClicked(); // CmdClose

    // The text as it is saved, CR LF after each line: the lines of the last
    // RS232 read as they came, or the text typed into TxtMemory.
    QString memoryText() const;
    // The text as the last Save As stored it, and the file it chose.
    QString savedText() const { return m_savedText; }
    QString fileName() const { return m_fileName; }
    bool memoryTextShown() const;

    LinkExchange &link() const { return *m_link; }
    SerialPort &serialPort() const;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildUi();
    void showMemoryText();
    void startLines();
    void appendLines(const QList<QByteArray> &lines);
    void message(const QString &title, const QString &text);
    bool writeMemoryFile(const QString &path, const QString &text);

    LinkSettingsPanel *m_panel = nullptr;
    QStackedLayout *m_stack = nullptr;
    QPlainTextEdit *m_txtMemory = nullptr;
    QPushButton *m_cmdRead = nullptr;
    QPushButton *m_cmdClear = nullptr;
    QPushButton *m_cmdSave = nullptr;
    QPushButton *m_cmdSaveAs = nullptr;
    QPushButton *m_cmdDisplay = nullptr;
    QPushButton *m_cmdClose = nullptr;
    QLineEdit *m_text1 = nullptr;
    MemoryTextSource *m_typedData = nullptr;

    LinkExchange *m_link = nullptr;
    bool m_busy = false;
    bool m_shown = false;
    QString m_fileName;  // the memory data file chosen by the last Save As
    QString m_savedText; // the text the last Save As stored
    // The lines of the last RS232 read, byte for byte (the box shows a CR or
    // LF inside a line as a picture), and whether the box has been typed into
    // since (then its text is what counts).
    QList<QByteArray> m_lines;
    bool m_typed = false;
    bool m_filling = false; // the window itself is changing the box
};

// Factory for page 9.
PageWindow *createMemoryWindow(MainWindow &main);

} // namespace q5n
