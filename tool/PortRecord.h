#pragma once

#include "files/PortRecordFile.h"
#include "tool/Apply.h"

#include <QHash>
#include <QString>

#include <optional>

// Where `apply` and `download --verify` keep, per decoder port, what was last
// downloaded there and verified (ApplyRecord): one small file per port in the
// user's state folder, or in the folder --state names.
namespace q5n::tool {

// A port's record as read from its folder: none when there is no file; a
// file that is a link, belongs to another user, may be written by others or
// is not a record of that port is not used, and `problem` says why.
struct LoadedRecord
{
    std::optional<ApplyRecord> record;
    QString problem;
};
LoadedRecord readRecord(const QString &folder, const QString &key);

// Writes the record into the folder, making it (private) when it is missing:
// into the port's own record file where there is one (the user's, its only
// name, written by nobody else), else as a new file readable by the user
// alone, renamed over the record's name. Empty, or why not.
QString writeRecord(const QString &folder, const ApplyRecord &record);

} // namespace q5n::tool
