// The Communication Parameters, Bar Codes and Others and Miscellaneous pages,
// through their real widgets: what each page shows on the factory image, what
// each control writes, what each "Set Default" restores, and the rules between
// fields (the check-digit rewrite at open, the code ID character rule, the
// truncation counts, the insertion boxes and the Control Key picker).
#include "model/Defaults.h"
#include "pages/common/SettingPage.h"
#include "pages/decoder/ControlKeyPicker.h"
#include "pages/decoder/DecoderPages.h"
#include "shell/MainWindow.h"
#include "shell/PageWindow.h"
#include "support/TestContext.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTimer>
#include <QtTest>

using namespace q5n;

namespace {

struct Fixture
{
    test::TestContext t;
    MainWindow main{t.context};

    Fixture()
    {
        t.state.defaultImage = factoryImage();
        t.state.workingImage = t.state.defaultImage;
        t.state.savedImage = t.state.defaultImage;
        registerDecoderPages(main);
    }
    ~Fixture() { qDeleteAll(main.mdiArea()->subWindowList()); }

    SettingPage *open(int page) { return qobject_cast<SettingPage *>(main.showPage(page)); }
    ConfigImage &working() { return t.state.workingImage; }

    void put(ConfigImage &image, int first, const QByteArray &bytes)
    {
        for (int k = 0; k < bytes.size(); ++k)
            image[first + k] = quint8(bytes[k]);
    }
    QByteArray bytes(int first, int count) const
    {
        QByteArray out;
        for (int k = 0; k < count; ++k)
            out.append(char(t.state.workingImage.at(first + k)));
        return out;
    }
};

// The index of the selected option of a group (-1 none, -2 more than one).
int selectedOption(QWidget *page, const QString &group)
{
    int selected = -1;
    for (QRadioButton *b : page->findChildren<QRadioButton *>()) {
        const QString name = b->objectName();
        if (!name.startsWith(group + QLatin1Char('_')) || !b->isChecked())
            continue;
        bool ok = false;
        const int index = name.mid(group.size() + 1).toInt(&ok);
        if (ok)
            selected = selected == -1 ? index : -2;
    }
    return selected;
}

// What a control shows: a check box "1"/"0", a text or combo box its text, an
// option group the index of its selected option.
QString shown(QWidget *page, const QString &control)
{
    if (auto *box = page->findChild<QCheckBox *>(control))
        return box->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
    if (auto *edit = page->findChild<QLineEdit *>(control))
        return edit->text();
    if (auto *combo = page->findChild<QComboBox *>(control))
        return combo->currentText();
    return QString::number(selectedOption(page, control));
}

// A user's act on a control: "click", "type:<text>" (into an emptied box),
// "pick:<item>" from a combo's list.
void act(QWidget *page, const QString &control, const QString &action)
{
    QWidget *w = page->findChild<QWidget *>(control);
    QVERIFY2(w, qPrintable(control));
    if (action == QLatin1String("click")) {
        auto *b = qobject_cast<QAbstractButton *>(w);
        QVERIFY2(b, qPrintable(control));
        b->click();
    } else if (action.startsWith(QLatin1String("type:"))) {
        QLineEdit *edit = qobject_cast<QLineEdit *>(w);
        if (auto *combo = qobject_cast<QComboBox *>(w))
            edit = combo->lineEdit();
        QVERIFY2(edit, qPrintable(control));
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, action.mid(5));
    } else if (action.startsWith(QLatin1String("pick:"))) {
        auto *combo = qobject_cast<QComboBox *>(w);
        QVERIFY2(combo, qPrintable(control));
        const int i = combo->findText(action.mid(5));
        QVERIFY(i >= 0);
        combo->setCurrentIndex(i);
    } else {
        QFAIL(qPrintable(action));
    }
}

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

} // namespace

