#include "platform/Clock.h"

#include <QLocale>

namespace q5n {

QDate Clock::today() const
{
    return QDate::currentDate();
}

QString Clock::shortDateText() const
{
    return QLocale::system().toString(today(), QLocale::ShortFormat);
}

} // namespace q5n
