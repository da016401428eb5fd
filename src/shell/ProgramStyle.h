#pragma once

#include <QHash>
#include <QIcon>
#include <QProxyStyle>

namespace q5n {

// The application's own style (the platform's choice, a -style argument or
// QT_STYLE_OVERRIDE) with one change: the icons of the page windows' title
// bars are made once and handed out again, where the style would make new
// ones for every paint of a title bar and every new window. Each new icon is
// a new pixmap, and Qt's pixmap cache keeps the scaled copies of each under
// keys of their own, so a program that opens windows all day would fill that
// cache (to its limit) with copies of the same few icons. The icons handed
// out are the base style's own, made with the same layout direction and icon
// theme, so nothing is drawn differently. (A message box's icon needs no
// sharing: the style gives every box the same pixmap already.)
class SharedIconStyle : public QProxyStyle
{
    Q_OBJECT
public:
    // Takes `base` over (a QProxyStyle owns its base style).
    explicit SharedIconStyle(QStyle *base);

    QIcon standardIcon(StandardPixmap which, const QStyleOption *option = nullptr,
                       const QWidget *widget = nullptr) const override;

    using QProxyStyle::polish;
    using QProxyStyle::unpolish;
    void polish(QApplication *application) override;
    void unpolish(QApplication *application) override;

    // The icons made once: those of title bars, which depend on nothing but
    // the layout direction and the icon theme.
    static bool sharesIcon(StandardPixmap which);

private:
    mutable QHash<int, QIcon> m_icons; // by icon and layout direction
    mutable QString m_iconTheme;       // the theme they were made with
};

// Puts a SharedIconStyle over the application's style, keeping an application
// style sheet on top. Does nothing when one is there already. The program calls
// it right after making its QApplication; a test or benchmark that wants the
// program's drawing calls it on its own.
void installProgramStyle();

} // namespace q5n
