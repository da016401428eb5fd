#include "windows/MemoryWindow.h"

#include "link/AnswerSource.h"
#include "model/ProgramState.h"
#include "platform/Paths.h"
#include "platform/Prompter.h"
#include "protocol/Memory.h"
#include "shell/AppContext.h"
#include "windows/LinkSettingsPanel.h"
#include "windows/LinkWindowLayout.h"
#include "windows/TabTextBox.h"

#include <QCloseEvent>
#include <QDir>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QStackedLayout>
#include <QTextCursor>
#include <QTextDocument>
#include <QVBoxLayout>

namespace q5n {

namespace {

const QString kReadTitle = QStringLiteral("Read Memory Message");
const QString kClearTitle = QStringLiteral("Clear Memory Message");
const QString kReadQuestion = QStringLiteral("This will read decoder memory data!");
const QString kClearQuestion = QStringLiteral("This will Clear decoder memory data!");
const QString kFileTitle = QStringLiteral("Memory Data Read");
const QString kChangedQuestion = QStringLiteral("Memory Data had been changed,do you want to save your file?");
const QString kMemoryFileFilter = QStringLiteral("Memory Data File(*.txt)");
const QString kMemoryFilePattern = QStringLiteral("*.txt");
const QString kMemoryFileSuffix = QStringLiteral("txt");

// The text of a memory text box with CR LF line ends. The raw text keeps every
// character as typed or received (the plain text would turn a no-break space
// into a blank); only the paragraph and line separators become CR LF.
QString boxText(const QPlainTextEdit *box)
{
    QString text = box->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QStringLiteral("\r\n"));
    text.replace(QChar::LineSeparator, QStringLiteral("\r\n"));
    return text;
}

} // namespace

// Where the decoder types a keyboard memory read: the memory text box. The
// end of the data is the character 3, which a text box does not keep (it is
// the key Ctrl+C): while a read waits for its data, the source takes that key
// as the end and reports it at the end of its text, as typed. At any other
// time Ctrl+C is the box's own (copy).
class MemoryTextSource : public AnswerSource
{
public:
    MemoryTextSource(QPlainTextEdit *box, std::function<void()> show, QObject *parent)
        : AnswerSource(parent), m_box(box), m_watched(box), m_show(std::move(show))
    {
        connect(box, &QPlainTextEdit::textChanged, this, &AnswerSource::changed);
        box->installEventFilter(this);
    }

    void prepare() override
    {
        if (!m_box)
            return;
        m_show();
        QWidget *window = m_box->window();
        if (window->isVisible() && !window->isActiveWindow())
            window->activateWindow();
        m_box->setFocus(Qt::OtherFocusReason);
        m_ended = false;
        m_reading = true;
        m_box->clear();
    }

    // The read is over: the keys are the box's again.
    void readOver() { m_reading = false; }

    QString text() const override
    {
        if (!m_box)
            return {};
        QString text = boxText(m_box);
        if (m_ended)
            text += QChar(kKeyboardMemoryEnd);
        return text;
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (m_reading && event->type() == QEvent::KeyPress && watched == m_watched) {
            const auto *key = static_cast<QKeyEvent *>(event);
            if (key->text() == QString(QChar(kKeyboardMemoryEnd)) ||
                (key->key() == Qt::Key_C && key->modifiers() == Qt::ControlModifier)) {
                m_ended = true;
                Q_EMIT changed();
                return true;
            }
        }
        return AnswerSource::eventFilter(watched, event);
    }

private:
    QPointer<QPlainTextEdit> m_box;
    const QObject *m_watched; // compared only, never used
    std::function<void()> m_show;
    bool m_ended = false;
    bool m_reading = false;
};

