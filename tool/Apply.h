#pragma once

#include "model/ConfigImage.h"
#include "protocol/Protocol.h"

#include <QJsonObject>
#include <QList>
#include <QString>

namespace q5n::tool {

// One setting that a decoder holds otherwise than the file: named as `show`
// and `diff` name it.
struct FieldChange
{
    QString name;   // "cfg4.optCfg41A"
    QString field;  // "Communication Parameters (cfg4) › RS232 › Baud Rate"
    QString before; // what the decoder holds
    QString after;  // what the file sets
    bool operator==(const FieldChange &) const = default;
};

// What `apply` found on one decoder: the section the decoder sent and the
// settings of that section it holds otherwise than the file. A decoder sends
// one section only; `otherSectionSet` says the file also sets settings of the
// section it did not send (they differ from the factory values), which could
// not be compared.
struct SectionComparison
{
    UploadReply::Section section = UploadReply::Section::Decoder;
    QList<FieldChange> changes;
    bool otherSectionSet = false;
};

// Compares the section a decoder sent with the same section of `file`.
// The bits of image byte `i` that some field shows; the rest are bits no page
// shows, which comparisons name by their byte.
int ownedBits(int i);

SectionComparison compareSection(const ConfigImage &file, const UploadReply &reply);

// "decoder" or "reader".
QString sectionWord(UploadReply::Section section);

// How one port ended.
enum class ApplyResult { Unchanged, Changed, WouldChange, Failed };

// "unchanged", "changed", "would change", "failed".
QString applyResultWord(ApplyResult result);

// The words after the result: "every setting agrees (decoder section)", "2 setting(s) changed
// and verified (decoder section)", and the note about a section the decoder does not send.
QString applySummary(ApplyResult result, const SectionComparison &comparison);

// One line per change, as the report indents it: "FIELD (NAME): OLD -> NEW".
QString changeLine(const FieldChange &change);

// A port's JSON members for the comparison: "section", "changes" [{name, field,
// old, new}], "other_section_not_compared".
void addComparison(const SectionComparison &comparison, QJsonObject &port);

} // namespace q5n::tool
