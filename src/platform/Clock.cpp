#include "platform/Clock.h"

namespace q5n {

QDate Clock::today() const
{
    return QDate::currentDate();
}

QLocale Clock::locale() const
{
    return QLocale::system();
}

QString Clock::shortDateText() const
{
    return locale().toString(today(), QLocale::ShortFormat);
}

} // namespace q5n
