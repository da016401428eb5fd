#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace q5n {

class Prompter;
struct SystemInfoLauncher;

// The About window frmAbout: program title, version and purpose; "OK" closes
// it, "System Info..." starts the desktop's system information tool.
class AboutWindow : public QDialog
{
    Q_OBJECT
public:
    // `launcher` must outlive the window (the main window owns it).
    AboutWindow(Prompter &prompter, const SystemInfoLauncher &launcher, QWidget *parent = nullptr);

    static inline const QString kUnavailable = QStringLiteral("System Information Is Unavailable At This Time");

    // "System Info...": starts the tool, or says it is unavailable.
    void startSystemInfo();

private:
    Prompter &m_prompter;
    const SystemInfoLauncher &m_launcher;
};

} // namespace q5n
