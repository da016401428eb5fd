#include "shell/PrintOutput.h"

#include "platform/Paths.h"

#include <QFileInfo>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTextDocument>

namespace q5n {

namespace {

QString printerFailed()
{
    return QStringLiteral("The printer reported an error.");
}

} // namespace

QString printDocument(const QTextDocument &document, QPrinter &printer)
{
    const QString chosen = printer.outputFileName();
    if (chosen.isEmpty()) {
        document.print(&printer);
        return printer.printerState() == QPrinter::Error ? printerFailed() : QString();
    }
    // The printer writes where it is told, through whatever is at the name;
    // it is told a name in a fresh folder only the user may enter (mode 0700).
    // The private name keeps the chosen suffix, since the printer takes its
    // output format from it.
    QTemporaryDir privateFolder;
    if (!privateFolder.isValid())
        return privateFolder.errorString();
    const QString suffix = QFileInfo(chosen).suffix();
    const QString rendered = privateFolder.filePath(suffix.isEmpty() ? QStringLiteral("output") : u"output." + suffix);
    printer.setOutputFileName(rendered);
    document.print(&printer);
    const bool printed = printer.printerState() != QPrinter::Error;
    printer.setOutputFileName(chosen);
    QByteArray bytes;
    if (!printed || !readWholeFile(rendered, &bytes))
        return printerFailed();
    return writeFileAtomically(chosen, bytes);
}

} // namespace q5n
