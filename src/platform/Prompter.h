#pragma once

#include <QFlags>
#include <QList>
#include <QString>

#include <optional>

class QWidget;

namespace q5n {

// Every message box and file dialog of the program goes through this
// interface: the Qt implementation shows them, tests script the answers.
class Prompter
{
public:
    enum class Button { None = 0, Ok = 0x1, Cancel = 0x2, Yes = 0x4, No = 0x8 };
    Q_DECLARE_FLAGS(Buttons, Button)
    enum class Icon { None, Information, Exclamation, Critical, Question };

    struct Message
    {
        QString title; // empty: the program's own title
        QString text;
        Buttons buttons = Button::Ok;
        Button defaultButton = Button::None; // None: the first button
        Icon icon = Icon::None;
        QString detailedText;
    };

    struct FileDialog
    {
        QString filterText;            // shown text of the single file type, e.g. "Config Setup Files(*.cfg)"
        QString filterPattern;         // its pattern, e.g. "*.cfg"
        QString defaultSuffix;         // appended to a name typed without extension
        QString proposedName;          // the file name shown when the dialog opens
        bool mustExist = false;        // Open: the named file must exist
        bool confirmOverwrite = false; // Save: ask before replacing a file
        bool directoryMustExist = false;
    };

    virtual ~Prompter() = default;

    virtual Button ask(const Message &message) = 0;
    // The chosen path, or nothing when the user cancelled.
    virtual std::optional<QString> openFile(const FileDialog &dialog) = 0;
    virtual std::optional<QString> saveFile(const FileDialog &dialog) = 0;

    // Short forms.
    void inform(const QString &title, const QString &text);
    void inform(const QString &title, const QString &text, const QString &detailedText);
};

Q_DECLARE_OPERATORS_FOR_FLAGS(Prompter::Buttons)

// The program's own title (the About window's), used by boxes that set none.
inline const QString kProgramTitle = QStringLiteral("Q5N Configuration");
// Title of the questions and messages of the main window.
inline const QString kMainTitle = QStringLiteral("Configuration Setup");

// Shows real QMessageBox and QFileDialog windows over `parent`.
class QtPrompter final : public Prompter
{
public:
    explicit QtPrompter(QWidget *parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget *parent) { m_parent = parent; }

    Button ask(const Message &message) override;
    std::optional<QString> openFile(const FileDialog &dialog) override;
    std::optional<QString> saveFile(const FileDialog &dialog) override;

private:
    QWidget *m_parent;
};

} // namespace q5n
