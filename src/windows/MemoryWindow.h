#pragma once

#include "model/PageTable.h"
#include "windows/LinkWindow.h"

#include <QString>

class QPlainTextEdit;
class QPushButton;
class QStackedLayout;

namespace q5n {

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

    explicit MemoryWindow(MainWindow &main, QWidget *parent = nullptr);
    ~MemoryWindow() override;

    // The commands, as their buttons run them.
    void readMemory() { run(m_cmdRead); }   // CmdRead
    void clearMemory() { run(m_cmdClear); } // cmdClear
    SaveResult save();                      // cmdSave
    SaveResult saveAs();                    // cmdSaveAs
    void showOptions();                     // CmdDisplay: the link settings instead of the text

    // The text of TxtMemory with CR LF line ends, as it is saved.
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
    AnswerSource *m_typedData = nullptr;

    QString m_fileName;  // the memory data file chosen by the last Save As
    QString m_savedText; // the text the last Save As stored
};

// Factory for page 9.
PageWindow *createMemoryWindow(MainWindow &main);

} // namespace q5n
