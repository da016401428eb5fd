#include "shell/SetupFileMessages.h"

#include "platform/Prompter.h"

#include <QDir>

namespace q5n {

bool reportSetupFileRead(Prompter &prompter, ReadSetupResult result, const QString &path, const QString &reason)
{
    switch (result) {
    case ReadSetupResult::Read: return true;
    case ReadSetupResult::NotSetupFile: prompter.inform(kMainTitle, kNotSetupFileText); return false;
    case ReadSetupResult::Unreadable:
        prompter.ask(
            {kMainTitle,
             QStringLiteral("The file \"%1\" could not be read.\n%2").arg(QDir::toNativeSeparators(path), reason),
             Prompter::Button::Ok,
             Prompter::Button::Ok,
             Prompter::Icon::Critical,
             {}});
        return false;
    }
    return false;
}

Prompter::FileDialog openSetupFileDialog()
{
    return {kSetupFileFilter, kSetupFilePattern, kSetupFileSuffix, QString(), /*mustExist*/ true, false, false};
}

} // namespace q5n
