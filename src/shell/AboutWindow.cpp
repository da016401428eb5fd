#include "shell/AboutWindow.h"

#include "platform/Prompter.h"
#include "shell/Resources.h"
#include "shell/SystemInfo.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace q5n {

namespace {
QString programVersion()
{
    const QString v = QApplication::applicationVersion();
    return v.isEmpty() ? QStringLiteral(Q5N_VERSION) : v;
}
} // namespace

AboutWindow::AboutWindow(Prompter &prompter, const SystemInfoLauncher &launcher, QWidget *parent)
    : QDialog(parent), m_prompter(prompter), m_launcher(launcher)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About This Software"));
    setModal(false);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto *icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("picIcon"));
    icon->setPixmap(programIcon(QStringLiteral("q5ncfg")).pixmap(QSize(48, 48), devicePixelRatioF()));
    icon->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    auto *title = new QLabel(kProgramTitle, this);
    title->setObjectName(QStringLiteral("lblTitle"));
    QFont titleFont = title->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.5);
    titleFont.setBold(true);
    title->setFont(titleFont);

    auto *version = new QLabel(QStringLiteral("Version ") + programVersion(), this);
    version->setObjectName(QStringLiteral("lblVersion"));
    version->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto *description = new QLabel(QStringLiteral("For Bar Code and Magnetic Card Decoder"), this);
    description->setObjectName(QStringLiteral("lblDescription"));

    auto *line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);

    auto *ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setDefault(true);
    auto *sysInfo = new QPushButton(QStringLiteral("System Info..."), this);
    sysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    sysInfo->setAutoDefault(false);
    connect(ok, &QPushButton::clicked, this, &QDialog::close);
    connect(sysInfo, &QPushButton::clicked, this, &AboutWindow::startSystemInfo);

    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(sysInfo);

    auto *grid = new QGridLayout(this);
    grid->setHorizontalSpacing(16);
    grid->addWidget(icon, 0, 0, 3, 1);
    grid->addWidget(title, 0, 1);
    grid->addWidget(version, 1, 1);
    grid->addWidget(description, 2, 1);
    grid->setRowMinimumHeight(3, 8);
    grid->addWidget(line, 4, 0, 1, 2);
    grid->addLayout(buttons, 5, 0, 1, 2);
    grid->setColumnMinimumWidth(1, 300);
    grid->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(ok, sysInfo);
    ok->setFocus();
}

void AboutWindow::startSystemInfo()
{
    const std::optional<SystemInfoCommand> tool = m_launcher.find ? m_launcher.find() : std::nullopt;
    if (tool && m_launcher.start && m_launcher.start(*tool))
        return;
    m_prompter.inform(QString(), kUnavailable);
}

} // namespace q5n
