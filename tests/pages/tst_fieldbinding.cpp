#include "model/ProgramState.h"
#include "pages/common/FieldBinding.h"
#include "pages/common/Text8Validator.h"
#include "support/ScriptedPrompter.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QtTest>

#include <memory>

using namespace q5n;

namespace {

// A coded field with aliases, as the reader's baud rate: option 5 writes 7
// and shows 5 and 7; code 6 has no option. The design selection is a column.
FieldEntry baudField(int design)
{
    FieldEntry e;
    e.name = QStringLiteral("optBaud");
    e.kind = FieldKind::Coded;
    e.byte = 28;
    e.mask = 0x07;
    e.options = {{0, "600", 0}, {1, "1200", 1}, {2, "2400", 2}, {3, "4800", 3}, {4, "19200", 4}, {5, "9600", 7}};
    e.shows = {{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}, {7, 5}};
    e.designSelection = design;
    return e;
}

// An option group on real buttons, as a page makes it.
struct Group
{
    FieldEntry entry;
    ProgramState state;
    QWidget parent;
    std::unique_ptr<OptionGroupBinding> binding;
    std::map<int, QAbstractButton *> buttons;

    explicit Group(FieldEntry e, int stored) : entry(std::move(e))
    {
        state.workingImage[entry.byte] = quint8(stored);
        for (const FieldOption &o : entry.options)
            buttons[o.index] = new QRadioButton(o.caption, &parent);
        binding = std::make_unique<OptionGroupBinding>(entry, state, buttons);
    }
    int selected() const { return binding->selectedOption().value_or(-1); }
    int stored() const { return state.workingImage[entry.byte]; }
};

} // namespace

