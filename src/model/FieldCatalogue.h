#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <span>
#include <vector>

namespace q5n {

struct SetupInfo;

// How a control maps onto the configuration image (or onto a setup text).
enum class FieldKind {
    Index,             // option group; option i writes i shifted into the mask
    Coded,             // option group whose options write listed codes
    Flag,              // check box on a one-bit mask
    BitSet,            // indexed check boxes on one byte; box i owns the bit its option names
    Character,         // text box holding one character as a whole byte
    CharacterSequence, // text box holding a run of whole bytes (255 ends the content)
    Text,              // text box bound to a setup text, not to the image
    Count,             // editable list of numbers; the number is stored shifted into the mask
    CharacterChoice,   // editable list of the control-code names, or one typed character (whole byte)
};

QString fieldKindName(FieldKind kind);

// The setup texts a text field can be bound to.
enum class SetupText { DeviceName, UserName, BuildingDate, Description };

QString &setupText(SetupInfo &info, SetupText which);
const QString &setupText(const SetupInfo &info, SetupText which);

// One member of an option group, or one box of a bit-set field.
struct FieldOption
{
    int index = 0;   // fixed index of the control in its group
    QString caption; // the control's own caption
    // Option groups: the code the option writes, not yet shifted into the mask.
    // Bit-set fields: the bit (already in place) the box owns.
    int code = 0;
};

// One captioned frame of a group of check boxes that stands in several frames
// on its page: the boxes owning the bits of `mask`.
struct FieldFrame
{
    QString caption;
    int mask = 0;
};

// Which option shows a stored code (coded fields). Codes missing from the
// list are shown by no option.
struct CodeShow
{
    int code = 0;
    int option = 0;
};

// Every setting of every page is one entry: what a control is called, what it
// edits and how its states map onto stored values.
struct FieldEntry
{
    QString name; // objectName of the control (of the group for groups)
    FieldKind kind = FieldKind::Index;
    int page = 0;    // page number the control belongs to
    QString caption; // check-box caption, group frame caption or the label of a text box
    QString label;   // a label standing beside a captioned control, if any
    int byte = -1;   // first byte in the image; -1 for text fields
    int mask = 0;    // bits of the byte the field owns; 0xFF for whole bytes
    int length = 1;  // bytes of a character-sequence field
    // A character-sequence field that edits one of several slots: how many
    // slots there are and how far apart their first bytes lie.
    int slotCount = 1;
    int slotStride = 0;
    std::vector<FieldOption> options;
    std::vector<CodeShow> shows;   // coded fields: which option each stored code shows
    int designSelection = -1;      // option selected when the page is created (-1: none)
    std::optional<SetupText> text; // text fields: the bound setup text
    // Bit-set fields: the box indexes as the page shows them, row by row
    // (empty: index order).
    std::vector<int> screenOrder;
    // Bit-set fields whose boxes stand in several captioned frames: the
    // frames, each read as a setting of its own (empty: one setting). The page
    // still binds, shows and restores the boxes as one group.
    std::vector<FieldFrame> frames;

    // The mask's lowest set bit: what "shifted down" divides by.
    int unit() const;
    // The option that shows a stored code (already shifted down), if any.
    std::optional<int> optionForCode(int code) const;
    // The option with this index, if the group has one.
    const FieldOption *option(int index) const;
    // The value an option's choice writes, in the mask's position.
    int valueOf(int optionIndex) const;
    // Whether the field lives in the image (everything but text fields).
    bool inImage() const { return kind != FieldKind::Text; }
    // The bits of `byte` the field occupies (all of them for whole-byte kinds).
    int occupiedMask() const;
};

struct ConfigImage;

// The option that shows the field's stored value in an image, if any (option
// groups and character choices).
std::optional<int> shownOption(const FieldEntry &entry, const ConfigImage &image);
// The stored value in words: the caption of the option that shows it, the
// captions of the set boxes, "checked"/"clear", the number or the characters.
QString valueText(const FieldEntry &entry, const ConfigImage &image);

// The whole catalogue, every page's fields in the order its page lists them.
std::span<const FieldEntry> fieldCatalogue();
// The entry of a control on a page, or nullptr.
const FieldEntry *findField(int page, const QString &name);
// The entries of one page, in catalogue order.
std::vector<const FieldEntry *> fieldsOfPage(int page);

// Consistency problems of a list of entries (an empty list when it is sound):
// two fields of one page overlapping in one byte, an option value outside its
// mask, a code shown by a missing option, a design selection that is no option,
// frames of a bit-set that do not divide its boxes between them.
QStringList catalogueProblems(std::span<const FieldEntry> entries);

} // namespace q5n
