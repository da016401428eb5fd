#pragma once

#include <QDate>
#include <QString>

namespace q5n {

// Today's date for the setup texts. Tests pin it.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual QDate today() const;
    // The date in the system's short date format.
    QString shortDateText() const;
};

} // namespace q5n
