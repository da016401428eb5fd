#pragma once

#include <QDate>
#include <QLocale>
#include <QString>

namespace q5n {

// Today's date and the locale that formats it, for the setup texts. Tests pin both.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual QDate today() const;
    virtual QLocale locale() const;
    // Today in the locale's short date format, as the locale writes it.
    QString shortDateText() const;
};

} // namespace q5n
