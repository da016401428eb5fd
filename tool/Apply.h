#pragma once

#include "model/ConfigImage.h"
#include "protocol/Protocol.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>

namespace q5n::tool {

using Section = UploadReply::Section;

// One setting that a decoder holds otherwise than the file: named as `show`
// and `diff` name it.
struct FieldChange
{
    QString name;            // "cfg4.optCfg41A"
    QString field;           // "Communication Parameters (cfg4) › RS232 › Baud Rate"
    QString before;          // what the decoder holds (by its upload, or by the record)
    QString after;           // what the file sets
    bool fromRecord = false; // `before` is the record's, not the decoder's upload
    bool operator==(const FieldChange &) const = default;
};

// What a port's record says: the configuration last downloaded there and
// verified, and the section the decoder returned at that verification.
struct ApplyRecord
{
    QString port; // the port's key (PortRecord.h)
    Section section = Section::Decoder;
    ConfigImage image;
    bool operator==(const ApplyRecord &) const = default;
};

// The record as its file holds it (four text lines), and back; nothing for
// anything else.
QByteArray recordBytes(const ApplyRecord &record);
std::optional<ApplyRecord> parseRecord(const QByteArray &bytes);

// What `apply` knows of the section a decoder does not send.
enum class OtherSection {
    Agrees,  // the record is of this decoder, and its other section is the file's
    Differs, // the record is of this decoder; its other section differs from the file's
    Unknown, // no record, or one that cannot stand for this decoder: a download is due
};

// What `apply` found on one decoder. A decoder sends one section only: that
// section is compared with the file on the device, the other with the port's
// record.
struct SectionComparison
{
    Section section = Section::Decoder; // the one the decoder sent
    QList<FieldChange> changes;         // the sent section's, then the record's
    OtherSection other = OtherSection::Unknown;
    QString unknownReason; // why the other section is unknown
    bool forced = false;   // --force: downloaded whatever was found

    Section otherSection() const { return section == Section::Reader ? Section::Decoder : Section::Reader; }
    bool downloadDue() const { return forced || other == OtherSection::Unknown || !changes.isEmpty(); }
};

// The bits of image byte `i` that some field shows; the rest are bits no page
// shows, which comparisons name by their byte.
int ownedBits(int i);

// The settings of `section` that `held` holds otherwise than `file`.
QList<FieldChange> sectionChanges(const ConfigImage &held, const ConfigImage &file, Section section);

// Compares the section a decoder sent with the same section of `file`, and
// the other section by the port's record: it stands for the decoder only when
// the decoder then returned the section it returns now, with the contents it
// has now. `recordProblem` says why a record that is there was not read.
SectionComparison compareSection(const ConfigImage &file, const UploadReply &reply,
                                 const std::optional<ApplyRecord> &record = {}, const QString &recordProblem = {});

// "decoder" or "reader".
QString sectionWord(Section section);

// How one port ended.
enum class ApplyResult { Unchanged, Changed, WouldChange, Failed };

// "unchanged", "changed", "would change", "failed".
QString applyResultWord(ApplyResult result);

// The words after the result: "every setting agrees (decoder section compared
// on the decoder, reader section compared with the record of the last
// verified download)", "2 setting(s) changed and verified (...)", "would
// download (...; reader section unknown: no record of a verified download to
// this port)".
QString applySummary(ApplyResult result, const SectionComparison &comparison);

// One line per change, as the report indents it: "FIELD (NAME): OLD -> NEW",
// with " (by the record)" after a change the record shows.
QString changeLine(const FieldChange &change);

// A port's JSON members for the comparison: "section", "changes" [{name,
// field, old, new, source}], "compared_on_device", "compared_with_record",
// "unknown_section", "unknown_reason", "other_section_not_compared", "forced".
void addComparison(const SectionComparison &comparison, QJsonObject &port);

} // namespace q5n::tool
