#pragma once

#include "shell/CompareCommands.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

namespace q5n {

class CompareWindow;
class ProgramHost;

// The comparison commands of the Tools menu over the comparison window
// frmCompare (made once, at the first comparison) and, for the decoder, the
// busy window that asks it for its configuration.
class CompareWindowCommands : public QObject, public CompareCommands
{
    Q_OBJECT
public:
    explicit CompareWindowCommands(ProgramHost &host);
    ~CompareWindowCommands() override;

    void compareWithFile() override;
    // Compares with the setup file at `path`; refused files get Open's messages.
    void compareWithFile(const QString &path);
    // The comparison opens when the decoder answered.
    void compareWithDecoder() override;

    CompareWindow *compareWindow() const;

private:
    CompareWindow &ensureCompareWindow();

    ProgramHost &m_host;
    QPointer<CompareWindow> m_compare;
};

// The factory the program registers with the main window.
std::unique_ptr<CompareCommands> createCompareCommands(ProgramHost &host);

} // namespace q5n
