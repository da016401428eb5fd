#pragma once

#include "model/ConfigImage.h"
#include "model/FieldCatalogue.h"
#include "model/ProgramState.h"

#include <QByteArray>
#include <QString>

#include <vector>

namespace q5n {

// One setting as people and scripts name it: a catalogue entry and, for an
// insertion box that edits one of several track slots, which slot (0-based).
struct FieldRef
{
    const FieldEntry *entry = nullptr;
    int slot = 0;
    // A group of check boxes standing in several frames: the frame
    // (entry->frames) whose boxes are meant; -1 for the whole group.
    int part = -1;

    int firstByte() const { return entry->byte + slot * entry->slotStride; }
    // The bits of each of its bytes the setting owns.
    int mask() const { return part >= 0 ? entry->frames[std::size_t(part)].mask : entry->occupiedMask(); }
};

// The page of a catalogue entry as the windows name it: "cfg4", "Communication Parameters".
QString pageObjectName(int page);
QString pageTitle(int page);
// The page with its family, as a reader of a sheet or list tells the two
// pages of one title apart: "Bar Decoder › Communication Parameters".
QString pagePath(int page);

// A caption as a person reads it: without the access-key "&", outer blanks
// and a label's closing colon.
QString plainCaption(const QString &caption);
// The tab a field stands on, and the captioned box within it where one groups
// fields: "Code 39", "Characters Edit › Prefix". Empty for a page without tabs.
QString frameOf(const FieldEntry &entry);

// The field's own caption within its page as the page shows it: its tab and
// box, the check box's caption or the box's label, the track added for a slot
// ("RS232 › Baud Rate", "Tracks Edit › Prefix › Characters to be Inserted › Track 2").
// A box captioned "ON" beside a label is named by the label, the boxes of one
// frame of a group by that frame ("Codabar › Transmission Type of Stop").
QString fieldCaption(const FieldRef &ref);

// Every setting of the image, page by page in catalogue order, each slot of a
// slotted box on its own; the setup texts (text fields) are left out.
std::vector<FieldRef> imageFields();
// The same settings as the pages show them: a group of check boxes that
// stands in several frames once per frame.
std::vector<FieldRef> shownFields();

// "cfg4.optCfg41A" (".track2" added for a slot).
QString qualifiedName(const FieldRef &ref);
// "Communication Parameters (cfg4) › RS232 › Baud Rate", the track added for a slot.
QString captionPath(const FieldRef &ref);

// The stored value in words: an option caption, "checked"/"clear", the set
// boxes, a number, or the characters in the brace notation. A stored code that
// no option shows is said as such.
QString valueOf(const FieldRef &ref, const ConfigImage &image);
// The value as the page shows it, for a person to read: an insertion box's
// text exactly as the box holds it ("{A}" for the bytes 7B 41 7D), the
// captions of the checked boxes of a group in the order they stand
// ("UPC-A, UPC-E, Code 39"; kNoBoxChecked when none is); the rest as valueOf.
QString shownValue(const FieldRef &ref, const ConfigImage &image);
inline const QString kNoBoxChecked = QStringLiteral("(none checked)");

// The setup file's link lines (its lines 6 and 7), named and said as the
// "Transmit" window shows them: "Interface" ("RS232", "Keyboard"), "Port"
// ("Com 1".."Com 6").
enum class LinkLine { Interface, Port };
inline constexpr LinkLine kLinkLines[] = {LinkLine::Interface, LinkLine::Port};
QString linkLineCaption(LinkLine line);
qint16 &linkLineNumber(LinkLine line, LinkSettings &link);
qint16 linkLineNumber(LinkLine line, const LinkSettings &link);
QString linkLineValue(LinkLine line, const LinkSettings &link);

// The raw bits the field owns (all bytes of an insertion slot), for comparing.
QByteArray storedBits(const FieldRef &ref, const ConfigImage &image);
// The bits of byte `index` that some field owns (0xFF for a character byte).
int ownedBits(int index);

} // namespace q5n