class TestFieldBinding : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // Showing a coded field: the option that shows the code is selected; a byte
    // changes only when that option is a new choice and writes another code.
    void showCodedField_data()
    {
        QTest::addColumn<int>("design");
        QTest::addColumn<int>("stored");
        QTest::addColumn<int>("selected");
        QTest::addColumn<int>("after");
        QTest::newRow("alias shown by the design selection stays") << 5 << 0xF5 << 5 << 0xF5;
        QTest::newRow("code 7 under the design selection stays") << 5 << 0x17 << 5 << 0x17;
        QTest::newRow("alias shown by a new choice is rewritten") << 2 << 0xF5 << 5 << 0xF7;
        QTest::newRow("plain code under a new choice is unchanged") << 5 << 0x13 << 3 << 0x13;
        QTest::newRow("code without option selects none") << 5 << 0x16 << -1 << 0x16;
        QTest::newRow("code without option, other design") << 0 << 0x86 << -1 << 0x86;
    }
    void showCodedField()
    {
        QFETCH(int, design);
        QFETCH(int, stored);
        QFETCH(int, selected);
        QFETCH(int, after);
        Group g(baudField(design), stored);
        QCOMPARE(g.selected(), design);
        QCOMPARE(g.stored(), stored); // making the binding writes nothing
        g.binding->show();
        QCOMPARE(g.selected(), selected);
        QCOMPARE(g.stored(), after);
        int checked = 0;
        for (const auto &b : g.buttons)
            checked += b.second->isChecked();
        QCOMPARE(checked, selected == -1 ? 0 : 1);
    }

    // Choosing: the option already selected writes nothing, another writes its code.
    void chooseCodedOption_data()
    {
        QTest::addColumn<int>("stored");
        QTest::addColumn<int>("choice");
        QTest::addColumn<int>("after");
        QTest::newRow("selected alias option writes nothing") << 0x15 << 5 << 0x15;
        QTest::newRow("another option writes its code") << 0x15 << 4 << 0x14;
        QTest::newRow("aliased option writes its own code") << 0x13 << 5 << 0x17;
        QTest::newRow("from no option") << 0x16 << 0 << 0x10;
        QTest::newRow("from no option to the design selection") << 0x16 << 5 << 0x17;
    }
    void chooseCodedOption()
    {
        QFETCH(int, stored);
        QFETCH(int, choice);
        QFETCH(int, after);
        Group g(baudField(5), stored);
        g.binding->show();
        g.buttons[choice]->click();
        QCOMPARE(g.stored(), after);
        QCOMPARE(g.selected(), choice);
    }

    void chooseFromProgramActsAsClick()
    {
        Group g(baudField(5), 0x10);
        g.binding->show();
        QCOMPARE(g.selected(), 0);
        g.binding->select(5);
        QCOMPARE(g.stored(), 0x17);
        g.state.workingImage[28] = 0x15;
        g.binding->select(5); // already selected
        QCOMPARE(g.stored(), 0x15);
    }

    // Set default: the option that shows the default is selected as a choice.
    void restoreCodedDefault_data()
    {
        QTest::addColumn<int>("stored");
        QTest::addColumn<int>("defaultValue");
        QTest::addColumn<int>("selected");
        QTest::addColumn<int>("after");
        QTest::newRow("same option keeps the alias") << 0x17 << 0x05 << 5 << 0x17;
        QTest::newRow("other option writes the option's code") << 0x10 << 0x05 << 5 << 0x17;
        QTest::newRow("plain default") << 0x17 << 0x02 << 2 << 0x12;
        QTest::newRow("from no option") << 0x16 << 0x01 << 1 << 0x11;
        QTest::newRow("default without option is copied") << 0x12 << 0x06 << -1 << 0x16;
        QTest::newRow("only the mask's bits of the default") << 0x10 << 0xF9 << 1 << 0x11;
    }
    void restoreCodedDefault()
    {
        QFETCH(int, stored);
        QFETCH(int, defaultValue);
        QFETCH(int, selected);
        QFETCH(int, after);
        Group g(baudField(5), stored);
        g.state.defaultImage[28] = quint8(defaultValue);
        g.binding->show();
        g.binding->restoreDefault();
        QCOMPARE(g.selected(), selected);
        QCOMPARE(g.stored(), after);
    }

    void indexFieldWritesIndexInPlace_data()
    {
        QTest::addColumn<int>("mask");
        QTest::addColumn<int>("stored");
        QTest::addColumn<int>("choice");
        QTest::addColumn<int>("after");
        QTest::newRow("bits 2..3") << 0x0C << 0x08 << 3 << 0x0C;
        QTest::newRow("bit 7") << 0x80 << 0x7C << 1 << 0xFC;
        QTest::newRow("bits 4..7") << 0xF0 << 0x0F << 15 << 0xFF;
        QTest::newRow("bits 0..3 keep 4..7") << 0x0F << 0x9F << 12 << 0x9C;
    }
    void indexFieldWritesIndexInPlace()
    {
        QFETCH(int, mask);
        QFETCH(int, stored);
        QFETCH(int, choice);
        QFETCH(int, after);
        FieldEntry e;
        e.name = QStringLiteral("opt");
        e.kind = FieldKind::Index;
        e.byte = 16;
        e.mask = mask;
        for (int i = 0; i * (mask & -mask) <= mask; ++i)
            e.options.push_back({i, QString::number(i), i});
        e.designSelection = 0;
        Group g(e, stored);
        g.binding->show();
        QCOMPARE(g.stored(), stored);
        QCOMPARE(g.selected(), (stored & mask) / (mask & -mask));
        g.buttons[choice]->click();
        QCOMPARE(g.stored(), after);
    }

    void flagField_data()
    {
        QTest::addColumn<int>("mask");
        QTest::addColumn<int>("stored");
        QTest::addColumn<int>("afterClick");
        QTest::addColumn<int>("defaultValue");
        QTest::addColumn<int>("afterDefault");
        QTest::newRow("bit 0 set") << 0x01 << 0x81 << 0x80 << 0x01 << 0x81;
        QTest::newRow("bit 3 clear") << 0x08 << 0x01 << 0x09 << 0x00 << 0x01;
        QTest::newRow("default equals state") << 0x02 << 0x02 << 0x00 << 0xFD << 0x00;
    }
    void flagField()
    {
        QFETCH(int, mask);
        QFETCH(int, stored);
        QFETCH(int, afterClick);
        QFETCH(int, defaultValue);
        QFETCH(int, afterDefault);
        FieldEntry e;
        e.name = QStringLiteral("chk");
        e.kind = FieldKind::Flag;
        e.byte = 25;
        e.mask = mask;
        ProgramState s;
        s.workingImage[25] = quint8(stored);
        s.defaultImage[25] = quint8(defaultValue);
        QCheckBox box;
        FlagBinding b(e, s, &box);
        b.show();
        QCOMPARE(box.isChecked(), (stored & mask) != 0);
        QCOMPARE(int(s.workingImage[25]), stored);
        box.click();
        QCOMPARE(int(s.workingImage[25]), afterClick);
        b.restoreDefault();
        QCOMPARE(int(s.workingImage[25]), afterDefault);
        QCOMPARE(box.isChecked(), (defaultValue & mask) != 0);
    }

    void bitSetField_data()
    {
        QTest::addColumn<int>("stored");
        QTest::addColumn<int>("clickBox");
        QTest::addColumn<int>("afterClick");
        QTest::addColumn<int>("defaultValue");
        QTest::newRow("clear box 0") << 0xFF << 0 << 0xFE << 0xFF;
        QTest::newRow("set box 7") << 0x00 << 7 << 0x80 << 0x5A;
        QTest::newRow("set box 4") << 0x0F << 4 << 0x1F << 0x00;
    }
    void bitSetField()
    {
        QFETCH(int, stored);
        QFETCH(int, clickBox);
        QFETCH(int, afterClick);
        QFETCH(int, defaultValue);
        FieldEntry e;
        e.name = QStringLiteral("chk51");
        e.kind = FieldKind::BitSet;
        e.byte = 21;
        e.mask = 0xFF;
        for (int i = 0; i < 8; ++i)
            e.options.push_back({i, QString::number(i), 1 << i});
        ProgramState s;
        s.workingImage[21] = quint8(stored);
        s.defaultImage[21] = quint8(defaultValue);
        QWidget parent;
        std::map<int, QCheckBox *> boxes;
        for (int i = 0; i < 8; ++i)
            boxes[i] = new QCheckBox(&parent);
        BitSetBinding b(e, s, boxes);
        b.show();
        for (int i = 0; i < 8; ++i)
            QCOMPARE(boxes[i]->isChecked(), bool(stored & (1 << i)));
        QCOMPARE(int(s.workingImage[21]), stored);
        boxes[clickBox]->click();
        QCOMPARE(int(s.workingImage[21]), afterClick);
        b.restoreDefault();
        QCOMPARE(int(s.workingImage[21]), defaultValue);
    }

    void textFieldStoresWholeText()
    {
        FieldEntry e;
        e.name = QStringLiteral("txtDeviceName");
        e.kind = FieldKind::Text;
        e.text = SetupText::DeviceName;
        ProgramState s;
        s.setupInfo.deviceName = QStringLiteral(" padded  ");
        QLineEdit edit;
        TextBinding b(e, s, &edit);
        b.show();
        QCOMPARE(edit.text(), QStringLiteral(" padded  "));
        QCOMPARE(s.setupInfo.deviceName, QStringLiteral(" padded  "));
        QCOMPARE(edit.cursorPosition(), 0); // a long text shows its beginning
        edit.end(false);
        QTest::keyClicks(&edit, QStringLiteral("x"));
        QCOMPARE(s.setupInfo.deviceName, QStringLiteral(" padded  x"));
        b.restoreDefault();
        QCOMPARE(s.setupInfo.deviceName, QStringLiteral(" padded  x"));
        edit.clear();
        QCOMPARE(s.setupInfo.deviceName, QString());
        QVERIFY(s.setupInfo.userName.isEmpty());
    }

    void characterField_data()
    {
        QTest::addColumn<int>("rule");
        QTest::addColumn<int>("stored");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("boxAfter");
        QTest::addColumn<int>("byteAfter");
        QTest::addColumn<int>("messages");
        const int one = int(CharacterBinding::Rule::OneCharacterOrMessage);
        const int first = int(CharacterBinding::Rule::KeepFirstCharacter);
        QTest::newRow("code id: space") << one << 0 << ""
                                        << " "
                                        << " " << 0x20 << 0;
        QTest::newRow("code id: second character") << one << 0x41 << "A"
                                                   << "B"
                                                   << "" << 0 << 1;
        QTest::newRow("code id: control code reads back as 0") << one << 0x05 << "\x05"
                                                               << ""
                                                               << "\x05" << 0 << 0;
        QTest::newRow("code id: 8-bit character") << one << 0 << ""
                                                  << "\u00E9"
                                                  << "\u00E9" << 0xE9 << 0;
        QTest::newRow("start char: second character is dropped") << first << 0x25 << "%"
                                                                 << "x"
                                                                 << "%" << 0x25 << 0;
        QTest::newRow("start char: euro sign shows and stays") << first << 0x80 << "\u20AC"
                                                               << ""
                                                               << "\u20AC" << 0x80 << 0;
    }
    void characterField()
    {
        QFETCH(int, rule);
        QFETCH(int, stored);
        QFETCH(QString, shown);
        QFETCH(QString, typed);
        QFETCH(QString, boxAfter);
        QFETCH(int, byteAfter);
        QFETCH(int, messages);
        FieldEntry e;
        e.name = QStringLiteral("txt62_0");
        e.kind = FieldKind::Character;
        e.byte = 3;
        e.mask = 0xFF;
        ProgramState s;
        s.workingImage[3] = quint8(stored);
        test::ScriptedPrompter prompter;
        QLineEdit edit;
        edit.setValidator(new Text8Validator(&edit));
        CharacterBinding b(e, s, &edit, CharacterBinding::Rule(rule), &prompter);
        b.show();
        QCOMPARE(edit.text(), shown);
        edit.end(false);
        for (QChar ch : typed) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(ch));
            QApplication::sendEvent(&edit, &press);
        }
        QCOMPARE(edit.text(), boxAfter);
        QCOMPARE(int(s.workingImage[3]), byteAfter);
        QCOMPARE(int(prompter.messages.size()), messages);
        if (messages) {
            QCOMPARE(prompter.messages[0].text, QStringLiteral("Allow only one character."));
            QCOMPARE(prompter.messages[0].title, QStringLiteral("Decoder Configuration Setup"));
        }
    }

    void startCharacterEmptyKeepsByte()
    {
        FieldEntry e;
        e.name = QStringLiteral("txtChar_0");
        e.kind = FieldKind::Character;
        e.byte = 77;
        e.mask = 0xFF;
        ProgramState s;
        s.workingImage[77] = 0x25;
        s.defaultImage[77] = 0x3B;
        QLineEdit edit;
        CharacterBinding b(e, s, &edit, CharacterBinding::Rule::KeepFirstCharacter, nullptr);
        b.show();
        edit.clear();
        QCOMPARE(int(s.workingImage[77]), 0x25);
        edit.setText(QStringLiteral("AB"));
        QCOMPARE(edit.text(), QStringLiteral("A"));
        QCOMPARE(int(s.workingImage[77]), 0x41);
        b.restoreDefault();
        QCOMPARE(edit.text(), QStringLiteral(";"));
        QCOMPARE(int(s.workingImage[77]), 0x3B);
    }

    void characterSequenceField()
    {
        FieldEntry e;
        e.name = QStringLiteral("txt694");
        e.kind = FieldKind::CharacterSequence;
        e.byte = 29;
        e.mask = 0xFF;
        e.length = 8;
        ProgramState s;
        for (int i = 29; i <= 76; ++i)
            s.workingImage[i] = 255;
        s.workingImage[45] = '{';
        s.workingImage[46] = 'C';
        s.workingImage[47] = 'R';
        s.workingImage[48] = '}';
        QLineEdit edit;
        CharacterSequenceBinding b(e, s, &edit);
        b.show();
        QCOMPARE(edit.text(), QString());
        QTest::keyClicks(&edit, QStringLiteral("AB{cr}"));
        const quint8 slot1[8] = {0x41, 0x42, 0x0D, 255, 255, 255, 255, 255};
        for (int k = 0; k < 8; ++k)
            QCOMPARE(s.workingImage[29 + k], slot1[k]);
        // Moving to the second slot shows it and reads it back.
        b.setFirstByte(45);
        QCOMPARE(edit.text(), QStringLiteral("{CR}"));
        QCOMPARE(int(s.workingImage[45]), 13);
        QCOMPARE(int(s.workingImage[46]), 255);
        QCOMPARE(int(s.workingImage[29]), 0x41);
        b.clear();
        QCOMPARE(edit.text(), QString());
        for (int k = 0; k < 8; ++k)
            QCOMPARE(int(s.workingImage[45 + k]), 255);
        QCOMPARE(int(s.workingImage[29]), 0x41);
    }

    void countField_data()
    {
        QTest::addColumn<int>("mask");
        QTest::addColumn<int>("stored");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("after");
        QTest::newRow("front count: type 12") << 0xF0 << 0x03 << "0"
                                              << "12" << 0xC3;
        QTest::newRow("front count: 16 is refused") << 0xF0 << 0x03 << "0"
                                                    << "16" << 0x13;
        QTest::newRow("end count: a letter first stores 0") << 0x0F << 0x95 << "5"
                                                            << "a7" << 0x90;
        QTest::newRow("end count: a leading zero") << 0x0F << 0x90 << "0"
                                                   << "05" << 0x95;
        QTest::newRow("end count: digits after a letter do not count") << 0x0F << 0x90 << "0"
                                                                       << "1a2" << 0x91;
        QTest::newRow("front count: a sign is refused") << 0xF0 << 0x53 << "5"
                                                        << "-3" << 0x33;
        QTest::newRow("end count: emptied stores 0") << 0x0F << 0x95 << "5"
                                                     << "" << 0x90;
    }
    void countField()
    {
        QFETCH(int, mask);
        QFETCH(int, stored);
        QFETCH(QString, shown);
        QFETCH(QString, typed);
        QFETCH(int, after);
        FieldEntry e;
        e.name = QStringLiteral("cboTruncate");
        e.kind = FieldKind::Count;
        e.byte = 17;
        e.mask = mask;
        ProgramState s;
        s.workingImage[17] = quint8(stored);
        QComboBox box;
        CountBinding b(e, s, &box);
        b.show();
        QCOMPARE(box.count(), 10);
        QCOMPARE(box.currentText(), shown);
        QCOMPARE(int(s.workingImage[17]), stored);
        box.lineEdit()->selectAll();
        QTest::keyClick(box.lineEdit(), Qt::Key_Delete);
        QTest::keyClicks(box.lineEdit(), typed);
        QCOMPARE(int(s.workingImage[17]), after);
    }

    void countFieldPick()
    {
        FieldEntry e;
        e.name = QStringLiteral("cboTruncate1");
        e.kind = FieldKind::Count;
        e.byte = 17;
        e.mask = 0xF0;
        ProgramState s;
        s.workingImage[17] = 0x03;
        QComboBox box;
        CountBinding b(e, s, &box);
        b.show();
        box.setCurrentIndex(9);
        QCOMPARE(int(s.workingImage[17]), 0x93);
        box.setEditText(QStringLiteral("0"));
        QCOMPARE(int(s.workingImage[17]), 0x03);
        QCOMPARE(CountBinding::leadingNumber(QStringLiteral("12abc")), 12);
        QCOMPARE(CountBinding::leadingNumber(QStringLiteral("x1")), 0);
    }

    void characterChoiceField_data()
    {
        QTest::addColumn<int>("stored");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("shownIndex");
        QTest::addColumn<int>("pick");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("after");
        QTest::newRow("CR shows the item; pick US") << 0x0D << "CR" << 13 << 31 << "" << 31;
        QTest::newRow("a character shows as text") << 0x23 << "#" << -1 << -1 << "" << 0x23;
        QTest::newRow("typed CR is the letter C") << 0x0D << "CR" << 13 << -1 << "CR" << 0x43;
        QTest::newRow("typed AB stores A") << 0x0D << "CR" << 13 << -1 << "AB" << 0x41;
        QTest::newRow("emptied keeps the byte") << 0x23 << "#" << -1 << -1 << "<erase>" << 0x23;
    }
    void characterChoiceField()
    {
        QFETCH(int, stored);
        QFETCH(QString, shown);
        QFETCH(int, shownIndex);
        QFETCH(int, pick);
        QFETCH(QString, typed);
        QFETCH(int, after);
        FieldEntry e;
        e.name = QStringLiteral("cbo45D");
        e.kind = FieldKind::CharacterChoice;
        e.byte = 84;
        e.mask = 0xFF;
        const QStringList names = QStringLiteral("NUL SOH STX ETX EOT ENQ ACK BEL BS HT LF VT FF CR SO SI DLE DC1 "
                                                 "DC2 DC3 DC4 NAK SYN ETB CAN EM SUB ESC FS GS RS US")
                                      .split(QLatin1Char(' '));
        for (int c = 0; c < 32; ++c)
            e.options.push_back({c, names[c], c});
        ProgramState s;
        s.workingImage[84] = quint8(stored);
        QComboBox box;
        CharacterChoiceBinding b(e, s, &box);
        b.show();
        QCOMPARE(box.count(), 32);
        QCOMPARE(box.currentText(), shown);
        QCOMPARE(box.currentIndex(), shownIndex);
        QCOMPARE(int(s.workingImage[84]), stored);
        if (pick >= 0) {
            box.setCurrentIndex(pick);
            Q_EMIT box.activated(pick); // as the list does when the user picks
        }
        if (typed == QLatin1String("<erase>")) {
            box.lineEdit()->end(false);
            QTest::keyClick(box.lineEdit(), Qt::Key_Backspace);
            QCOMPARE(box.currentText(), QString());
        } else if (!typed.isEmpty()) {
            box.lineEdit()->selectAll();
            QTest::keyClicks(box.lineEdit(), typed);
        }
        QCOMPARE(int(s.workingImage[84]), after);
    }

    void validatorRefusesCharactersWithoutAByte_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("ascii") << "abc {CR}" << true;
        QTest::newRow("latin-1") << "\u00E9\u00FF" << true;
        QTest::newRow("euro and dagger") << "\u20AC\u2020" << true;
        QTest::newRow("greek") << "\u03A9" << false;
        QTest::newRow("mixed") << "a\u4E2Db" << false;
    }
    void validatorRefusesCharactersWithoutAByte()
    {
        QFETCH(QString, text);
        QFETCH(bool, accepted);
        Text8Validator v;
        int pos = 0;
        QCOMPARE(v.validate(text, pos) == QValidator::Acceptable, accepted);
    }
};

QTEST_MAIN(TestFieldBinding)
#include "tst_fieldbinding.moc"
