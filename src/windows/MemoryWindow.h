#pragma once

#include "model/PageTable.h"
#include "windows/LinkWindow.h"

#include <QString>

class QPlainTextEdit;
class QPushButton;
class QStackedLayout;

namespace q5n {

class MemoryTextSource;

// The memory window frmReadMemory ("Read Decoder Memory", page 9): reads the
// data lines the decoder holds in its memory into the text box TxtMemory,
// clears that memory, and keeps the text in a memory data file. The link
// settings and the exchanges are the link window's: the settings panel and
// the exchange engine.
class MemoryWindow : public LinkWindow
{
    Q_OBJECT
public:
    static constexpr int kPage = Page::ReadMemory;

    enum class SaveResult { Saved, Cancelled, Failed };

    explicit MemoryWindow(ProgramHost &host, QWidget *parent = nullptr);
    ~MemoryWindow() override;

    // The commands, as their buttons run them.
    void readMemory() { run(m_cmdRead); }   // CmdRead
    void clearMemory() { run(m_cmdClear); } // cmdClear
    SaveResult save();                      // cmdSave
    SaveResult saveAs();                    // cmdSaveAs
    void showOptions();                     // CmdDisplay: the link settings instead of the text

    // The text as it is saved, CR LF after each line: the lines of the last
    // RS232 read as they came, or the text typed into TxtMemory.
    QString memoryText() const;
    // The text as the last Save As stored it, and the file it chose.
    QString savedText() const { return m_savedText; }
    QString fileName() const { return m_fileName; }
    bool memoryTextShown() const;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildUi();
    void showMemoryText();
    void startLines();
    void appendLines(const QList<QByteArray> &lines);
    bool confirm(const QString &title, const QString &question);
    bool writeMemoryFile(const QString &path, const QString &text);

    QStackedLayout *m_stack = nullptr;
    QPlainTextEdit *m_txtMemory = nullptr;
    QPushButton *m_cmdRead = nullptr;
    QPushButton *m_cmdClear = nullptr;
    QPushButton *m_cmdSave = nullptr;
    QPushButton *m_cmdSaveAs = nullptr;
    QPushButton *m_cmdDisplay = nullptr;
    QPushButton *m_cmdClose = nullptr;
    MemoryTextSource *m_typedData = nullptr;

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
PageWindow *createMemoryWindow(ProgramHost &host);

} // namespace q5n