class TestDecoderPages : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void tabs_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("strip");
        QTest::addColumn<QStringList>("captions");
        QTest::addColumn<QStringList>("tooltips");
        QTest::newRow("cfg4") << 2 << "Communication Parameters"
                              << "TabCFG1" << QStringList{"&RS232", "&Keyboard", "&Output Character"}
                              << QStringList{"RS232 Mode Parameters", "Keyboard Wedge Mode Parameters",
                                             "Output Characters Parameters"};
        QTest::newRow("cfg5") << 3 << "Bar Codes and Others"
                              << "TabCFG2" << QStringList{"&Symboligies", "&UPC/EAN/JAN",   "Code &39",
                                                          "Code 12&8",    "&Interleave 25", "Coda&bar"}
                              << QStringList{"Symboligies Selection",    "UPC/EAN/JAN Parameters",
                                             "Code 39 Parameters",       "Code 128 Parameters",
                                             "Interleave 25 Parameters", "CodaBar Parameters"};
        QTest::newRow("cfg6") << 4 << "Miscellaneous Parameters"
                              << "TabCFG3" << QStringList{"&Language", "Code &ID", "Characters &Edit"}
                              << QStringList{"Language Selection", "Define Bar Code ID",
                                             "Deleting and Inserting Edit For Output Characters"};
    }
    void tabs()
    {
        QFETCH(int, page);
        QFETCH(QString, title);
        QFETCH(QString, strip);
        QFETCH(QStringList, captions);
        QFETCH(QStringList, tooltips);
        Fixture f;
        SettingPage *p = f.open(page);
        QVERIFY(p);
        QCOMPARE(p->windowTitle(), title);
        QCOMPARE(f.t.state.activePage, qint16(page));
        QTabBar *tabs = p->findChild<QTabBar *>(strip);
        QVERIFY(tabs);
        QCOMPARE(tabs->count(), captions.size());
        for (int i = 0; i < captions.size(); ++i) {
            QCOMPARE(tabs->tabText(i), captions[i]);
            QCOMPARE(tabs->tabToolTip(i), tooltips[i]);
        }
        QCOMPARE(p->currentFrame(), 0);
    }

    // What each page shows on the factory image; opening it writes nothing.
    void factoryDisplay_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("expected");
        const std::pair<const char *, const char *> cfg4[] = {
            {"optCfg41A", "2"}, {"optCfg41B", "1"}, {"optCfg41C", "1"},  {"optCfg41D", "4"},
            {"optRTSCTS", "0"}, {"optACKNCK", "0"}, {"optXONXOFF", "0"}, {"optCfg42A", "0"},
            {"Optcfg42b", "1"}, {"optCfg42C", "0"}, {"optCfg42D", "0"},  {"optCfg43A", "2"},
            {"optCfg43B", "0"}};
        for (const auto &[control, expected] : cfg4)
            QTest::addRow("cfg4 %s", control) << 2 << control << expected;
        const std::pair<const char *, const char *> cfg5[] = {
            {"chkIsbn", "0"},   {"chkUpcAEan13", "0"},  {"optCfg52B", "0"}, {"Optcheck", "1"},
            {"Optcode39", "1"}, {"OptStart_stop", "0"}, {"opt53B", "0"},    {"opt54A", "1"},
            {"opt55A", "0"},    {"ChkBrazil", "0"},     {"chk58A", "0"}};
        for (const auto &[control, expected] : cfg5)
            QTest::addRow("cfg5 %s", control) << 3 << control << expected;
        for (int i = 0; i < 8; ++i) {
            QTest::addRow("cfg5 chk51_%d", i) << 3 << QStringLiteral("chk51_%1").arg(i) << "1";
            QTest::addRow("cfg5 ChkStart_%d", i) << 3 << QStringLiteral("ChkStart_%1").arg(i) << "1";
            QTest::addRow("cfg6 txt62_%d", i)
                << 4 << QStringLiteral("txt62_%1").arg(i) << QString(QChar('A' + i));
        }
        const std::pair<const char *, const char *> cfg6[] = {{"opt61", "0"},        {"chk62", "0"},
                                                              {"cboTruncate1", "0"}, {"CboTruncate2", "0"},
                                                              {"txt694", ""},        {"txt693", ""}};
        for (const auto &[control, expected] : cfg6)
            QTest::addRow("cfg6 %s", control) << 4 << control << expected;
    }
    void factoryDisplay()
    {
        QFETCH(int, page);
        QFETCH(QString, control);
        QFETCH(QString, expected);
        Fixture f;
        const ConfigImage before = f.working();
        SettingPage *p = f.open(page);
        QVERIFY(p);
        QCOMPARE(shown(p, control), expected);
        QCOMPARE(f.working(), before);
    }

    // A user's act on a control, the bytes from `first` before and after.
    void writes_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("first");
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");
        const QString click = QStringLiteral("click");
        auto row = [&](const char *name, int page, const char *control, const QString &action, int first,
                       const char *before, const char *after) {
            QTest::newRow(name) << page << control << action << first << hex(before) << hex(after);
        };
        row("19200", 2, "optCfg41A_3", click, 16, "08", "0C");
        row("2400 keeps the other bits", 2, "optCfg41A_0", click, 16, "FB", "F3");
        row("7 data bits", 2, "optCfg41B_0", click, 19, "FC", "F4");
        row("2 stop bits", 2, "optCfg41C_0", click, 19, "FC", "7C");
        row("1 stop bit", 2, "optCfg41C_1", click, 19, "7C", "FC");
        row("parity space", 2, "optCfg41D_0", click, 19, "FC", "8C");
        row("parity mark", 2, "optCfg41D_1", click, 19, "FC", "9C");
        row("parity even", 2, "optCfg41D_2", click, 19, "FC", "AC");
        row("parity odd", 2, "optCfg41D_3", click, 19, "FC", "BC");
        row("parity none is 7", 2, "optCfg41D_4", click, 19, "8C", "FC");
        row("parity code 4 stays when None is shown", 2, "optCfg41D_4", click, 19, "CC", "CC");
        row("RTS/CTS", 2, "optRTSCTS_1", click, 20, "02", "0A");
        row("ACK/NAK", 2, "optACKNCK_1", click, 20, "02", "12");
        row("XON/XOFF", 2, "optXONXOFF_1", click, 20, "02", "22");
        row("NEC 9800", 2, "optCfg42A_3", click, 16, "08", "0B");
        row("lower case", 2, "Optcfg42b_0", click, 19, "FC", "F8");
        row("ALT method", 2, "optCfg42C_1", click, 20, "02", "42");
        row("numerical pad", 2, "optCfg42D_1", click, 20, "02", "82");
        row("terminator None", 2, "optCfg43A_6", click, 20, "02", "06");
        row("terminator STX-ETX", 2, "optCfg43A_5", click, 20, "02", "05");
        row("15 ms", 2, "optCfg43B_1", click, 19, "FC", "FE");

        row("CodaBar off", 3, "chk51_0", click, 21, "FF", "FE");
        row("UPC-A off", 3, "chk51_7", click, 21, "FF", "7F");
        row("ISBN", 3, "chkIsbn", click, 22, "22", "32");
        row("UPC-A=EAN-13", 3, "chkUpcAEan13", click, 22, "22", "A2");
        row("supplemental", 3, "optCfg52B_1", click, 22, "22", "62");
        row("UPC/EAN check digit", 3, "Optcheck_0", click, 22, "22", "02");
        row("full ASCII", 3, "Optcode39_0", click, 23, "66", "64");
        row("start/stop output", 3, "OptStart_stop_1", click, 23, "66", "67");
        row("Code 39 transmit check digit", 3, "opt53B_2", click, 23, "66", "E6");
        row("Code 39 no check digit", 3, "opt53B_0", click, 23, "E6", "66");
        row("Code 128 transmit check digit", 3, "opt54A_2", click, 23, "66", "76");
        row("Interleave 25 check digit", 3, "opt55A_1", click, 23, "66", "6A");
        row("Brazil 25", 3, "ChkBrazil", click, 19, "FC", "FD");
        row("Codabar start/stop on", 3, "chk58A", click, 22, "22", "2A");
        row("Codabar stop A", 3, "ChkStart_0", click, 18, "00", "01");
        row("Codabar start A", 3, "ChkStart_4", click, 18, "00", "10");
        row("Codabar start D", 3, "ChkStart_7", click, 18, "00", "80");

        row("Reserved 2", 4, "opt61_15", click, 16, "08", "F8");
        row("Hungarian", 4, "opt61_8", click, 16, "0B", "8B");
        row("code ID on", 4, "chk62", click, 22, "22", "26");
        row("code ID space", 4, "txt62_3", QStringLiteral("type: "), 3, "00", "20");
        row("code ID letter", 4, "txt62_7", QStringLiteral("type:z"), 7, "00", "7A");
        row("front count picked", 4, "cboTruncate1", QStringLiteral("pick:9"), 17, "03", "93");
        row("front count typed", 4, "cboTruncate1", QStringLiteral("type:12"), 17, "03", "C3");
        row("end count typed 15", 4, "CboTruncate2", QStringLiteral("type:15"), 17, "90", "9F");
        row("count above 15 refused", 4, "CboTruncate2", QStringLiteral("type:16"), 17, "90", "91");
        row("count without a sign", 4, "cboTruncate1", QStringLiteral("type:-1"), 17, "05", "15");
        row("truncation Clear All", 4, "Command1", click, 17, "93", "00");
        row("prefix STX A", 4, "txt694", QStringLiteral("type:{STX}A"), 8, "FFFFFFFF", "0241FFFF");
        row("suffix names in lower case", 4, "txt693", QStringLiteral("type:{cr}{lf}"), 12, "FFFFFFFF",
            "0D0AFFFF");
        row("prefix five letters", 4, "txt694", QStringLiteral("type:ABCDE"), 8, "FFFFFFFF", "41424344");
        row("suffix Clear All Insetion", 4, "Command4", click, 8, "41424344414243FF", "41424344FFFFFFFF");
        row("prefix Clear All Insetion", 4, "cmd68_69", click, 8, "41424344414243FF", "FFFFFFFF414243FF");
    }
    void writes()
    {
        QFETCH(int, page);
        QFETCH(QString, control);
        QFETCH(QString, action);
        QFETCH(int, first);
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        Fixture f;
        f.put(f.working(), first, before);
        const ConfigImage opened = f.working();
        SettingPage *p = f.open(page);
        QVERIFY(p);
        QCOMPARE(f.working(), opened);
        act(p, control, action);
        QCOMPARE(f.bytes(first, after.size()).toHex(' '), after.toHex(' '));
        // Nothing outside the bytes named changes.
        ConfigImage expected = opened;
        f.put(expected, first, after);
        QCOMPARE(f.working(), expected);
        QVERIFY(f.t.prompter.messages.isEmpty());
    }

    // "Set Default": working bytes before, default bytes (factory when empty), after.
    void setDefault_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("first");
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("defaults");
        QTest::addColumn<QByteArray>("after");
        auto row = [](const char *name, int page, const char *button, int first, const char *before,
                      const char *defaults, const char *after) {
            QTest::newRow(name) << page << button << first << hex(before) << hex(defaults) << hex(after);
        };
        // bytes 16..20
        row("RS232", 2, "cmdDefault41", 16, "FC00FF0D3A", "", "F800FFFD02");
        row("keyboard", 2, "cmdDefault42", 16, "0B00FFF8C2", "", "0800FFFC02");
        row("output characters", 2, "cmdDefault43", 16, "0800FFFEFD", "", "0800FFFCFA");
        row("RS232 default parity code 4 shows None", 2, "cmdDefault41", 19, "8C", "CC", "FC");
        // bytes 18..23
        row("Clear All Barcodes", 3, "Command1", 18, "FFFC02FF2266", "", "FFFC02002266");
        row("symbologies", 3, "cmdSetAll", 21, "00", "", "FF");
        row("symbologies from another default", 3, "cmdSetAll", 21, "F0", "0F", "0F");
        row("UPC/EAN", 3, "cmdDefault52C", 22, "F2", "", "22");
        row("Code 39", 3, "cmdDefault53", 23, "E5", "", "66");
        row("Code 128", 3, "cmdDefault54", 23, "76", "", "66");
        row("Interleave 25", 3, "cmdDefault55", 19, "FD02FF226E", "", "FC02FF2266");
        row("Codabar", 3, "cmdDefault58", 18, "00FC02FF2A", "", "FFFC02FF22");
        row("default check digit code 0 writes 1", 3, "cmdDefault53", 23, "E6", "26", "66");
        // bytes 0..7, 16, 22
        row("language", 4, "cmdDefault61", 16, "58", "", "08");
        row("code ID", 4, "cmdDefault62", 0, "5A5A5A5A5A5A5A5A", "", "4142434445464748");
        row("code ID default 0 leaves the box empty", 4, "cmdDefault62", 0, "5A5A5A5A5A5A5A5A",
            "4142430045464748", "4142430045464748");
    }
    void setDefault()
    {
        QFETCH(int, page);
        QFETCH(QString, button);
        QFETCH(int, first);
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, defaults);
        QFETCH(QByteArray, after);
        Fixture f;
        f.put(f.working(), first, before);
        f.put(f.t.state.defaultImage, first, defaults);
        SettingPage *p = f.open(page);
        QVERIFY(p);
        const ConfigImage opened = f.working();
        act(p, button, QStringLiteral("click"));
        QCOMPARE(f.bytes(first, after.size()).toHex(' '), after.toHex(' '));
        ConfigImage expected = opened;
        f.put(expected, first, after);
        QCOMPARE(f.working(), expected);
    }

    // Showing at open: only the Interleave 25 check digit code 0 and the
    // Miscellaneous page's read-back change bytes.
    void showingAtOpen_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<int>("first");
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QByteArray>("afterOpen");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("shows");
        QTest::newRow("Interleave 25 code 0 becomes 1") << 3 << 23 << hex("60") << hex("64") << "opt55A"
                                                        << "0";
        QTest::newRow("Code 39 and 128 code 0 stay") << 3 << 23 << hex("06") << hex("06") << "opt53B"
                                                     << "0";
        QTest::newRow("parity code 5 shows no option") << 2 << 19 << hex("DC") << hex("DC") << "optCfg41D"
                                                       << "-1";
        QTest::newRow("parity code 4 shows None") << 2 << 19 << hex("CC") << hex("CC") << "optCfg41D"
                                                  << "4";
        QTest::newRow("terminator code 7 shows no option") << 2 << 20 << hex("07") << hex("07") << "optCfg43A"
                                                           << "-1";
        QTest::newRow("code ID control code becomes 0")
            << 4 << 0 << hex("41094300") << hex("41004300") << "txt62_3"
            << "";
        QTest::newRow("bytes after 255 become 255")
            << 4 << 8 << hex("FF414243") << hex("FFFFFFFF") << "txt694"
            << "";
        QTest::newRow("brace spelling becomes its code")
            << 4 << 12 << hex("7B43527D") << hex("0DFFFFFF") << "txt693"
            << "{CR}";
        QTest::newRow("counts come back unchanged") << 4 << 17 << hex("C7") << hex("C7") << "cboTruncate1"
                                                    << "12";
    }
    void showingAtOpen()
    {
        QFETCH(int, page);
        QFETCH(int, first);
        QFETCH(QByteArray, stored);
        QFETCH(QByteArray, afterOpen);
        QFETCH(QString, control);
        QFETCH(QString, shows);
        Fixture f;
        f.put(f.working(), first, stored);
        ConfigImage expected = f.working();
        f.put(expected, first, afterOpen);
        SettingPage *p = f.open(page);
        QVERIFY(p);
        QCOMPARE(shown(p, control), shows);
        QCOMPARE(f.working(), expected);
    }

    void codeIdTakesOneCharacter()
    {
        Fixture f;
        SettingPage *p = f.open(4);
        auto *box = p->findChild<QLineEdit *>(QStringLiteral("txt62_2"));
        QVERIFY(box);
        box->setFocus();
        box->end(false);
        QTest::keyClicks(box, QStringLiteral("X"));
        QCOMPARE(f.t.prompter.messages.size(), 1);
        QCOMPARE(f.t.prompter.messages[0].text, QStringLiteral("Allow only one character."));
        QCOMPARE(f.t.prompter.messages[0].title, QStringLiteral("Decoder Configuration Setup"));
        QCOMPARE(f.t.prompter.messages[0].buttons, Prompter::Buttons(Prompter::Button::Ok));
        QCOMPARE(box->text(), QString());
        QCOMPARE(int(f.working()[2]), 0);
    }

    void groupsKeepTheirCaptions()
    {
        Fixture f;
        SettingPage *p = f.open(3);
        // The eight Codabar boxes: one group, stop A..D in one frame, start A..D in the other.
        for (int i = 0; i < 8; ++i) {
            auto *box = p->findChild<QCheckBox *>(QStringLiteral("ChkStart_%1").arg(i));
            QVERIFY(box);
            QCOMPARE(box->text(), QString(QChar('A' + i % 4)));
            auto *frame = qobject_cast<QGroupBox *>(box->parentWidget());
            QVERIFY(frame);
            QCOMPARE(frame->title(), i < 4 ? QStringLiteral("Transmission Type of Stop")
                                           : QStringLiteral("Transmission Type of Start"));
        }
        auto *frame = qobject_cast<QGroupBox *>(p->frame(5));
        QVERIFY(frame);
        QCOMPARE(frame->title(), QStringLiteral("Codabar Parameters"));
    }

    // The picker, driven while it is open: "CR" then "Insert Control Key" with
    // the caret after the A of the suffix box, then "Exit".
    void pickerInsertsIntoTheSuffix()
    {
        Fixture f;
        f.main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.main));
        SettingPage *p = f.open(4);
        auto *suffix = p->findChild<QLineEdit *>(QStringLiteral("txt693"));
        auto *prefix = p->findChild<QLineEdit *>(QStringLiteral("txt694"));
        QTest::keyClicks(suffix, QStringLiteral("A"));
        bool ran = false;
        QTimer::singleShot(0, [&] {
            auto *picker = qobject_cast<ControlKeyPicker *>(QApplication::activeModalWidget());
            QVERIFY(picker);
            QCOMPARE(picker->objectName(), QStringLiteral("DlgCtrl"));
            QCOMPARE(picker->windowTitle(), QStringLiteral("Control Key"));
            QCOMPARE(picker->targetBox(), suffix);
            for (int c = 0; c < 32; ++c)
                QVERIFY(picker->findChild<QPushButton *>(QStringLiteral("btnCtrl_%1").arg(c)));
            picker->findChild<QPushButton *>(QStringLiteral("btnCtrl_13"))->click();
            QCOMPARE(picker->nameBox()->text(), QStringLiteral("CR"));
            picker->findChild<QPushButton *>(QStringLiteral("Command1"))->click();
            QCOMPARE(picker->nameBox()->text(), QString());
            // An empty name inserts nothing.
            picker->findChild<QPushButton *>(QStringLiteral("Command1"))->click();
            ran = true;
            picker->findChild<QPushButton *>(QStringLiteral("Command2"))->click();
        });
        p->button(QStringLiteral("Command2"))->click();
        QVERIFY(ran);
        QVERIFY(!f.t.state.ctrlKeyTarget);
        QCOMPARE(suffix->text(), QStringLiteral("A{CR}"));
        QCOMPARE(f.bytes(12, 4).toHex(' '), hex("410DFFFF").toHex(' '));
        QCOMPARE(f.bytes(8, 4).toHex(' '), hex("FFFFFFFF").toHex(' '));
        QCOMPARE(prefix->text(), QString());
        QCOMPARE(suffix->window()->focusWidget(), suffix);
    }

    void pickerReplacesThePrefixSelection()
    {
        Fixture f;
        f.put(f.working(), 8, hex("41424344"));
        SettingPage *p = f.open(4);
        auto *prefix = p->findChild<QLineEdit *>(QStringLiteral("txt694"));
        prefix->setSelection(1, 2); // "BC"
        QTimer::singleShot(0, [&] {
            auto *picker = qobject_cast<ControlKeyPicker *>(QApplication::activeModalWidget());
            QVERIFY(picker);
            QTest::keyClicks(picker->nameBox(), QStringLiteral("esc"));
            picker->findChild<QPushButton *>(QStringLiteral("Command1"))->click();
            // A name not in the table is inserted as typed.
            QTest::keyClicks(picker->nameBox(), QStringLiteral("F1"));
            picker->findChild<QPushButton *>(QStringLiteral("Command1"))->click();
            picker->close();
        });
        p->button(QStringLiteral("Command3"))->click();
        QVERIFY(f.t.state.ctrlKeyTarget);
        QCOMPARE(prefix->text(), QStringLiteral("A{esc}{F1}D"));
        QCOMPARE(f.bytes(8, 4).toHex(' '), hex("411B7B46").toHex(' '));
    }

    void pickerFillsTheReaderPageInReaderMode()
    {
        Fixture f;
        // A stand-in for the reader's Miscellaneous page with its two boxes.
        f.main.registerPage(7, [](MainWindow &m) {
            auto *w = new PageWindow(m, {7, QStringLiteral("Miscellaneous Parameters"), {}, {}});
            for (const char *name : {"txt694", "txt693"})
                (new QLineEdit(w))->setObjectName(QString::fromLatin1(name));
            return w;
        });
        QWidget *reader = f.main.showPage(7);
        f.t.state.readerMode = true;
        f.t.state.ctrlKeyTarget = false;
        ControlKeyPicker picker(f.main);
        QCOMPARE(picker.targetBox(), reader->findChild<QLineEdit *>(QStringLiteral("txt693")));
        picker.findChild<QPushButton *>(QStringLiteral("btnCtrl_9"))->click();
        picker.findChild<QPushButton *>(QStringLiteral("Command1"))->click();
        QCOMPARE(reader->findChild<QLineEdit *>(QStringLiteral("txt693"))->text(), QStringLiteral("{HT}"));
    }
};

QTEST_MAIN(TestDecoderPages)
#include "tst_decoderpages.moc"
