#include "pages/reader/ReaderMiscellaneousPage.h"

#include "pages/common/FieldBinding.h"
#include "pages/decoder/ControlKeyPicker.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <tuple>

namespace q5n {

namespace {

void clearInsertion(SettingPage &page, const QString &field)
{
    if (auto *b = page.binding<CharacterSequenceBinding>(field))
        b->clear();
}

} // namespace

PageLayout ReaderMiscellaneousPage::layout()
{
    PageLayout l;
    l.window = definitionOf(kPage);
    l.tabStrip = QStringLiteral("TabCFG3");
    l.frameGroup = QStringLiteral("fraCfg6");
    l.tabs = {
        {QStringLiteral("&Language"), QStringLiteral("Language Selection"), QStringLiteral("Language Selection")},
        {QStringLiteral("Tracks &Edit"), QStringLiteral("Deleting and Inserting Edit For Output Characters"),
         QStringLiteral("Tracks Edit")},
        {QStringLiteral("Start and End &Char"), QStringLiteral("Defined User's Start and End Characters"),
         QStringLiteral("Edit Start and End Characters")},
    };
    // Each insertion box stands right of its track choice (which the page
    // adds to column 0), its buttons below it.
    l.boxes = {
        {QStringLiteral("prefix"), QStringLiteral("Prefix"), 1, {0, 0}, QStringLiteral("fra69")},
        {QStringLiteral("suffix"), QStringLiteral("Sufix"), 1, {1, 0}, QStringLiteral("Frame1")},
    };
    const auto keepFirst = CharacterBinding::Rule::KeepFirstCharacter;
    l.fields = {
        // frame 0: sixteen languages, four rows of four in index order, in the
        // frame that carries their caption; "Set Default" below the last column
        {.field = QStringLiteral("opt61"),
         .frame = 0,
         .cell = {0, 0},
         .arrangement = {{0, 1, 2, 3}, {4, 5, 6, 7}, {8, 9, 10, 11}, {12, 13, 14, 15}},
         .ownBox = false},
        // frame 1: the prefix and suffix of the track chosen
        {QStringLiteral("txt694"), 1, {0, 1, 1, 2}, {}, QStringLiteral("prefix"), {}, true},
        {QStringLiteral("txt693"), 1, {0, 1, 1, 2}, {}, QStringLiteral("suffix"), {}, true},
        // frame 2: one row per track, the start character left of the end character
        {QStringLiteral("txtChar_0"), 2, {0, 0}, {}, {}, {}, false, keepFirst},
        {QStringLiteral("txtChar_1"), 2, {0, 2}, {}, {}, {}, false, keepFirst},
        {QStringLiteral("txtChar_2"), 2, {1, 0}, {}, {}, {}, false, keepFirst},
        {QStringLiteral("txtChar_3"), 2, {1, 2}, {}, {}, {}, false, keepFirst},
        {QStringLiteral("txtChar_4"), 2, {2, 0}, {}, {}, {}, false, keepFirst},
        {QStringLiteral("txtChar_5"), 2, {2, 2}, {}, {}, {}, false, keepFirst},
    };
    l.buttons = {
        {QStringLiteral("cmdDefault61"),
         QStringLiteral("Set Default"),
         0,
         {4, 3, 1, 1, Qt::AlignRight},
         {QStringLiteral("opt61")}},
        {QStringLiteral("Command3"),
         QStringLiteral("Control Keys"),
         1,
         {2, 1, 1, 1, Qt::AlignLeft},
         {},
         [](SettingPage &page) { ControlKeyPicker::run(page.host(), &page, true); },
         QStringLiteral("prefix")},
        {QStringLiteral("cmd68_69"),
         QStringLiteral("Clear All Insetion"),
         1,
         {2, 2, 1, 1, Qt::AlignLeft},
         {},
         [](SettingPage &page) { clearInsertion(page, QStringLiteral("txt694")); },
         QStringLiteral("prefix")},
        {QStringLiteral("Command2"),
         QStringLiteral("Control Keys"),
         1,
         {2, 1, 1, 1, Qt::AlignLeft},
         {},
         [](SettingPage &page) { ControlKeyPicker::run(page.host(), &page, false); },
         QStringLiteral("suffix")},
        {QStringLiteral("Command4"),
         QStringLiteral("Clear All Insetion"),
         1,
         {2, 2, 1, 1, Qt::AlignLeft},
         {},
         [](SettingPage &page) { clearInsertion(page, QStringLiteral("txt693")); },
         QStringLiteral("suffix")},
        {QStringLiteral("CmdDefault"),
         QStringLiteral("Set All Default"),
         2,
         {3, 3, 1, 1, Qt::AlignRight},
         {QStringLiteral("txtChar_0"), QStringLiteral("txtChar_1"), QStringLiteral("txtChar_2"),
          QStringLiteral("txtChar_3"), QStringLiteral("txtChar_4"), QStringLiteral("txtChar_5")}},
    };
    l.afterShow = &addTrackChoices;
    return l;
}

ReaderMiscellaneousPage::ReaderMiscellaneousPage(ProgramHost &host, QWidget *parent)
    : SettingPage(host, layout(), parent)
{
}

QButtonGroup *ReaderMiscellaneousPage::trackGroup(bool prefix) const
{
    return findChild<QButtonGroup *>(prefix ? QStringLiteral("Opt1Track") : QStringLiteral("Opt2Track"));
}

void ReaderMiscellaneousPage::addTrackChoices(SettingPage &page)
{
    // The labels of the two insertion boxes keep their own names.
    if (auto *label = page.findChild<QLabel *>(QStringLiteral("txt694Label")))
        label->setObjectName(QStringLiteral("lbl694"));
    if (auto *label = page.findChild<QLabel *>(QStringLiteral("txt693Label")))
        label->setObjectName(QStringLiteral("Label1"));
    addTrackChoice(page, QStringLiteral("fra69"), QStringLiteral("Opt1Track"), QStringLiteral("txt694"));
    addTrackChoice(page, QStringLiteral("Frame1"), QStringLiteral("Opt2Track"), QStringLiteral("txt693"));

    // Tab walks each box as it reads: the track, the box, its buttons.
    QWidget *previous = nullptr;
    const auto chain = [&previous](QWidget *w) {
        if (!w)
            return;
        if (previous)
            QWidget::setTabOrder(previous, w);
        previous = w;
    };
    for (const auto &[tracks, field, controlKeys, clear] :
         {std::tuple{"Opt1Track", "txt694", "Command3", "cmd68_69"},
          std::tuple{"Opt2Track", "txt693", "Command2", "Command4"}}) {
        if (auto *group = page.findChild<QButtonGroup *>(QLatin1String(tracks)))
            for (QAbstractButton *option : group->buttons())
                chain(option);
        chain(page.fieldControl(QLatin1String(field)));
        chain(page.button(QLatin1String(controlKeys)));
        chain(page.button(QLatin1String(clear)));
    }

    // The frames make room for the track choices, so switching tabs still
    // never resizes the window.
    QSize largest;
    for (int k = 0; k < page.frameCount(); ++k)
        largest = largest.expandedTo(page.frame(k)->sizeHint());
    for (int k = 0; k < page.frameCount(); ++k)
        page.frame(k)->setMinimumSize(largest);
}

// Three options "Track 1".."Track 3" under the label "Select Track", top to
// bottom in column 0 of the box; option t moves the insertion box to the t-th
// slot of its field and shows it there. "Track 1" stands selected when the
// page opens, as the box edits the first slot then.
void ReaderMiscellaneousPage::addTrackChoice(SettingPage &page, const QString &boxName, const QString &name,
                                             const QString &field)
{
    auto *box = page.findChild<QGroupBox *>(boxName);
    auto *grid = box ? qobject_cast<QGridLayout *>(box->layout()) : nullptr;
    auto *sequence = page.binding<CharacterSequenceBinding>(field);
    QWidget *edit = page.fieldControl(field);
    if (!grid || !sequence || !edit)
        return;

    auto *group = new QButtonGroup(&page);
    group->setObjectName(name);
    auto *label = new QLabel(QStringLiteral("Select Track"), box);
    label->setObjectName(name + QStringLiteral("Label"));
    grid->addWidget(label, 0, 0);
    for (int t = 0; t < sequence->entry().slotCount; ++t) {
        auto *option = new QRadioButton(QStringLiteral("Track %1").arg(t + 1), box);
        option->setObjectName(name + QLatin1Char('_') + QString::number(t));
        // Heard as "Track 2", described as "Prefix Select Track".
        option->setAccessibleDescription(spokenCaption(box->title()) + QLatin1Char(' ') + label->text());
        group->addButton(option, t);
        grid->addWidget(option, t + 1, 0, Qt::AlignTop);
        if (t == 0) {
            option->setChecked(true);
            label->setBuddy(option);
        }
    }
    grid->setRowStretch(sequence->entry().slotCount + 1, 1);
    box->updateGeometry(); // the frame's layout asks the box for its new size

    // Only the selected track is a Tab stop, as in every option group of the
    // page: Tab enters the group at its selection, the arrows move in it.
    const auto tabStopAtSelection = [group] {
        for (QAbstractButton *b : group->buttons())
            b->setFocusPolicy(b->isChecked() ? Qt::StrongFocus : Qt::ClickFocus);
    };
    tabStopAtSelection();
    QObject::connect(group, &QButtonGroup::idToggled, sequence, [sequence, tabStopAtSelection](int t, bool checked) {
        if (!checked)
            return;
        tabStopAtSelection();
        sequence->setFirstByte(sequence->entry().byte + t * sequence->entry().slotStride);
    });
}

} // namespace q5n