MemoryWindow::MemoryWindow(ProgramHost &host, QWidget *parent) : LinkWindow(host, kPage, parent)
{
    buildUi();
    m_typedData = new MemoryTextSource(
        m_txtMemory, [this] { showMemoryText(); }, this);
    ProgramState &s = context().state;
    addCommand({m_cmdRead, [this] { return confirm(kReadTitle, kReadQuestion); },
                [this, &s] {
                    link().readMemory(
                        s.linkSettings,
                        [this](const QList<QByteArray> &lines) {
                            if (lines.isEmpty()) {
                                // The read has begun: the text box starts empty.
                                startLines();
                                showMemoryText();
                            } else {
                                appendLines(lines);
                            }
                        },
                        m_typedData);
                },
                ExchangeKind::ReadMemory});
    addCommand({m_cmdClear, [this] { return confirm(kClearTitle, kClearQuestion); },
                [this, &s] { link().clearMemory(s.linkSettings); }, ExchangeKind::ClearMemory});
    disableWhileBusy({m_cmdSave, m_cmdSaveAs, m_cmdDisplay, m_cmdClose});
    // The keys of the memory box are its own again once a read has ended,
    // however it ended.
    connect(&link(), &LinkExchange::finished, this, [this] { m_typedData->readOver(); });
    // Whatever changes the box but the lines a read appends is typing (the
    // decoder's on the keyboard line, or the user's).
    connect(m_txtMemory->document(), &QTextDocument::contentsChanged, this, [this] {
        if (!m_filling)
            m_typed = true;
    });
    panel()->load();
}

MemoryWindow::~MemoryWindow()
{
    // The typed-data source watches the text box: it goes before the box does.
    delete m_typedData;
    m_typedData = nullptr;
}

PageWindow *createMemoryWindow(ProgramHost &host)
{
    return new MemoryWindow(host);
}

bool MemoryWindow::confirm(const QString &title, const QString &question)
{
    return context().prompter.ask({title,
                                   question,
                                   Prompter::Button::Ok | Prompter::Button::Cancel,
                                   Prompter::Button::Ok,
                                   Prompter::Icon::None,
                                   {}}) == Prompter::Button::Ok;
}

// ---- Layout -------------------------------------------------------------

void MemoryWindow::buildUi()
{
    auto *panel = new LinkSettingsPanel(
        context().state, {4, {QStringLiteral("By Keyboard"), QStringLiteral("By RS232")}, false, false}, this);
    setUpLink(panel);

    // A Tab the decoder types is data; Ctrl+Tab leaves the box.
    m_txtMemory = new TabTextBox(this);
    m_txtMemory->setObjectName(QStringLiteral("TxtMemory"));
    m_txtMemory->setAccessibleName(QStringLiteral("Decoder memory data"));
    m_txtMemory->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_txtMemory->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    auto button = [this](const QString &name, const QString &caption) { return makeButton(name, caption); };
    m_cmdRead = button(QStringLiteral("CmdRead"), QStringLiteral("&Read Memory"));
    m_cmdClear = button(QStringLiteral("cmdClear"), QStringLiteral("&Clear Memory"));
    m_cmdSave = button(QStringLiteral("cmdSave"), QStringLiteral("&Save"));
    m_cmdSaveAs = button(QStringLiteral("cmdSaveAs"), QStringLiteral("Save &As"));
    m_cmdDisplay = button(QStringLiteral("CmdDisplay"), QStringLiteral("&Option"));
    m_cmdClose = button(QStringLiteral("CmdClose"), QStringLiteral("&Exit"));
    connect(m_cmdSave, &QPushButton::clicked, this, [this] { save(); });
    connect(m_cmdSaveAs, &QPushButton::clicked, this, [this] { saveAs(); });
    connect(m_cmdDisplay, &QPushButton::clicked, this, &MemoryWindow::showOptions);
    connect(m_cmdClose, &QPushButton::clicked, this, &MemoryWindow::closeClicked);

    // The text box covers the settings when shown: both share one place.
    auto *settings = new QWidget(this);
    auto *settingsLayout = new QVBoxLayout(settings);
    settingsLayout->setContentsMargins(0, 0, 0, 0);
    settingsLayout->addWidget(panel, 0, Qt::AlignLeft | Qt::AlignTop);
    settingsLayout->addStretch(1);
    m_stack = new QStackedLayout;
    m_stack->addWidget(settings);
    m_stack->addWidget(m_txtMemory);
    m_stack->setCurrentIndex(0);

    auto *buttons = new QVBoxLayout;
    for (QPushButton *b : {m_cmdRead, m_cmdClear, m_cmdSave, m_cmdSaveAs, m_cmdDisplay, m_cmdClose})
        buttons->addWidget(b);
    buttons->addWidget(waitStatus());
    buttons->addStretch(1);

    auto *top = new QHBoxLayout;
    top->addLayout(m_stack, 1);
    top->addSpacing(12);
    top->addLayout(buttons);

    auto *outer = new QVBoxLayout(this);
    outer->addLayout(top, 1);
    outer->addWidget(answerBox(), 0, Qt::AlignLeft | Qt::AlignBottom);

    // Keyboard order: the settings (or the text box in their place), then the buttons.
    QList<QWidget *> order = panel->focusOrder();
    order << m_txtMemory << m_cmdRead << m_cmdClear << m_cmdSave << m_cmdSaveAs << m_cmdDisplay << m_cmdClose;
    chainFocus(order);
}

