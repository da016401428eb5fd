#include "platform/Prompter.h"

#include <QApplication>
#include <QFileDialog>
#include <QGridLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QSpacerItem>
#include <QStyle>

namespace q5n {

void Prompter::inform(const QString &title, const QString &text)
{
    ask(Message{title, text, Button::Ok, Button::Ok, Icon::None, {}});
}

void Prompter::inform(const QString &title, const QString &text, const QString &detailedText)
{
    ask(Message{title, text, Button::Ok, Button::Ok, Icon::None, detailedText});
}

namespace {

QMessageBox::StandardButton toQt(Prompter::Button b)
{
    switch (b) {
    case Prompter::Button::Ok: return QMessageBox::Ok;
    case Prompter::Button::Cancel: return QMessageBox::Cancel;
    case Prompter::Button::Yes: return QMessageBox::Yes;
    case Prompter::Button::No: return QMessageBox::No;
    case Prompter::Button::None: break;
    }
    return QMessageBox::NoButton;
}

QMessageBox::Icon toQt(Prompter::Icon icon)
{
    switch (icon) {
    case Prompter::Icon::Information: return QMessageBox::Information;
    case Prompter::Icon::Exclamation: return QMessageBox::Warning;
    case Prompter::Icon::Critical: return QMessageBox::Critical;
    case Prompter::Icon::Question: return QMessageBox::Question;
    case Prompter::Icon::None: break;
    }
    return QMessageBox::NoIcon;
}

// Choosing the full path the user meant: the default suffix is appended to a
// name typed without one.
QString withSuffix(QString path, const QString &suffix)
{
    if (!suffix.isEmpty() && QFileInfo(path).suffix().isEmpty())
        path += QLatin1Char('.') + suffix;
    return path;
}

QString filterOf(const Prompter::FileDialog &d)
{
    // Qt reads the pattern from the parentheses of the shown text.
    return d.filterText.contains(d.filterPattern) ? d.filterText
                                                  : d.filterText + QStringLiteral(" (") + d.filterPattern + u')';
}

// A message's line ends as a message box shows them: a carriage return, a line
// feed, or either pair of the two, starts a new line. (Qt alone would drop a
// carriage return, and the firmware version's lines would run together.)
QString shownText(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != u'\r' && c != u'\n') {
            out += c;
            continue;
        }
        out += u'\n';
        if (i + 1 < text.size() && (text[i + 1] == u'\r' || text[i + 1] == u'\n') && text[i + 1] != c)
            ++i;
    }
    return out;
}

} // namespace

Prompter::Button QtPrompter::ask(const Message &message)
{
    QMessageBox box(toQt(message.icon), message.title.isEmpty() ? kProgramTitle : message.title,
                    shownText(message.text), QMessageBox::NoButton, m_parent);
    // Texts are shown as they are, never read as markup (a decoder's version
    // text or a file name may hold "<").
    box.setTextFormat(Qt::PlainText);
    const Button order[] = {Button::Yes, Button::No, Button::Ok, Button::Cancel};
    for (Button b : order)
        if (message.buttons.testFlag(b))
            box.addButton(toQt(b));
    if (message.defaultButton != Button::None)
        box.setDefaultButton(toQt(message.defaultButton));
    if (message.buttons.testFlag(Button::Cancel))
        box.setEscapeButton(QMessageBox::Cancel);
    else if (message.buttons.testFlag(Button::No))
        box.setEscapeButton(QMessageBox::No);
    if (!message.detailedText.isEmpty())
        box.setDetailedText(message.detailedText);
    // The box is at least as wide as its title needs, beside the window
    // system's icon and buttons in the title bar (a short text would
    // otherwise leave the title cut).
    if (auto *grid = qobject_cast<QGridLayout *>(box.layout())) {
        const int titleBar = box.style()->pixelMetric(QStyle::PM_TitleBarHeight);
        const int needed =
            QFontMetrics(QApplication::font("QMdiSubWindowTitleBar")).horizontalAdvance(box.windowTitle()) +
            5 * titleBar;
        grid->addItem(new QSpacerItem(needed, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(), 0, 1,
                      grid->columnCount());
    }
    const int result = box.exec();
    switch (result) {
    case QMessageBox::Ok: return Button::Ok;
    case QMessageBox::Cancel: return Button::Cancel;
    case QMessageBox::Yes: return Button::Yes;
    case QMessageBox::No: return Button::No;
    default: break;
    }
    // Closed with the window's close box: the escape answer.
    if (message.buttons.testFlag(Button::Cancel))
        return Button::Cancel;
    if (message.buttons.testFlag(Button::No))
        return Button::No;
    return Button::Ok;
}

std::optional<QString> QtPrompter::openFile(const FileDialog &d)
{
    QFileDialog dialog(m_parent);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(d.mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setNameFilter(filterOf(d));
    dialog.setDefaultSuffix(d.defaultSuffix);
    if (!d.proposedName.isEmpty())
        dialog.selectFile(d.proposedName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().front();
}

std::optional<QString> QtPrompter::saveFile(const FileDialog &d)
{
    QFileDialog dialog(m_parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(filterOf(d));
    dialog.setDefaultSuffix(d.defaultSuffix);
    if (!d.confirmOverwrite)
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (!d.proposedName.isEmpty())
        dialog.selectFile(d.proposedName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return withSuffix(dialog.selectedFiles().front(), d.defaultSuffix);
}

} // namespace q5n
