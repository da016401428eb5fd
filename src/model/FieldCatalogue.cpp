#include "model/FieldCatalogue.h"

#include "model/ConfigImage.h"
#include "model/Notation.h"
#include "model/PageTable.h"
#include "model/ProgramState.h"
#include "model/Text8.h"

#include <algorithm>
#include <initializer_list>
#include <map>

namespace q5n {

QString fieldKindName(FieldKind kind)
{
    switch (kind) {
    case FieldKind::Index: return QStringLiteral("index");
    case FieldKind::Coded: return QStringLiteral("coded");
    case FieldKind::Flag: return QStringLiteral("flag");
    case FieldKind::BitSet: return QStringLiteral("bit-set");
    case FieldKind::Character: return QStringLiteral("character");
    case FieldKind::CharacterSequence: return QStringLiteral("character-sequence");
    case FieldKind::Text: return QStringLiteral("text");
    case FieldKind::Count: return QStringLiteral("count");
    case FieldKind::CharacterChoice: return QStringLiteral("character-choice");
    }
    return QString();
}

QString &setupText(SetupInfo &info, SetupText which)
{
    switch (which) {
    case SetupText::DeviceName: return info.deviceName;
    case SetupText::UserName: return info.userName;
    case SetupText::BuildingDate: return info.buildingDate;
    case SetupText::Description: return info.description;
    }
    return info.description;
}

const QString &setupText(const SetupInfo &info, SetupText which)
{
    return setupText(const_cast<SetupInfo &>(info), which);
}

int FieldEntry::unit() const
{
    return mask == 0 ? 1 : (mask & -mask);
}

const FieldOption *FieldEntry::option(int index) const
{
    for (const FieldOption &o : options)
        if (o.index == index)
            return &o;
    return nullptr;
}

std::optional<int> FieldEntry::optionForCode(int code) const
{
    if (kind == FieldKind::Coded) {
        for (const CodeShow &s : shows)
            if (s.code == code)
                return s.option;
        return std::nullopt;
    }
    if ((kind == FieldKind::Index || kind == FieldKind::CharacterChoice) && option(code))
        return code;
    return std::nullopt;
}

int FieldEntry::valueOf(int optionIndex) const
{
    const FieldOption *o = option(optionIndex);
    if (!o)
        return 0;
    if (kind == FieldKind::BitSet)
        return o->code;
    return o->code * unit();
}

int FieldEntry::occupiedMask() const
{
    switch (kind) {
    case FieldKind::Character:
    case FieldKind::CharacterSequence:
    case FieldKind::CharacterChoice: return 0xFF;
    case FieldKind::Text: return 0;
    default: return mask;
    }
}

namespace {

// Options whose index is also the code they write, captions in index order.
std::vector<FieldOption> indexed(std::initializer_list<const char *> captions)
{
    std::vector<FieldOption> out;
    int i = 0;
    for (const char *c : captions) {
        out.push_back({i, QString::fromUtf8(c), i});
        ++i;
    }
    return out;
}

FieldEntry indexField(int page, const char *name, const char *frameCaption, int byte, int mask,
                      std::initializer_list<const char *> captions, int designSelection = 0)
{
    FieldEntry e;
    e.name = QString::fromUtf8(name);
    e.kind = FieldKind::Index;
    e.page = page;
    e.caption = QString::fromUtf8(frameCaption);
    e.byte = byte;
    e.mask = mask;
    e.options = indexed(captions);
    e.designSelection = designSelection;
    return e;
}

FieldEntry flagField(int page, const char *name, const char *caption, int byte, int mask)
{
    FieldEntry e;
    e.name = QString::fromUtf8(name);
    e.kind = FieldKind::Flag;
    e.page = page;
    e.caption = QString::fromUtf8(caption);
    e.byte = byte;
    e.mask = mask;
    return e;
}

FieldEntry textField(int page, const char *name, const char *label, SetupText text)
{
    FieldEntry e;
    e.name = QString::fromUtf8(name);
    e.kind = FieldKind::Text;
    e.page = page;
    e.caption = QString::fromUtf8(label);
    e.text = text;
    return e;
}

FieldEntry codedField(int page, const char *name, const char *frameCaption, int byte, int mask,
                      std::vector<FieldOption> options, std::vector<CodeShow> shows, int designSelection)
{
    FieldEntry e = indexField(page, name, frameCaption, byte, mask, {}, designSelection);
    e.kind = FieldKind::Coded;
    e.options = std::move(options);
    e.shows = std::move(shows);
    return e;
}

// Boxes of a bit-set field; box i owns bit i of the byte.
FieldEntry bitSetField(int page, const char *name, const char *caption, int byte,
                       std::initializer_list<const char *> captions)
{
    FieldEntry e;
    e.name = QString::fromUtf8(name);
    e.kind = FieldKind::BitSet;
    e.page = page;
    e.caption = QString::fromUtf8(caption);
    e.byte = byte;
    int i = 0;
    for (const char *c : captions) {
        e.options.push_back({i, QString::fromUtf8(c), 1 << i});
        e.mask |= 1 << i;
        ++i;
    }
    return e;
}

FieldEntry characterField(int page, QString name, const char *label, int byte)
{
    FieldEntry e;
    e.name = std::move(name);
    e.kind = FieldKind::Character;
    e.page = page;
    e.caption = QString::fromUtf8(label);
    e.byte = byte;
    e.mask = 0xFF;
    return e;
}

FieldEntry sequenceField(int page, const char *name, const char *label, int byte, int length, int slots = 1,
                         int stride = 0)
{
    FieldEntry e = characterField(page, QString::fromUtf8(name), label, byte);
    e.kind = FieldKind::CharacterSequence;
    e.length = length;
    e.slotCount = slots;
    e.slotStride = stride;
    return e;
}

FieldEntry countField(int page, const char *name, const char *label, int byte, int mask)
{
    FieldEntry e;
    e.name = QString::fromUtf8(name);
    e.kind = FieldKind::Count;
    e.page = page;
    e.caption = QString::fromUtf8(label);
    e.byte = byte;
    e.mask = mask;
    return e;
}

// The two handshake options and other two-way switches.
const std::initializer_list<const char *> kDisableEnable = {"Disable", "Enable"};
// The sixteen languages, by index.
const std::initializer_list<const char *> kLanguages = {
    "US English", "UK English", "Italian", "Spanish",    "French",  "German",      "Swedish",    "Switzerland",
    "Hungarian",  "Japanese",   "Belgium", "Portuguese", "Denmark", "Netherlands", "Reserved 1", "Reserved 2"};
const std::initializer_list<const char *> kTerminalTypes = {"IBM PC/AT,PS/2", "IBM PC/XT", "Apple Desktop Bus(ADB)",
                                                            "NEC 9800"};

// The check-digit options of the bar codes page: each writes its index + 1;
// code 0 shows the first option.
FieldEntry checkDigitField(const char *name, int mask, int designSelection)
{
    return codedField(Page::DecoderBar, name, "Check Digit", 23, mask,
                      {{0, QStringLiteral("Do Not Calculate Check Digit"), 1},
                       {1, QStringLiteral("Calculate Check Digit and Not Transmit"), 2},
                       {2, QStringLiteral("Calculate Check Digit and Transmit"), 3}},
                      {{0, 0}, {1, 0}, {2, 1}, {3, 2}}, designSelection);
}

// The parity group of both Communication pages, on three bits: "None" writes
// 7 and code 4 shows it too. The page starts with "None".
FieldEntry parityField(int page, int byte, int mask)
{
    return codedField(page, "optCfg41D", "Parity", byte, mask,
                      {{0, QStringLiteral("Space"), 0},
                       {1, QStringLiteral("Mark"), 1},
                       {2, QStringLiteral("Even"), 2},
                       {3, QStringLiteral("Odd"), 3},
                       {4, QStringLiteral("None"), 7}},
                      {{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}, {7, 4}}, 4);
}

void addSetupTexts(std::vector<FieldEntry> &c, int page)
{
    c.push_back(textField(page, "txtDeviceName", "Device Name: ", SetupText::DeviceName));
    c.push_back(textField(page, "txtUserName", "User's Name: ", SetupText::UserName));
    c.push_back(textField(page, "txtDate", "Building Date:", SetupText::BuildingDate));
    c.push_back(textField(page, "txtDescription", "Description:", SetupText::Description));
}

std::vector<FieldEntry> buildCatalogue()
{
    std::vector<FieldEntry> c;

    // Page 1, cfg3 "Interface": the setup texts, the interface mode and the
    // read-memory switch of the decoder.
    addSetupTexts(c, Page::DecoderInterface);
    c.push_back(indexField(Page::DecoderInterface, "OptCfg3_1", "Interface", 22, 0x03,
                           {"Keyboard Mode", "USB Mode", "RS232 Mode"}));
    c.push_back(flagField(Page::DecoderInterface, "ChkRead", "Read Memory Enable", 24, 0x01));

    // Page 2, cfg4 "Communication Parameters": the decoder's RS232 line,
    // keyboard wedge and output characters (bytes 16, 19, 20).
    c.push_back(indexField(Page::DecoderComm, "optCfg41A", "Baud Rate", 16, 0x0C, {"2400", "4800", "9600", "19200"}));
    c.push_back(indexField(Page::DecoderComm, "optCfg41B", "Data Bits", 19, 0x08, {"7 Data Bits", "8 Data Bits"}));
    c.push_back(indexField(Page::DecoderComm, "optCfg41C", "Stop Bits", 19, 0x80, {"2 Bits", "1 Bit"}));
    c.push_back(parityField(Page::DecoderComm, 19, 0x70));
    c.push_back(indexField(Page::DecoderComm, "optRTSCTS", "RTS/CTS", 20, 0x08, kDisableEnable));
    c.push_back(indexField(Page::DecoderComm, "optACKNCK", "ACK/NAK", 20, 0x10, kDisableEnable));
    c.push_back(indexField(Page::DecoderComm, "optXONXOFF", "XON/XOFF", 20, 0x20, kDisableEnable));
    c.push_back(indexField(Page::DecoderComm, "optCfg42A", "Terminal Type", 16, 0x03, kTerminalTypes));
    c.push_back(indexField(Page::DecoderComm, "Optcfg42b", "Upper/Lower Case", 19, 0x04, {"Lower Case", "Upper Case"}));
    c.push_back(indexField(Page::DecoderComm, "optCfg42C", "Send Characters by ALT Method", 20, 0x40, kDisableEnable));
    c.push_back(indexField(Page::DecoderComm, "optCfg42D", "Select Numerical Pad", 20, 0x80, {"OFF", "ON"}));
    c.push_back(indexField(Page::DecoderComm, "optCfg43A", "Select Terminator", 20, 0x07,
                           {"CR", "LF", "CR+LF", "HT(TAB)", "Space", "STX-ETX (RS232 Mode Only)", "None"}));
    c.push_back(indexField(Page::DecoderComm, "optCfg43B", "Time-out Between Characters", 19, 0x02, {"0 ms", "15 ms"}));

    // Page 3, cfg5 "Bar Codes and Others": symbologies and their options
    // (bytes 18, 21, 22 bits 3..7, 23 and bit 0 of 19).
    {
        // On the page in two columns from the last box down: UPC-A / UPC-E, ...
        FieldEntry symbologies = bitSetField(
            Page::DecoderBar, "chk51", "Symboligies Selection", 21,
            {"CodaBar/NW7", "Interleave 25", "Code 128", "Code 39", "EAN-8/JAN-8", "EAN-13/JAN-13", "UPC-E", "UPC-A"});
        symbologies.screenOrder = {7, 6, 5, 4, 3, 2, 1, 0};
        c.push_back(symbologies);
    }
    c.push_back(flagField(Page::DecoderBar, "chkIsbn", "Enable ISBN/ISSN", 22, 0x10));
    c.push_back(flagField(Page::DecoderBar, "chkUpcAEan13", "UPC-A=EAN-13", 22, 0x80));
    c.push_back(
        indexField(Page::DecoderBar, "optCfg52B", "Supplemental Code Setup", 22, 0x40, {"Not Transmit", "Transmit"}));
    c.push_back(indexField(Page::DecoderBar, "Optcheck", "Check Digit", 22, 0x20, {"Not Transmit", "Transmit"}));
    c.push_back(indexField(Page::DecoderBar, "Optcode39", "Output As", 23, 0x02, {"Full ASCII", "Standard"}));
    c.push_back(
        indexField(Page::DecoderBar, "OptStart_stop", "Start/Stop Character", 23, 0x01, {"Not Optput ", "Output "}));
    // Code 39 and Code 128 start with the first option, Interleave 25 with the
    // last: a stored code 0 stays in the first two and becomes 1 in the third.
    c.push_back(checkDigitField("opt53B", 0xC0, 0));
    c.push_back(checkDigitField("opt54A", 0x30, 0));
    c.push_back(checkDigitField("opt55A", 0x0C, 2));
    c.push_back(flagField(Page::DecoderBar, "ChkBrazil", "Brazil 25", 19, 0x01));
    c.push_back(flagField(Page::DecoderBar, "chk58A", "Set Up Start/Stop Characters Upon Transmission", 22, 0x08));
    {
        // Boxes 0..3 are the stop characters A..D, boxes 4..7 the start
        // characters, each four under a frame of their own. The command line
        // names the eight as one group, by the caption below.
        FieldEntry startStop = bitSetField(Page::DecoderBar, "ChkStart", "Transmission Type of Stop / Start", 18,
                                           {"A", "B", "C", "D", "A", "B", "C", "D"});
        startStop.frames = {{QStringLiteral("Transmission Type of Stop"), 0x0F},
                            {QStringLiteral("Transmission Type of Start"), 0xF0}};
        c.push_back(startStop);
    }

    // Page 4, cfg6 "Miscellaneous Parameters": language, code IDs and output
    // editing (bytes 0..15, 16 bits 4..7, 17, 22 bit 2).
    c.push_back(indexField(Page::DecoderMisc, "opt61", "Language Selection", 16, 0xF0, kLanguages));
    c.push_back(flagField(Page::DecoderMisc, "chk62", "Enable Code ID", 22, 0x04));
    {
        const char *ids[] = {"UPC-A",   "UPC-E",    "EAN-13",        "EAN-8",
                             "Code 39", "Code 128", "Interleave 25", "CodaBar/NW7"};
        for (int i = 0; i < 8; ++i)
            c.push_back(characterField(Page::DecoderMisc, QStringLiteral("txt62_%1").arg(i), ids[i], i));
    }
    c.push_back(countField(Page::DecoderMisc, "cboTruncate1", "Truncate Front Characters", 17, 0xF0));
    c.push_back(countField(Page::DecoderMisc, "CboTruncate2", "Truncate End Characters", 17, 0x0F));
    c.push_back(
        sequenceField(Page::DecoderMisc, "txt694", "Characters to be Inserted (Only Four Characters Available)", 8, 4));
    c.push_back(
        sequenceField(Page::DecoderMisc, "txt693", "Characters to be Inserted (Only Four Charaters Available)", 12, 4));

    // Page 8, magcfg3 "Interface": the same setup texts, the reader's
    // interface mode and two switches (bytes 25 bits 1 and 3, 26 bits 6..7).
    addSetupTexts(c, Page::ReaderInterface);
    // Code 3 shows "USB Mode", which the page starts with, so it stays until chosen.
    c.push_back(codedField(Page::ReaderInterface, "OptCfg3_1", "Interface ", 26, 0xC0,
                           {{0, QStringLiteral("Keyboard Mode"), 0},
                            {1, QStringLiteral("USB Mode"), 1},
                            {2, QStringLiteral("RS232 Mode"), 2}},
                           {{0, 0}, {1, 1}, {2, 2}, {3, 1}}, 1));
    c.push_back(flagField(Page::ReaderInterface, "ChkNotebook", "Disable  External Keyboard", 25, 0x08));
    c.push_back(flagField(Page::ReaderInterface, "ChkMSRMem", "Read Memory Enable", 25, 0x02));

    // Page 6, magcfg4 "Communication Parameters": the reader's line, keyboard,
    // output and card options (bytes 25 bit 0, 26 bits 0..5, 27, 28, 83 bits 0..3, 84).
    c.push_back(codedField(Page::ReaderComm, "optCfg41A", "Baud Rate", 28, 0x07,
                           {{0, QStringLiteral("600"), 0},
                            {1, QStringLiteral("1200"), 1},
                            {2, QStringLiteral("2400"), 2},
                            {3, QStringLiteral("4800"), 3},
                            {4, QStringLiteral("19200"), 4},
                            {5, QStringLiteral("9600"), 7}},
                           {{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}, {7, 5}}, 5));
    c.push_back(indexField(Page::ReaderComm, "optCfg41B", "Data Bits", 26, 0x20, {"7 Data Bits", "8 Data Bits"}));
    c.push_back(indexField(Page::ReaderComm, "optCfg41C", "Stop Bit", 26, 0x10, {"2 Bits", "1 Bit"}));
    c.push_back(parityField(Page::ReaderComm, 27, 0xE0));
    c.push_back(indexField(Page::ReaderComm, "optRTSCTS", "RTS/CTS", 27, 0x10, kDisableEnable));
    c.push_back(indexField(Page::ReaderComm, "optACKNCK", "ACK/NAK", 27, 0x08, kDisableEnable));
    c.push_back(indexField(Page::ReaderComm, "optXONXOFF", "XON/XOFF", 26, 0x08, kDisableEnable));
    c.push_back(indexField(Page::ReaderComm, "optCfg42A", "Terminal Type", 26, 0x03, kTerminalTypes));
    c.push_back(indexField(Page::ReaderComm, "Optcfg42b", "Upper/Lower Case", 28, 0x80, {"Upper Case", "Lower Case"}));
    c.push_back(indexField(Page::ReaderComm, "optCfg42C", "Send Characters by ALT Method", 28, 0x20, kDisableEnable));
    c.push_back(indexField(Page::ReaderComm, "optCfg42D", "Select Numerical Pad", 28, 0x40, {"OFF", "ON"}));
    // Code 7 shows "None", a new choice on a page that starts with "CR+LF":
    // it is rewritten as 6 when the page opens.
    c.push_back(codedField(Page::ReaderComm, "optCfg43A", "Select Terminator", 27, 0x07,
                           {{0, QStringLiteral("CR"), 0},
                            {1, QStringLiteral("LF"), 1},
                            {2, QStringLiteral("CR+LF"), 2},
                            {3, QStringLiteral("HT(TAB)"), 3},
                            {4, QStringLiteral("Space"), 4},
                            {5, QStringLiteral("STX-ETX (RS232 Only)"), 5},
                            {6, QStringLiteral("None"), 6}},
                           {{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}, {6, 6}, {7, 6}}, 2));
    c.push_back(indexField(Page::ReaderComm, "optCfg43B", "Time-out Between Characters", 26, 0x04, {"0 ms", "15 ms"}));
    {
        FieldEntry iso = indexField(Page::ReaderComm, "OptISO", "", 25, 0x01, {"ISO", "JIS2"});
        iso.label = QStringLiteral("Select Magnetic Card Standard :");
        c.push_back(iso);
    }
    {
        // Indexes 13 and 14 have no option.
        FieldEntry tracks = indexField(Page::ReaderComm, "optCfg45A", "Track Selection", 83, 0x0F,
                                       {"Single Track", "Track 1 Only", "Track 2 Only", "Track 3 Only",
                                        "Track (1-2/3-2)", "Track(2-1/3-1)", "Track 1-2-3", "Track1-3-2", "Track 2-1-3",
                                        "Track 2-3-1", "Track 3-1-2", "Track 3-2-1", "Auto"});
        tracks.options.push_back({15, QStringLiteral("Any"), 15});
        c.push_back(tracks);
    }
    {
        FieldEntry startStop = flagField(Page::ReaderComm, "chkCfg45B", "ON", 28, 0x10);
        startStop.label = QStringLiteral("Send Start/Stop Character");
        c.push_back(startStop);
        FieldEntry account = flagField(Page::ReaderComm, "chkCfg45C", "ON", 28, 0x08);
        account.label = QStringLiteral("Track 2 Account Number Only");
        c.push_back(account);
    }
    {
        FieldEntry separator;
        separator.name = QStringLiteral("cbo45D");
        separator.kind = FieldKind::CharacterChoice;
        separator.page = Page::ReaderComm;
        separator.caption = QStringLiteral("Separator Character (For Dual Or Triple Tracks)");
        separator.byte = 84;
        separator.mask = 0xFF;
        for (int code = 0; code < 32; ++code)
            separator.options.push_back({code, controlName(code), code});
        c.push_back(separator);
    }

    // Page 7, magcfg6 "Miscellaneous Parameters": language, the six insertion
    // slots and the start and end characters (bytes 29..82, 83 bits 4..7).
    c.push_back(indexField(Page::ReaderMisc, "opt61", "Language Selection", 83, 0xF0, kLanguages));
    // The prefix box edits the slot of the track chosen: 29, 45 or 61; the
    // suffix box 37, 53 or 69.
    c.push_back(sequenceField(Page::ReaderMisc, "txt694", "Characters to be Inserted (Only Eight Characters Available)",
                              29, 8, 3, 16));
    c.push_back(sequenceField(Page::ReaderMisc, "txt693", "Characters to be Inserted (Only Eight Charaters Available)",
                              37, 8, 3, 16));
    {
        const char *labels[] = {"Track 1 Start Char:", "Track 1 End Char:",   "Track 2 Start Char:",
                                "Track 2 End Char:",   "Track 3 Start Char:", "Track 3 End Char:"};
        for (int i = 0; i < 6; ++i)
            c.push_back(characterField(Page::ReaderMisc, QStringLiteral("txtChar_%1").arg(i), labels[i], 77 + i));
    }

    return c;
}

} // namespace

std::optional<int> shownOption(const FieldEntry &entry, const ConfigImage &image)
{
    switch (entry.kind) {
    case FieldKind::Index:
    case FieldKind::Coded: return entry.optionForCode((image.at(entry.byte) & entry.mask) / entry.unit());
    case FieldKind::CharacterChoice: return entry.optionForCode(image.at(entry.byte));
    default: return std::nullopt;
    }
}

QString valueText(const FieldEntry &entry, const ConfigImage &image)
{
    const int stored = image.at(entry.byte) & entry.mask;
    switch (entry.kind) {
    case FieldKind::Index:
    case FieldKind::Coded:
        if (const auto o = shownOption(entry, image))
            return entry.option(*o)->caption;
        return QStringLiteral("(code %1: no option)").arg(stored / entry.unit());
    case FieldKind::Flag: return stored ? QStringLiteral("checked") : QStringLiteral("clear");
    case FieldKind::BitSet: {
        QStringList set;
        for (const FieldOption &o : entry.options)
            if (stored & o.code)
                set << QStringLiteral("%1 %2").arg(o.index).arg(o.caption);
        return set.join(QStringLiteral(", "));
    }
    case FieldKind::Count: return QString::number(stored / entry.unit());
    case FieldKind::Character:
        return image.at(entry.byte) == 0 ? QString() : QString(charFromByte(image.at(entry.byte)));
    case FieldKind::CharacterSequence: return insertionToText(image, entry.byte, entry.length);
    case FieldKind::CharacterChoice:
        if (const auto o = shownOption(entry, image))
            return entry.option(*o)->caption;
        return QString(charFromByte(image.at(entry.byte)));
    case FieldKind::Text: return QString();
    }
    return QString();
}

std::span<const FieldEntry> fieldCatalogue()
{
    static const std::vector<FieldEntry> catalogue = buildCatalogue();
    return catalogue;
}

const FieldEntry *findField(int page, const QString &name)
{
    for (const FieldEntry &e : fieldCatalogue())
        if (e.page == page && e.name == name)
            return &e;
    return nullptr;
}

std::vector<const FieldEntry *> fieldsOfPage(int page)
{
    std::vector<const FieldEntry *> out;
    for (const FieldEntry &e : fieldCatalogue())
        if (e.page == page)
            out.push_back(&e);
    return out;
}

QStringList catalogueProblems(std::span<const FieldEntry> entries)
{
    QStringList problems;
    // Bits of each byte already claimed, and by whom.
    std::map<int, std::vector<std::pair<int, const FieldEntry *>>> claims;
    std::map<std::pair<int, QString>, int> names;

    for (const FieldEntry &e : entries) {
        const QString who = QStringLiteral("%1 (page %2)").arg(e.name).arg(e.page);
        if (++names[{e.page, e.name}] == 2)
            problems << who + QStringLiteral(": name used twice on the page");

        if (e.kind == FieldKind::Text) {
            if (!e.text)
                problems << who + QStringLiteral(": text field without a setup text");
            continue;
        }
        const int span = e.kind == FieldKind::CharacterSequence ? (e.slotCount - 1) * e.slotStride + e.length : 1;
        const int last = e.byte + span - 1;
        if (!ConfigImage::validIndex(e.byte) || !ConfigImage::validIndex(last)) {
            problems << who + QStringLiteral(": byte outside the image");
            continue;
        }
        if (e.mask <= 0 || e.mask > 0xFF)
            problems << who + QStringLiteral(": mask outside one byte");
        if (e.kind == FieldKind::Flag && (e.mask & (e.mask - 1)) != 0)
            problems << who + QStringLiteral(": flag mask with more than one bit");

        std::vector<int> bytes;
        if (e.kind == FieldKind::CharacterSequence) {
            if (e.slotCount > 1 && e.slotStride < e.length)
                problems << who + QStringLiteral(": slots overlap each other");
            for (int slot = 0; slot < e.slotCount; ++slot)
                for (int k = 0; k < e.length; ++k)
                    bytes.push_back(e.byte + slot * e.slotStride + k);
        } else {
            bytes.push_back(e.byte);
        }
        for (int b : bytes) {
            for (const auto &[bits, other] : claims[b])
                if (bits & e.occupiedMask())
                    problems << who + QStringLiteral(": overlaps %1 (page %2) in byte %3")
                                          .arg(other->name)
                                          .arg(other->page)
                                          .arg(b);
            claims[b].push_back({e.occupiedMask(), &e});
        }

        const bool group = e.kind == FieldKind::Index || e.kind == FieldKind::Coded;
        std::vector<int> seen;
        for (const FieldOption &o : e.options) {
            if (std::find(seen.begin(), seen.end(), o.index) != seen.end())
                problems << who + QStringLiteral(": option index %1 twice").arg(o.index);
            seen.push_back(o.index);
            const int value = e.valueOf(o.index);
            if (value < 0 || (value & ~e.mask) != 0)
                problems << who + QStringLiteral(": option %1 writes 0x%2 outside mask 0x%3")
                                      .arg(o.index)
                                      .arg(value, 0, 16)
                                      .arg(e.mask, 0, 16);
            if (e.kind == FieldKind::BitSet && (value == 0 || (value & (value - 1)) != 0))
                problems << who + QStringLiteral(": box %1 owns no single bit").arg(o.index);
        }
        if (group && e.options.empty())
            problems << who + QStringLiteral(": option group without options");
        if (group && e.designSelection >= 0 && !e.option(e.designSelection))
            problems << who + QStringLiteral(": design selection %1 is no option").arg(e.designSelection);
        if (group && e.designSelection < 0)
            problems << who + QStringLiteral(": option group without a design selection");
        for (const CodeShow &s : e.shows) {
            if (!e.option(s.option))
                problems << who + QStringLiteral(": code %1 shown by missing option %2").arg(s.code).arg(s.option);
            if (s.code < 0 || (s.code * e.unit() & ~e.mask) != 0)
                problems << who + QStringLiteral(": shown code %1 outside the mask").arg(s.code);
        }
        if (!e.frames.empty()) {
            int covered = 0;
            for (const FieldFrame &f : e.frames) {
                if (covered & f.mask)
                    problems << who + QStringLiteral(": frame %1 shares boxes with another").arg(f.caption);
                covered |= f.mask;
            }
            if (covered != e.mask)
                problems << who + QStringLiteral(": frames hold boxes 0x%1, the field 0x%2")
                                      .arg(covered, 0, 16)
                                      .arg(e.mask, 0, 16);
        }
        if (e.kind == FieldKind::Coded) {
            // Every option must show again what it writes, or a choice would be
            // lost at the next opening.
            for (const FieldOption &o : e.options)
                if (e.optionForCode(o.code) != o.index)
                    problems << who + QStringLiteral(": option %1 writes code %2, which it does not show")
                                          .arg(o.index)
                                          .arg(o.code);
        }
    }
    return problems;
}

} // namespace q5n
