// The magnetic reader pages (Interface, Communication Parameters,
// Miscellaneous Parameters) through their real widgets, opened by their menu
// commands: what each shows on the factory image, what each control writes
// (and that no other byte changes), what the "Set Default" buttons restore,
// and the rules between fields: aliases rewritten or kept at open, the card
// standard that disables the track-only controls, the separator box, the
// track slots of the insertion boxes and the one-character boxes.
#include "model/Defaults.h"
#include "pages/common/FieldBinding.h"
#include "pages/common/SettingPage.h"
#include "pages/decoder/ControlKeyPicker.h"
#include "pages/decoder/DecoderPages.h"
#include "pages/reader/ReaderCommunicationPage.h"
#include "pages/reader/ReaderPages.h"
#include "shell/MainWindow.h"
#include "support/TestContext.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
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

constexpr int kInterface = 8; // magcfg3
constexpr int kComm = 6;      // magcfg4
constexpr int kMisc = 7;      // magcfg6

const char *menuItemOf(int page)
{
    switch (page) {
    case kInterface: return "mnuMagInterface";
    case kComm: return "mnuMagComm";
    default: return "mnuMagMisc";
    }
}

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
        registerReaderPages(main);
    }
    ~Fixture() { qDeleteAll(main.mdiArea()->subWindowList()); }

    // Opens a page as its menu command does.
    SettingPage *open(int page)
    {
        QAction *item = main.menuAction(QString::fromLatin1(menuItemOf(page)));
        if (!item)
            return nullptr;
        item->trigger();
        QMdiSubWindow *sub = main.pageWindow(page);
        return sub ? qobject_cast<SettingPage *>(sub->widget()) : nullptr;
    }
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

// The caption of the selected option of a group ("" for none, "?" for more
// than one).
QString selectedCaption(QWidget *page, const QString &group)
{
    QString selected;
    int count = 0;
    const QRegularExpression member(QRegularExpression::escape(group) + QStringLiteral("_\\d+"));
    for (QRadioButton *b : page->findChildren<QRadioButton *>()) {
        if (member.match(b->objectName()).capturedLength() == b->objectName().size() && b->isChecked()) {
            selected = b->text();
            ++count;
        }
    }
    return count > 1 ? QStringLiteral("?") : selected;
}

// What a control shows: a check box "checked"/"clear", a text or list box its
// text, an option group the caption of its selected option.
QString shown(QWidget *page, const QString &control)
{
    if (auto *box = page->findChild<QCheckBox *>(control))
        return box->isChecked() ? QStringLiteral("checked") : QStringLiteral("clear");
    if (auto *edit = page->findChild<QLineEdit *>(control))
        return edit->text();
    if (auto *combo = page->findChild<QComboBox *>(control))
        return combo->currentText();
    return selectedCaption(page, control);
}

// A user's act on a control: "click"; "type:<text>" into the emptied box;
// "append:<text>" at the end of the box; "pick:<item>" from the list, as the
// list's popup picks it.
void act(QWidget *page, const QString &control, const QString &action)
{
    QWidget *w = page->findChild<QWidget *>(control);
    QVERIFY2(w, qPrintable(control));
    if (action == QLatin1String("click")) {
        auto *b = qobject_cast<QAbstractButton *>(w);
        QVERIFY2(b, qPrintable(control));
        b->click();
        return;
    }
    if (action.startsWith(QLatin1String("pick:"))) {
        // With the arrow keys, each step a pick from the list.
        auto *combo = qobject_cast<QComboBox *>(w);
        QVERIFY2(combo, qPrintable(control));
        const int i = combo->findText(action.mid(5));
        QVERIFY(i >= 0);
        combo->setFocus();
        while (combo->currentIndex() != i) {
            const int was = combo->currentIndex();
            QTest::keyClick(combo, combo->currentIndex() < i ? Qt::Key_Down : Qt::Key_Up);
            QVERIFY(combo->currentIndex() != was);
        }
        return;
    }
    QLineEdit *edit = qobject_cast<QLineEdit *>(w);
    if (auto *combo = qobject_cast<QComboBox *>(w))
        edit = combo->lineEdit();
    QVERIFY2(edit, qPrintable(control));
    if (action.startsWith(QLatin1String("type:"))) {
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, action.mid(5));
    } else if (action.startsWith(QLatin1String("append:"))) {
        edit->end(false);
        QTest::keyClicks(edit, action.mid(7));
    } else {
        QFAIL(qPrintable(action));
    }
}

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

} // namespace