void MemoryWindow::showMemoryText()
{
    m_stack->setCurrentWidget(m_txtMemory);
}

void MemoryWindow::showOptions()
{
    m_stack->setCurrentIndex(0);
}

bool MemoryWindow::memoryTextShown() const
{
    return m_stack->currentWidget() == m_txtMemory;
}

QString MemoryWindow::memoryText() const
{
    // The lines of a read exactly as they came, while the box shows just
    // them; once it has been typed into, the box's text, each character back
    // to its byte.
    if (!m_typed)
        return memoryLinesText(m_lines);
    return memoryTextFromShown(boxText(m_txtMemory));
}

void MemoryWindow::startLines()
{
    m_filling = true;
    m_txtMemory->clear();
    m_filling = false;
    m_lines.clear();
    m_typed = false;
}

void MemoryWindow::appendLines(const QList<QByteArray> &lines)
{
    QString text;
    for (const QByteArray &line : lines)
        text += memoryLineShown(line) + u'\n';
    QTextCursor end(m_txtMemory->document());
    end.movePosition(QTextCursor::End);
    m_filling = true;
    end.insertText(text);
    m_filling = false;
    m_lines += lines;
    m_txtMemory->ensureCursorVisible();
}

// ---- The memory data file ---------------------------------------------------

bool MemoryWindow::writeMemoryFile(const QString &path, const QString &text)
{
    const QString error = writeFileAtomically(path, memoryDataFileBytes(text));
    if (error.isEmpty())
        return true;
    context().prompter.ask(
        {kFileTitle,
         QStringLiteral("The file \"%1\" could not be saved.\n%2").arg(QDir::toNativeSeparators(path), error),
         Prompter::Button::Ok,
         Prompter::Button::Ok,
         Prompter::Icon::Critical,
         {}});
    return false;
}

MemoryWindow::SaveResult MemoryWindow::saveAs()
{
    if (busy())
        return SaveResult::Cancelled;
    showMemoryText();
    const Prompter::FileDialog dialog{
        kMemoryFileFilter,         kMemoryFilePattern,         kMemoryFileSuffix, m_fileName, false,
        /*confirmOverwrite*/ true, /*directoryMustExist*/ true};
    const auto path = context().prompter.saveFile(dialog);
    if (!path)
        return SaveResult::Cancelled;
    const QString text = memoryText();
    // The file name and the saved text change only once the file is written.
    if (!writeMemoryFile(*path, text))
        return SaveResult::Failed;
    m_fileName = *path;
    m_savedText = text;
    return SaveResult::Saved;
}

MemoryWindow::SaveResult MemoryWindow::save()
{
    if (busy())
        return SaveResult::Cancelled;
    showMemoryText();
    if (m_fileName.isEmpty())
        return saveAs();
    // A plain Save keeps the saved text: only Save As refreshes it.
    return writeMemoryFile(m_fileName, memoryText()) ? SaveResult::Saved : SaveResult::Failed;
}

// ---- Closing ------------------------------------------------------------------

void MemoryWindow::closeEvent(QCloseEvent *event)
{
    if (!canClose()) {
        event->ignore();
        return;
    }
    if (memoryText() != m_savedText) {
        const auto answer =
            context().prompter.ask({kFileTitle,
                                    kChangedQuestion,
                                    Prompter::Button::Yes | Prompter::Button::No | Prompter::Button::Cancel,
                                    Prompter::Button::Yes,
                                    Prompter::Icon::None,
                                    {}});
        // A Save that was cancelled or failed keeps the window and its text.
        if (answer == Prompter::Button::Cancel || answer == Prompter::Button::None ||
            (answer == Prompter::Button::Yes && save() != SaveResult::Saved)) {
            event->ignore();
            return;
        }
    }
    PageWindow::closeEvent(event);
}

} // namespace q5n
