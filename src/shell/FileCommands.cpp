#include "shell/FileCommands.h"

#include "files/SetupFile.h"
#include "model/Defaults.h"
#include "model/ProgramState.h"
#include "model/Text8.h"
#include "platform/Clock.h"
#include "platform/Prompter.h"
#include "shell/AppContext.h"
#include "shell/PageSwitcher.h"
#include "shell/SetupFileMessages.h"

#include <QDir>
#include <QFileInfo>
#include <QWidget>

namespace q5n {

namespace {
const QString kSaveQuestion = QStringLiteral("Configuration had been changed,do you want to save your file?");
const QString kExitQuestion = QStringLiteral("Do you want to save your file?");
const QString kStartCaption = QStringLiteral("Q5N Configuration: ");
const QString kFileCaption = QStringLiteral("Configuration Setup: ");

Prompter::Message failure(const QString &text)
{
    return {kMainTitle, text, Prompter::Button::Ok, Prompter::Button::Ok, Prompter::Icon::Critical, {}};
}
} // namespace

FileCommands::FileCommands(AppContext &context, QWidget &frame, PageSwitcher &pages)
    : m_ctx(context), m_frame(frame), m_pages(pages)
{
}

void FileCommands::startUp()
{
    ProgramState &s = m_ctx.state;
    s.resetSetupInfo(todayText(), ProgramState::kStartDescription);
    updateCaption(kStartCaption);
    loadDefaults(s, m_ctx.paths);
    s.workingImage = s.defaultImage;
    s.markSaved();
}

QString FileCommands::todayText() const
{
    return dateText8(m_ctx.clock.today(), m_ctx.clock.locale());
}

void FileCommands::updateCaption(const QString &prefix)
{
    m_frame.setWindowTitle(prefix + m_ctx.state.setupInfo.fileName);
}

bool FileCommands::offerToSave()
{
    if (!m_ctx.state.hasUnsavedChanges())
        return true;
    const auto answer = m_ctx.prompter.ask({kMainTitle,
                                            kSaveQuestion,
                                            Prompter::Button::Yes | Prompter::Button::No | Prompter::Button::Cancel,
                                            Prompter::Button::Yes,
                                            Prompter::Icon::None,
                                            {}});
    if (answer == Prompter::Button::Cancel)
        return false;
    // A save that does not complete (dialog cancelled, write failed) stops
    // the command: the changes the user wanted kept are still there.
    if (answer == Prompter::Button::Yes)
        return save() == SaveResult::Saved;
    return true;
}

void FileCommands::newFile()
{
    if (!offerToSave())
        return;
    ProgramState &s = m_ctx.state;
    s.copyDecoderDefaults();
    s.copyReaderDefaults();
    s.resetSetupInfo(todayText(), ProgramState::kNewDescription);
    s.markSaved();
    updateCaption(kFileCaption);
    m_pages.closeSettingPages();
}

void FileCommands::open()
{
    if (!offerToSave())
        return;
    Prompter::FileDialog dialog{kSetupFileFilter,
                                kSetupFilePattern,
                                kSetupFileSuffix,
                                QString(),
                                /*mustExist*/ true,
                                false,
                                false};
    if (const auto path = m_ctx.prompter.openFile(dialog))
        read(*path);
}

bool FileCommands::openPath(const QString &path, bool askFirst)
{
    return (!askFirst || offerToSave()) && read(path);
}

bool FileCommands::read(const QString &path)
{
    QString reason;
    if (!reportSetupFileRead(m_ctx.prompter, readSetupFile(m_ctx.state, path, &reason), path, reason))
        return false;
    updateCaption(kFileCaption);
    m_pages.closeSettingPages();
    return true;
}

bool FileCommands::writeTo(const QString &path)
{
    const QString error = writeSetupFile(m_ctx.state, path);
    if (error.isEmpty())
        return true;
    m_ctx.prompter.ask(
        failure(QStringLiteral("The file \"%1\" could not be saved.\n%2").arg(QDir::toNativeSeparators(path), error)));
    return false;
}

FileCommands::SaveResult FileCommands::save()
{
    if (m_ctx.state.setupInfo.fileName == SetupInfo::kNewFile)
        return saveAs();
    return writeTo(m_ctx.state.setupInfo.fileName) ? SaveResult::Saved : SaveResult::Failed;
}

FileCommands::SaveResult FileCommands::saveAs()
{
    Prompter::FileDialog dialog{
        kSetupFileFilter,          kSetupFilePattern,          kSetupFileSuffix, m_ctx.state.setupInfo.fileName, false,
        /*confirmOverwrite*/ true, /*directoryMustExist*/ true};
    const auto path = m_ctx.prompter.saveFile(dialog);
    if (!path)
        return SaveResult::Cancelled;
    // The folder must exist already: nothing is created on the way.
    const QDir folder = QFileInfo(*path).absoluteDir();
    if (!folder.exists()) {
        m_ctx.prompter.ask(failure(
            QStringLiteral("The folder \"%1\" does not exist.\nThe file \"%2\" was not saved.")
                .arg(QDir::toNativeSeparators(folder.path()), QDir::toNativeSeparators(QFileInfo(*path).fileName()))));
        return SaveResult::Failed;
    }
    if (!writeTo(*path))
        return SaveResult::Failed;
    m_ctx.state.setupInfo.fileName = *path;
    updateCaption(kFileCaption);
    return SaveResult::Saved;
}

void FileCommands::saveAsDefault()
{
    const SaveDefaultsResult result = q5n::saveAsDefault(m_ctx.state, m_ctx.paths);
    if (result.error.isEmpty())
        return;
    m_ctx.prompter.ask(failure(QStringLiteral("The defaults could not be saved to \"%1\".\n%2")
                                   .arg(QDir::toNativeSeparators(result.path), result.error)));
}

void FileCommands::exit()
{
    const auto answer = m_ctx.prompter.ask({kMainTitle,
                                            kExitQuestion,
                                            Prompter::Button::Yes | Prompter::Button::No | Prompter::Button::Cancel,
                                            Prompter::Button::Yes,
                                            Prompter::Icon::None,
                                            {}});
    if (answer == Prompter::Button::Cancel)
        return;
    if (answer == Prompter::Button::Yes && save() != SaveResult::Saved)
        return;
    m_frame.close();
}

} // namespace q5n