class TestReaderPages : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // Opening through the menu: the window, its tabs with their tooltips, the
    // checked menu item, the reader's Set All Default disabled until the page
    // closes; opening on the factory image writes nothing.
    void pageContract_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("strip");
        QTest::addColumn<QStringList>("captions");
        QTest::addColumn<QStringList>("tooltips");
        QTest::newRow("magcfg3") << kInterface << "Interface"
                                 << "TabCFG" << QStringList{"&User Informations", "&Interface"}
                                 << QStringList{"User's Name,building date and other informations",
                                                "Interface and Code ID Selection"};
        QTest::newRow("magcfg4") << kComm << "Communication Parameters"
                                 << "TabCFG1"
                                 << QStringList{"&RS232", "&Keyboard", "&Output Characters", "&Magnetic Reader"}
                                 << QStringList{"RS232 Mode Parameters", "Keyboard Wedge Mode Parameters",
                                                "Output Characters Parameters", "Magnetic Reader Parameters"};
        QTest::newRow("magcfg6") << kMisc << "Miscellaneous Parameters"
                                 << "TabCFG3" << QStringList{"&Language", "Tracks &Edit", "Start and End &Char"}
                                 << QStringList{"Language Selection",
                                                "Deleting and Inserting Edit For Output Characters",
                                                "Defined User's Start and End Characters"};
    }
    void pageContract()
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
        QCOMPARE(f.t.state.activePage, page);
        QVERIFY(f.t.state.readerMode);
        QVERIFY(f.main.menuAction(QString::fromLatin1(menuItemOf(page)))->isChecked());
        QVERIFY(!f.main.menuAction(QStringLiteral("mnuMagDefault"))->isEnabled());
        QTabBar *tabs = p->tabStrip();
        QCOMPARE(tabs->objectName(), strip);
        QCOMPARE(tabs->count(), captions.size());
        for (int i = 0; i < tabs->count(); ++i) {
            QCOMPARE(tabs->tabText(i), captions[i]);
            QCOMPARE(tabs->tabToolTip(i), tooltips[i]);
        }
        QCOMPARE(p->currentFrame(), 0);
        QVERIFY(!p->frame(0)->isHidden());
        for (int k = 1; k < p->frameCount(); ++k)
            QVERIFY(p->frame(k)->isHidden());
        QCOMPARE(f.working(), f.t.state.defaultImage);

        f.open(page); // its own command closes it
        QVERIFY(!f.main.pageWindow(page));
        QCOMPARE(f.t.state.activePage, 0);
        QVERIFY(!f.main.menuAction(QString::fromLatin1(menuItemOf(page)))->isChecked());
        QVERIFY(f.main.menuAction(QStringLiteral("mnuMagDefault"))->isEnabled());
    }

    // What every control shows when a page opens on the factory image.
    void factoryDisplay_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("expected");
        const std::tuple<int, const char *, const char *> rows[] = {
            {kInterface, "OptCfg3_1", "Keyboard Mode"},
            {kInterface, "ChkNotebook", "clear"},
            {kInterface, "ChkMSRMem", "clear"},
            {kComm, "optCfg41A", "9600"},
            {kComm, "optCfg41B", "8 Data Bits"},
            {kComm, "optCfg41C", "1 Bit"},
            {kComm, "optCfg41D", "None"},
            {kComm, "optRTSCTS", "Disable"},
            {kComm, "optACKNCK", "Disable"},
            {kComm, "optXONXOFF", "Disable"},
            {kComm, "optCfg42A", "IBM PC/AT,PS/2"},
            {kComm, "Optcfg42b", "Upper Case"},
            {kComm, "optCfg42C", "Disable"},
            {kComm, "optCfg42D", "OFF"},
            {kComm, "optCfg43A", "CR+LF"},
            {kComm, "optCfg43B", "0 ms"},
            {kComm, "OptISO", "ISO"},
            {kComm, "optCfg45A", "Any"},
            {kComm, "chkCfg45B", "checked"},
            {kComm, "chkCfg45C", "clear"},
            {kComm, "cbo45D", "CR"},
            {kMisc, "opt61", "US English"},
            {kMisc, "Opt1Track", "Track 1"},
            {kMisc, "Opt2Track", "Track 1"},
            {kMisc, "txt694", ""},
            {kMisc, "txt693", ""},
            {kMisc, "txtChar_0", "%"},
            {kMisc, "txtChar_1", "?"},
            {kMisc, "txtChar_2", ";"},
            {kMisc, "txtChar_3", "?"},
            {kMisc, "txtChar_4", "+"},
            {kMisc, "txtChar_5", "?"},
        };
        for (const auto &[page, control, expected] : rows)
            QTest::addRow("%d %s", page, control)
                << page << QString::fromLatin1(control) << QString::fromLatin1(expected);
    }
    void factoryDisplay()
    {
        QFETCH(int, page);
        QFETCH(QString, control);
        QFETCH(QString, expected);
        Fixture f;
        SettingPage *p = f.open(page);
        QVERIFY(p);
        QCOMPARE(shown(p, control), expected);
    }

    // A choice on a control: the bytes from `first` hold `before` when the
    // page opens; after the choice they hold `after` and no other byte changed.
    void choices_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("first");
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");
        struct Row
        {
            const char *name;
            int page;
            const char *control;
            const char *action;
            int first;
            const char *before;
            const char *after;
        };
        const Row rows[] = {
            // Interface: bits 6..7 of byte 26, bits 1 and 3 of byte 25
            {"RS232 Mode", kInterface, "OptCfg3_1_2", "click", 26, "30", "b0"},
            {"USB Mode", kInterface, "OptCfg3_1_1", "click", 26, "b0", "70"},
            {"Keyboard Mode", kInterface, "OptCfg3_1_0", "click", 26, "70", "30"},
            {"Keyboard Mode from code 3", kInterface, "OptCfg3_1_0", "click", 26, "f0", "30"},
            {"Disable External Keyboard", kInterface, "ChkNotebook", "click", 25, "01", "09"},
            {"Read Memory Enable", kInterface, "ChkMSRMem", "click", 25, "09", "0b"},
            {"Read Memory cleared", kInterface, "ChkMSRMem", "click", 25, "0b", "09"},
            // Communication: RS232
            {"9600", kComm, "optCfg41A_5", "click", 28, "10", "17"},
            {"19200", kComm, "optCfg41A_4", "click", 28, "17", "14"},
            {"600", kComm, "optCfg41A_0", "click", 28, "14", "10"},
            {"4800", kComm, "optCfg41A_3", "click", 28, "17", "13"},
            {"7 Data Bits", kComm, "optCfg41B_0", "click", 26, "30", "10"},
            {"2 Bits", kComm, "optCfg41C_0", "click", 26, "30", "20"},
            {"parity None", kComm, "optCfg41D_4", "click", 27, "02", "e2"},
            {"parity Odd", kComm, "optCfg41D_3", "click", 27, "e2", "62"},
            {"RTS/CTS Enable", kComm, "optRTSCTS_1", "click", 27, "e2", "f2"},
            {"ACK/NAK Enable", kComm, "optACKNCK_1", "click", 27, "e2", "ea"},
            {"XON/XOFF Enable", kComm, "optXONXOFF_1", "click", 26, "30", "38"},
            // Communication: keyboard
            {"NEC 9800", kComm, "optCfg42A_3", "click", 26, "30", "33"},
            {"Lower Case", kComm, "Optcfg42b_1", "click", 28, "17", "97"},
            {"ALT Enable", kComm, "optCfg42C_1", "click", 28, "97", "b7"},
            {"pad ON", kComm, "optCfg42D_1", "click", 28, "b7", "f7"},
            // Communication: output characters
            {"terminator None", kComm, "optCfg43A_6", "click", 27, "e2", "e6"},
            {"terminator CR", kComm, "optCfg43A_0", "click", 27, "e2", "e0"},
            {"15 ms", kComm, "optCfg43B_1", "click", 26, "30", "34"},
            // Communication: magnetic reader
            {"JIS2", kComm, "OptISO_1", "click", 25, "00", "01"},
            {"ISO", kComm, "OptISO_0", "click", 25, "0b", "0a"},
            {"Any keeps the language", kComm, "optCfg45A_15", "click", 83, "90", "9f"},
            {"Auto", kComm, "optCfg45A_12", "click", 83, "9f", "9c"},
            {"Send Start/Stop cleared", kComm, "chkCfg45B", "click", 28, "17", "07"},
            {"Account Number Only", kComm, "chkCfg45C", "click", 28, "17", "1f"},
            {"separator US picked", kComm, "cbo45D", "pick:US", 84, "0d", "1f"},
            {"separator # typed", kComm, "cbo45D", "type:#", 84, "0d", "23"},
            {"separator CR typed", kComm, "cbo45D", "type:CR", 84, "0d", "43"},
            {"separator emptied", kComm, "cbo45D", "type:", 84, "23", "23"},
            // Miscellaneous
            {"Japanese", kMisc, "opt61_9", "click", 83, "0f", "9f"},
            {"prefix AB{cr}", kMisc, "txt694", "type:AB{cr}", 29, "ffffffffffffffff", "41420dffffffffff"},
            {"suffix of ten", kMisc, "txt693", "type:0123456789", 37, "ffffffffffffffff", "3031323334353637"},
            {"suffix {XYZ}", kMisc, "txt693", "type:{XYZ}", 37, "ffffffffffffffff", "7b58595a7dffffff"},
            {"suffix {A}", kMisc, "txt693", "type:{A}", 37, "ffffffffffffffff", "7b417dffffffffff"},
            {"suffix emptied", kMisc, "txt693", "type:", 37, "4142ffffffffffff", "ffffffffffffffff"},
            {"start char typed", kMisc, "txtChar_2", "type:#", 79, "3b", "23"},
            {"second char refused", kMisc, "txtChar_0", "append:x", 77, "25", "25"},
            {"end char emptied", kMisc, "txtChar_5", "type:", 82, "3f", "3f"},
            {"end char replaced", kMisc, "txtChar_1", "type:!", 78, "3f", "21"},
        };
        for (const Row &r : rows)
            QTest::newRow(r.name) << r.page << QString::fromLatin1(r.control) << QString::fromLatin1(r.action)
                                  << r.first << hex(r.before) << hex(r.after);
    }
    void choices()
    {
        QFETCH(int, page);
        QFETCH(QString, control);
        QFETCH(QString, action);
        QFETCH(int, first);
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        Fixture f;
        f.put(f.working(), first, before);
        SettingPage *p = f.open(page);
        QVERIFY(p);
        QCOMPARE(f.bytes(first, before.size()), before);
        ConfigImage expected = f.working();
        f.put(expected, first, after);
        // The control's frame is shown first, as a user would see it.
        if (QWidget *w = p->findChild<QWidget *>(control)) {
            for (int k = 0; k < p->frameCount(); ++k)
                if (p->frame(k)->isAncestorOf(w))
                    p->tabStrip()->setCurrentIndex(k);
        }
        act(p, control, action);
        QCOMPARE(f.bytes(first, after.size()), after);
        QCOMPARE(f.working(), expected);
    }

    // "Set Default" buttons: the bytes they restore from the default image and
    // the ones they leave.
    void setDefault_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("byte");
        QTest::addColumn<int>("defaultValue");
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("after");
        struct Row
        {
            const char *name;
            int page;
            const char *button;
            int byte, defaultValue, before, after;
        };
        const Row rows[] = {
            // a default code 3 arrives as "USB Mode"'s code 1; other bits stay
            {"interface code 3", kInterface, "cmdDefault31_2", 26, 0xC0, 0x30, 0x70},
            {"interface switches", kInterface, "cmdDefault31_2", 25, 0x0A, 0x01, 0x0B},
            {"line", kComm, "cmdDefault41", 28, 0x17, 0x94, 0x97},
            {"parity and handshakes", kComm, "cmdDefault41", 27, 0xE2, 0x7A, 0xE2},
            {"data, stop bits, XON/XOFF", kComm, "cmdDefault41", 26, 0x30, 0x0F, 0x37},
            {"keyboard", kComm, "cmdDefault42", 28, 0x17, 0xE7, 0x07},
            {"keyboard type", kComm, "cmdDefault42", 26, 0x30, 0x3F, 0x3C},
            {"terminator and time-out", kComm, "cmdDefault43", 27, 0xE2, 0xFD, 0xFA},
            {"only terminator and time-out", kComm, "cmdDefault43", 26, 0x30, 0x3F, 0x3B},
            {"line untouched by 43", kComm, "cmdDefault43", 28, 0x17, 0x14, 0x14},
            {"tracks", kComm, "cmdDefault45", 83, 0x0F, 0x91, 0x9F},
            {"card switches", kComm, "cmdDefault45", 28, 0x17, 0x0C, 0x14},
            {"separator", kComm, "cmdDefault45", 84, 0x0D, 0x23, 0x0D},
            {"standard", kComm, "cmdDefault45", 25, 0x01, 0x0A, 0x0B},
            {"language", kMisc, "cmdDefault61", 83, 0x0F, 0x9A, 0x0A},
            {"start char", kMisc, "CmdDefault", 77, 0x25, 0x41, 0x25},
            {"end char", kMisc, "CmdDefault", 82, 0x3F, 0x21, 0x3F},
            {"language untouched", kMisc, "CmdDefault", 83, 0x0F, 0x9A, 0x9A},
            {"slot untouched", kMisc, "CmdDefault", 29, 0xFF, 0x41, 0x41},
        };
        for (const Row &r : rows)
            QTest::newRow(r.name) << r.page << QString::fromLatin1(r.button) << r.byte << r.defaultValue << r.before
                                  << r.after;
    }
    void setDefault()
    {
        QFETCH(int, page);
        QFETCH(QString, button);
        QFETCH(int, byte);
        QFETCH(int, defaultValue);
        QFETCH(int, before);
        QFETCH(int, after);
        Fixture f;
        f.t.state.defaultImage[byte] = quint8(defaultValue);
        f.working()[byte] = quint8(before);
        SettingPage *p = f.open(page);
        QVERIFY(p);
        QPushButton *b = p->button(button);
        QVERIFY(b);
        b->click();
        QCOMPARE(int(f.working().at(byte)), after);
    }

    // Aliases at open: a stored terminator code 7 is shown by "None", which the
    // page does not start with, and so is rewritten as 6; baud code 5, parity
    // code 4 and interface code 3 are shown by the options the page starts
    // with and stay until the user chooses; codes no option shows select none.
    void aliasesAtOpen_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("group");
        QTest::addColumn<int>("byte");
        QTest::addColumn<int>("stored");
        QTest::addColumn<QString>("shows");
        QTest::addColumn<int>("after");
        QTest::newRow("terminator 7") << kComm << "optCfg43A" << 27 << 0xE7 << "None" << 0xE6;
        QTest::newRow("baud 5") << kComm << "optCfg41A" << 28 << 0x15 << "9600" << 0x15;
        QTest::newRow("baud 6") << kComm << "optCfg41A" << 28 << 0x16 << "" << 0x16;
        QTest::newRow("parity 4") << kComm << "optCfg41D" << 27 << 0x82 << "None" << 0x82;
        QTest::newRow("parity 5") << kComm << "optCfg41D" << 27 << 0xA2 << "" << 0xA2;
        QTest::newRow("tracks 13") << kComm << "optCfg45A" << 83 << 0x0D << "" << 0x0D;
        QTest::newRow("interface 3") << kInterface << "OptCfg3_1" << 26 << 0xF0 << "USB Mode" << 0xF0;
    }
    void aliasesAtOpen()
    {
        QFETCH(int, page);
        QFETCH(QString, group);
        QFETCH(int, byte);
        QFETCH(int, stored);
        QFETCH(QString, shows);
        QFETCH(int, after);
        Fixture f;
        f.working()[byte] = quint8(stored);
        SettingPage *p = f.open(page);
        QVERIFY(p);
        QCOMPARE(shown(p, group), shows);
        QCOMPARE(int(f.working().at(byte)), after);
    }

    // JIS2 disables the track selection, the account number box and the
    // separator box with their labels, at open, on a choice and on "Set
    // Default"; ISO enables them again. No byte changes but bit 0 of byte 25.
    void cardStandard()
    {
        Fixture f;
        f.main.show(); // the arrow keys move among the options shown
        f.working()[25] = 0x01;
        SettingPage *p = f.open(kComm);
        QVERIFY(p);
        const auto enabledControls = [p] {
            QStringList on;
            for (const QString &name : ReaderCommunicationPage::tracksOnlyControls()) {
                QWidget *w = p->findChild<QWidget *>(name);
                if (!w)
                    return QStringList{QStringLiteral("missing ") + name};
                if (w->isEnabled())
                    on << name;
            }
            return on;
        };
        const QStringList all = ReaderCommunicationPage::tracksOnlyControls();
        QCOMPARE(enabledControls(), QStringList{});
        QVERIFY(!p->findChild<QRadioButton *>(QStringLiteral("optCfg45A_15"))->isEnabled());
        QVERIFY(p->findChild<QCheckBox *>(QStringLiteral("chkCfg45B"))->isEnabled());
        QCOMPARE(p->findChild<QLabel *>(QStringLiteral("Label5"))->text(),
                 QStringLiteral("Track 2 Account Number Only"));
        QCOMPARE(p->findChild<QLabel *>(QStringLiteral("Label6"))->text(),
                 QStringLiteral("Separator Character (For Dual Or Triple Tracks)"));

        ConfigImage image = f.working();
        p->tabStrip()->setCurrentIndex(3);
        p->findChild<QRadioButton *>(QStringLiteral("OptISO_0"))->click();
        QCOMPARE(enabledControls(), all);
        image[25] = 0x00;
        QCOMPARE(f.working(), image);

        // The keyboard moves the choice too.
        auto *iso = p->findChild<QRadioButton *>(QStringLiteral("OptISO_0"));
        QVERIFY(QTest::qWaitForWindowExposed(&f.main));
        iso->setFocus();
        QTest::keyClick(iso, Qt::Key_Right);
        QCOMPARE(shown(p, QStringLiteral("OptISO")), QStringLiteral("JIS2"));
        QCOMPARE(enabledControls(), QStringList{});
        image[25] = 0x01;
        QCOMPARE(f.working(), image);

        // "Set Default" restores ISO from the factory default: enabled again.
        p->button(QStringLiteral("cmdDefault45"))->click();
        QCOMPARE(enabledControls(), all);
        QCOMPARE(int(f.working().at(25)), 0x00);

        // and JIS2 from a default that holds it
        f.t.state.defaultImage[25] = 0x01;
        p->button(QStringLiteral("cmdDefault45"))->click();
        QCOMPARE(enabledControls(), QStringList{});
        QCOMPARE(int(f.working().at(25)), 0x01);
    }

    // The separator box shows a byte above 31 as its character with no list
    // item, and a control code as its picked name.
    void separatorShown_data()
    {
        QTest::addColumn<int>("stored");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("item");
        QTest::newRow("#") << 0x23 << "#" << -1;
        QTest::newRow("CR") << 0x0D << "CR" << 13;
        QTest::newRow("NUL") << 0x00 << "NUL" << 0;
        QTest::newRow("US") << 0x1F << "US" << 31;
        QTest::newRow("e acute") << 0xE9 << QString(QChar(0xE9)) << -1;
    }
    void separatorShown()
    {
        QFETCH(int, stored);
        QFETCH(QString, text);
        QFETCH(int, item);
        Fixture f;
        f.working()[84] = quint8(stored);
        SettingPage *p = f.open(kComm);
        QVERIFY(p);
        auto *box = p->findChild<QComboBox *>(QStringLiteral("cbo45D"));
        QCOMPARE(box->count(), 32);
        QCOMPARE(box->currentText(), text);
        QCOMPARE(box->currentIndex(), item);
        QCOMPARE(int(f.working().at(84)), stored);
    }

    // Each insertion box edits the slot of the track chosen beside it; the
    // other slots keep their bytes, and showing a slot reads it back.
    void trackSlots()
    {
        Fixture f;
        f.put(f.working(), 29, QByteArray("PRE1\xff\xff\xff\xff", 8));
        f.put(f.working(), 45, QByteArray("{CR}\xff\xff\xff\xff", 8));
        f.put(f.working(), 69, QByteArray("SUF3\xff\xff\xff\xff", 8));
        SettingPage *p = f.open(kMisc);
        QVERIFY(p);
        p->tabStrip()->setCurrentIndex(1);
        auto *prefix = p->findChild<QLineEdit *>(QStringLiteral("txt694"));
        auto *suffix = p->findChild<QLineEdit *>(QStringLiteral("txt693"));
        QCOMPARE(prefix->text(), QStringLiteral("PRE1"));
        QCOMPARE(f.bytes(45, 8), QByteArray("{CR}\xff\xff\xff\xff", 8)); // not shown yet

        p->findChild<QRadioButton *>(QStringLiteral("Opt1Track_1"))->click();
        QCOMPARE(prefix->text(), QStringLiteral("{CR}"));
        QCOMPARE(f.bytes(45, 8), hex("0dffffffffffffff")); // read back on showing
        QTest::keyClicks(prefix, "A");
        QCOMPARE(f.bytes(45, 8), hex("0d41ffffffffffff"));
        QCOMPARE(f.bytes(29, 8), QByteArray("PRE1\xff\xff\xff\xff", 8));

        // Clear All Insetion of the suffix, on track 3: only that slot.
        p->findChild<QRadioButton *>(QStringLiteral("Opt2Track_2"))->click();
        QCOMPARE(suffix->text(), QStringLiteral("SUF3"));
        const ConfigImage before = f.working();
        p->button(QStringLiteral("Command4"))->click();
        QCOMPARE(suffix->text(), QString());
        ConfigImage expected = before;
        f.put(expected, 69, hex("ffffffffffffffff"));
        QCOMPARE(f.working(), expected);

        // The prefix's clear on track 2
        p->button(QStringLiteral("cmd68_69"))->click();
        QCOMPARE(f.bytes(45, 8), hex("ffffffffffffffff"));
        QCOMPARE(f.bytes(29, 8), QByteArray("PRE1\xff\xff\xff\xff", 8));

        // Reopening starts on track 1 again.
        f.open(kMisc);
        p = f.open(kMisc);
        QCOMPARE(shown(p, QStringLiteral("Opt1Track")), QStringLiteral("Track 1"));
        QCOMPARE(p->findChild<QLineEdit *>(QStringLiteral("txt694"))->text(), QStringLiteral("PRE1"));
    }

    // A slot spelling {CR} literally becomes the single code 13 when the page opens.
    void braceSpellingAtOpen()
    {
        Fixture f;
        f.put(f.working(), 37, QByteArray("{CR}\xff\xff\xff\xff", 8));
        QVERIFY(f.open(kMisc));
        QCOMPARE(f.bytes(37, 8), hex("0dffffffffffffff"));
    }

    // The picker in reader mode inserts into this page's box at its caret.
    void pickerFillsReaderBox()
    {
        Fixture f;
        f.put(f.working(), 61, QByteArray("AB\xff\xff\xff\xff\xff\xff", 8));
        SettingPage *p = f.open(kMisc);
        QVERIFY(p);
        p->tabStrip()->setCurrentIndex(1);
        p->findChild<QRadioButton *>(QStringLiteral("Opt1Track_2"))->click();
        auto *prefix = p->findChild<QLineEdit *>(QStringLiteral("txt694"));
        prefix->setCursorPosition(1);
        bool ran = false;
        QTimer::singleShot(0, [&] {
            auto *picker = qobject_cast<ControlKeyPicker *>(QApplication::activeModalWidget());
            if (!picker)
                return;
            picker->findChild<QPushButton *>(QStringLiteral("btnCtrl_27"))->click();
            picker->findChild<QPushButton *>(QStringLiteral("Command1"))->click();
            picker->findChild<QPushButton *>(QStringLiteral("Command2"))->click();
            ran = true;
        });
        p->button(QStringLiteral("Command3"))->click();
        QVERIFY(ran);
        QVERIFY(f.t.state.ctrlKeyTarget);
        QCOMPARE(prefix->text(), QStringLiteral("A{ESC}B"));
        QCOMPARE(f.bytes(61, 8), hex("411b42ffffffffff"));
    }

    // The setup texts are the ones the decoder's Interface page edits.
    void setupTextsShared()
    {
        Fixture f;
        SettingPage *p = f.open(kInterface);
        QVERIFY(p);
        auto *name = p->findChild<QLineEdit *>(QStringLiteral("txtDeviceName"));
        name->selectAll();
        QTest::keyClicks(name, "Reader 7");
        QCOMPARE(f.t.state.setupInfo.deviceName, QStringLiteral("Reader 7"));
        f.main.menuAction(QStringLiteral("mnuConfigInterface"))->trigger();
        QMdiSubWindow *sub = f.main.pageWindow(1);
        QVERIFY(sub);
        QCOMPARE(sub->widget()->findChild<QLineEdit *>(QStringLiteral("txtDeviceName"))->text(),
                 QStringLiteral("Reader 7"));
    }

    // The "mag" button puts each reader page in place of its decoder
    // counterpart and back.
    void magButtonSwitches_data()
    {
        QTest::addColumn<int>("decoder");
        QTest::addColumn<int>("reader");
        QTest::newRow("Interface") << 1 << kInterface;
        QTest::newRow("Communication") << 2 << kComm;
        QTest::newRow("Miscellaneous") << 4 << kMisc;
    }
    void magButtonSwitches()
    {
        QFETCH(int, decoder);
        QFETCH(int, reader);
        Fixture f;
        f.open(reader);
        QAction *mag = f.main.toolbarButton(QStringLiteral("mag"));
        QVERIFY(mag);
        mag->trigger();
        QVERIFY(!f.main.pageWindow(reader));
        QVERIFY(f.main.pageWindow(decoder));
        QCOMPARE(f.t.state.activePage, decoder);
        mag->trigger();
        QVERIFY(!f.main.pageWindow(decoder));
        QVERIFY(f.main.pageWindow(reader));
        QCOMPARE(f.t.state.activePage, reader);
        QVERIFY(f.t.state.readerMode);
    }
};

QTEST_MAIN(TestReaderPages)
#include "tst_readerpages.moc"
