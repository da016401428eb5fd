#include "pages/decoder/MiscellaneousPage.h"

#include "pages/common/FieldBinding.h"
#include "pages/decoder/ControlKeyPicker.h"

#include <QComboBox>

// The page is a declaration: its tables are laid out by hand, a row per line.
// clang-format off
namespace q5n {

namespace {

void clearCounts(SettingPage &page)
{
    // Each combo stores its "0" through its own change handling.
    for (const QString &name : {QStringLiteral("cboTruncate1"), QStringLiteral("CboTruncate2")})
        if (auto *box = page.findChild<QComboBox *>(name))
            box->setEditText(QStringLiteral("0"));
}

void clearInsertion(SettingPage &page, const QString &field)
{
    if (auto *b = page.binding<CharacterSequenceBinding>(field))
        b->clear();
}

} // namespace

PageLayout MiscellaneousPage::layout()
{
    PageLayout l;
    l.window = definitionOf(kPage);
    l.tabStrip = QStringLiteral("TabCFG3");
    l.frameGroup = QStringLiteral("fraCfg6");
    l.tabs = {
        {QStringLiteral("&Language"), QStringLiteral("Language Selection"), QStringLiteral("Language Selection")},
        {QStringLiteral("Code &ID"), QStringLiteral("Define Bar Code ID"), QStringLiteral("Code ID")},
        {QStringLiteral("Characters &Edit"), QStringLiteral("Deleting and Inserting Edit For Output Characters"),
         QStringLiteral("Characters Edit")},
    };
    l.boxes = {
        {QStringLiteral("truncate"), QStringLiteral("Truncate"), 2, {0, 0}},
        {QStringLiteral("prefix"), QStringLiteral("Prefix"), 2, {1, 0}},
        {QStringLiteral("suffix"), QStringLiteral("Sufix"), 2, {2, 0}},
    };
    l.fields = {
        // frame 0: sixteen languages, four rows of four in index order, in the
        // frame that carries their caption
        {.field = QStringLiteral("opt61"),
         .frame = 0,
         .cell = {0, 0},
         .arrangement = {{0, 1, 2, 3}, {4, 5, 6, 7}, {8, 9, 10, 11}, {12, 13, 14, 15}},
         .ownBox = false},
        // frame 1: the switch, then two columns of code ID boxes, each with its label to the left
        {QStringLiteral("chk62"), 1, {0, 0, 1, 4}},
        {QStringLiteral("txt62_0"), 1, {1, 0}},
        {QStringLiteral("txt62_1"), 1, {1, 2}},
        {QStringLiteral("txt62_2"), 1, {2, 0}},
        {QStringLiteral("txt62_3"), 1, {2, 2}},
        {QStringLiteral("txt62_4"), 1, {3, 0}},
        {QStringLiteral("txt62_5"), 1, {3, 2}},
        {QStringLiteral("txt62_6"), 1, {4, 0}},
        {QStringLiteral("txt62_7"), 1, {4, 2}},
        // frame 2: truncation counts, prefix and suffix
        {QStringLiteral("cboTruncate1"), 2, {0, 0}, {}, QStringLiteral("truncate")},
        {QStringLiteral("CboTruncate2"), 2, {1, 0}, {}, QStringLiteral("truncate")},
        {QStringLiteral("txt694"), 2, {0, 0, 1, 2}, {}, QStringLiteral("prefix"), {}, true},
        {QStringLiteral("txt693"), 2, {0, 0, 1, 2}, {}, QStringLiteral("suffix"), {}, true},
    };
    l.buttons = {
        {QStringLiteral("cmdDefault61"), QStringLiteral("Set Default"), 0, {4, 3, 1, 1, Qt::AlignRight},
         {QStringLiteral("opt61")}},
        {QStringLiteral("cmdDefault62"), QStringLiteral("Set Default"), 1, {5, 3, 1, 1, Qt::AlignRight},
         {QStringLiteral("chk62"), QStringLiteral("txt62_0"), QStringLiteral("txt62_1"), QStringLiteral("txt62_2"),
          QStringLiteral("txt62_3"), QStringLiteral("txt62_4"), QStringLiteral("txt62_5"), QStringLiteral("txt62_6"),
          QStringLiteral("txt62_7")}},
        {QStringLiteral("Command1"), QStringLiteral("Clear All"), 2, {0, 2, 2, 1, Qt::AlignLeft | Qt::AlignVCenter}, {},
         &clearCounts, QStringLiteral("truncate")},
        {QStringLiteral("Command3"), QStringLiteral("Control Keys"), 2, {2, 0, 1, 1, Qt::AlignLeft}, {},
         [](SettingPage &page) { ControlKeyPicker::run(page.host(), &page, true); }, QStringLiteral("prefix")},
        {QStringLiteral("cmd68_69"), QStringLiteral("Clear All Insetion"), 2, {1, 1, 1, 1, Qt::AlignLeft | Qt::AlignBottom}, {},
         [](SettingPage &page) { clearInsertion(page, QStringLiteral("txt694")); }},
        {QStringLiteral("Command2"), QStringLiteral("Control Keys"), 2, {2, 0, 1, 1, Qt::AlignLeft}, {},
         [](SettingPage &page) { ControlKeyPicker::run(page.host(), &page, false); }, QStringLiteral("suffix")},
        {QStringLiteral("Command4"), QStringLiteral("Clear All Insetion"), 2, {2, 1, 1, 1, Qt::AlignLeft}, {},
         [](SettingPage &page) { clearInsertion(page, QStringLiteral("txt693")); }, QStringLiteral("suffix")},
    };
    return l;
}

MiscellaneousPage::MiscellaneousPage(ProgramHost &host, QWidget *parent) : SettingPage(host, layout(), parent) {}

} // namespace q5n
// clang-format on
