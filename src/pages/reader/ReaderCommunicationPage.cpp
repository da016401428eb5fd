#include "pages/reader/ReaderCommunicationPage.h"

#include "pages/common/FieldBinding.h"

#include <QLabel>

namespace q5n {

namespace {
constexpr int kJis2 = 1; // option of OptISO
} // namespace

PageLayout ReaderCommunicationPage::layout()
{
    PageLayout l;
    l.window = definitionOf(kPage);
    l.tabStrip = QStringLiteral("TabCFG1");
    l.frameGroup = QStringLiteral("fraCfg4");
    l.tabs = {
        {QStringLiteral("&RS232"), QStringLiteral("RS232 Mode Parameters"), {}},
        {QStringLiteral("&Keyboard"), QStringLiteral("Keyboard Wedge Mode Parameters"), {}},
        {QStringLiteral("&Output Characters"), QStringLiteral("Output Characters Parameters"), {}},
        {QStringLiteral("&Magnetic Reader"), QStringLiteral("Magnetic Reader Parameters"), {}},
    };
    l.fields = {
        // frame 0: line parameters on the left, parity and handshakes on the
        // right; the rates stand from the slowest to the fastest
        {QStringLiteral("optCfg41A"), 0, {0, 0}, {{0, 1}, {2, 3}, {5, 4}}},
        {QStringLiteral("optCfg41D"), 0, {0, 1}, {{0, 1}, {2, 3}, {4}}},
        {QStringLiteral("optCfg41B"), 0, {1, 0}, {{0, 1}}},
        {QStringLiteral("optRTSCTS"), 0, {1, 1}, {{0, 1}}},
        {QStringLiteral("optCfg41C"), 0, {2, 0}, {{1, 0}}},
        {QStringLiteral("optACKNCK"), 0, {2, 1}, {{0, 1}}},
        {QStringLiteral("optXONXOFF"), 0, {3, 1}, {{0, 1}}},
        // frame 1: keyboard wedge
        {QStringLiteral("optCfg42A"), 1, {0, 0}, {{0, 1}, {2, 3}}},
        {QStringLiteral("Optcfg42b"), 1, {0, 1}},
        {QStringLiteral("optCfg42C"), 1, {1, 0}, {{0, 1}}},
        {QStringLiteral("optCfg42D"), 1, {1, 1}, {{0, 1}}},
        // frame 2: output characters
        {QStringLiteral("optCfg43A"), 2, {0, 0, 2, 1}},
        {QStringLiteral("optCfg43B"), 2, {0, 1, 1, 1, Qt::AlignTop}},
        // frame 3: the card options, each with its label to the left; the
        // track options in four columns with "Auto" and "Any" alone below
        {QStringLiteral("OptISO"), 3, {0, 0}, {{0, 1}}},
        {QStringLiteral("optCfg45A"),
         3,
         {1, 0, 1, 3},
         {{0, 1, 2, 3}, {4, 5, 6, 7}, {8, 9, 10, 11}, {12, 15}},
         {},
         QStringLiteral("fraCfg45A")},
        {QStringLiteral("chkCfg45B"), 3, {2, 0}},
        {QStringLiteral("chkCfg45C"), 3, {3, 0}},
        {QStringLiteral("cbo45D"), 3, {4, 0, 1, 1, Qt::AlignLeft}},
    };
    l.buttons = {
        {QStringLiteral("cmdDefault41"),
         QStringLiteral("Set Default"),
         0,
         {4, 1, 1, 1, Qt::AlignRight},
         {QStringLiteral("optCfg41A"), QStringLiteral("optCfg41B"), QStringLiteral("optCfg41C"),
          QStringLiteral("optCfg41D"), QStringLiteral("optRTSCTS"), QStringLiteral("optACKNCK"),
          QStringLiteral("optXONXOFF")}},
        {QStringLiteral("cmdDefault42"),
         QStringLiteral("Set Default"),
         1,
         {2, 1, 1, 1, Qt::AlignRight},
         {QStringLiteral("optCfg42A"), QStringLiteral("Optcfg42b"), QStringLiteral("optCfg42C"),
          QStringLiteral("optCfg42D")}},
        {QStringLiteral("cmdDefault43"),
         QStringLiteral("Set Default"),
         2,
         {1, 1, 1, 1, Qt::AlignRight | Qt::AlignBottom},
         {QStringLiteral("optCfg43A"), QStringLiteral("optCfg43B")}},
        {QStringLiteral("cmdDefault45"),
         QStringLiteral("Set Default"),
         3,
         {5, 2, 1, 1, Qt::AlignRight},
         {QStringLiteral("optCfg45A"), QStringLiteral("chkCfg45B"), QStringLiteral("chkCfg45C"),
          QStringLiteral("cbo45D"), QStringLiteral("OptISO")}},
    };
    l.afterShow = &applyCardStandard;
    return l;
}

const QStringList &ReaderCommunicationPage::tracksOnlyFields()
{
    static const QStringList names = {QStringLiteral("optCfg45A"), QStringLiteral("chkCfg45C"),
                                      QStringLiteral("cbo45D")};
    return names;
}

void ReaderCommunicationPage::applyCardStandard(SettingPage &page)
{
    // The labels of the two boxes the standard disables keep their own names.
    if (auto *label = page.findChild<QLabel *>(QStringLiteral("chkCfg45CLabel")))
        label->setObjectName(QStringLiteral("Label5"));
    if (auto *label = page.findChild<QLabel *>(QStringLiteral("cbo45DLabel")))
        label->setObjectName(QStringLiteral("Label6"));

    // Whenever a standard becomes selected (a click, the keyboard, the
    // default) the controls follow it; the page opens with the one shown.
    const auto follow = [&page] {
        auto *standard = page.binding<OptionGroupBinding>(QStringLiteral("OptISO"));
        const bool iso = !standard || standard->selectedOption() != kJis2;
        for (const QString &field : tracksOnlyFields())
            page.setFieldEnabled(field, iso);
    };
    QObject::connect(&page, &SettingPage::fieldWritten, &page, [follow](const QString &field) {
        if (field == QLatin1String("OptISO"))
            follow();
    });
    follow();
}

ReaderCommunicationPage::ReaderCommunicationPage(ProgramHost &host, QWidget *parent)
    : SettingPage(host, layout(), parent)
{
}

} // namespace q5n
