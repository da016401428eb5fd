#include "shell/ProgramStyle.h"

#include <QApplication>
#include <QStyleOption>

namespace q5n {

SharedIconStyle::SharedIconStyle(QStyle *base) : QProxyStyle(base) {}

bool SharedIconStyle::sharesIcon(StandardPixmap which)
{
    switch (which) {
    case SP_TitleBarMenuButton:
    case SP_TitleBarMinButton:
    case SP_TitleBarMaxButton:
    case SP_TitleBarCloseButton:
    case SP_TitleBarNormalButton:
    case SP_TitleBarShadeButton:
    case SP_TitleBarUnshadeButton:
    case SP_TitleBarContextHelpButton: return true;
    default: return false;
    }
}

QIcon SharedIconStyle::standardIcon(StandardPixmap which, const QStyleOption *option, const QWidget *widget) const
{
    if (!sharesIcon(which))
        return QProxyStyle::standardIcon(which, option, widget);
    // An icon theme chosen since (or the desktop's, changed) makes them anew.
    const QString theme = QIcon::themeName() + u'\n' + QIcon::fallbackThemeName();
    if (theme != m_iconTheme) {
        m_icons.clear();
        m_iconTheme = theme;
    }
    // The direction as a style reads it: the option's, else the application's.
    const bool rightToLeft = option ? option->direction == Qt::RightToLeft : QGuiApplication::isRightToLeft();
    const int key = int(which) * 2 + int(rightToLeft);
    const auto found = m_icons.constFind(key);
    if (found != m_icons.cend())
        return *found;
    const QIcon icon = QProxyStyle::standardIcon(which, option, widget);
    m_icons.insert(key, icon);
    return icon;
}

// Set as the application's style, or taken off it: the icons are made again
// by whatever base style is then in place.
void SharedIconStyle::polish(QApplication *application)
{
    m_icons.clear();
    QProxyStyle::polish(application);
}

void SharedIconStyle::unpolish(QApplication *application)
{
    m_icons.clear();
    QProxyStyle::unpolish(application);
}

void installProgramStyle()
{
    auto *application = qobject_cast<QApplication *>(QCoreApplication::instance());
    if (!application || qobject_cast<SharedIconStyle *>(QApplication::style()))
        return;
    // A style sheet (-stylesheet) is a style over the application's style:
    // taken off, the proxy goes over the style beneath, and the sheet back
    // on top of both.
    const QString sheet = application->styleSheet();
    if (!sheet.isEmpty())
        application->setStyleSheet(QString());
    QStyle *base = QApplication::style();
    // (The application keeps no hold on a style another object owns: the
    // proxy takes it over, and the application deletes only its own.)
    if (!qobject_cast<SharedIconStyle *>(base))
        QApplication::setStyle(new SharedIconStyle(base));
    if (!sheet.isEmpty())
        application->setStyleSheet(sheet);
}

} // namespace q5n
