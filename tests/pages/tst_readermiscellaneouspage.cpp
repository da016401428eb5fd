#include "model/PageTable.h"
#include "pages/decoder/ControlKeyPicker.h"
#include "pages/reader/ReaderMiscellaneousPage.h"
#include "support/PageTest.h"

#include <QApplication>
#include <QButtonGroup>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTimer>
#include <QtTest>

using namespace q5n;
using test::Act;

namespace {

void put(ConfigImage &image, int first, const QByteArray &bytes)
{
    for (int k = 0; k < bytes.size(); ++k)
        image[first + k] = quint8(bytes[k]);
}

QByteArray bytesOf(const ConfigImage &image, int first, int count)
{
    QByteArray out;
    for (int k = 0; k < count; ++k)
        out.append(char(image[first + k]));
    return out;
}

const QByteArray kEmptySlot = QByteArray(8, char(0xFF));

} // namespace

class TestReaderMiscellaneousPage : public test::PageTest
{
    Q_OBJECT
    test::PageTables tables() const override
    {
        auto language = [](int i) { return QStringLiteral("opt61_%1").arg(i); };
        auto box = [](int i) { return QStringLiteral("txtChar_%1").arg(i); };
        const QString setAll = QStringLiteral("CmdDefault");
        return {
            Page::ReaderMisc,
            {
                {QStringLiteral("opt61"), QStringLiteral("US English")},
                {QStringLiteral("txt694"), QString()},
                {QStringLiteral("txt693"), QString()},
                {box(0), QStringLiteral("%")},
                {box(1), QStringLiteral("?")},
                {box(2), QStringLiteral(";")},
                {box(3), QStringLiteral("?")},
                {box(4), QStringLiteral("+")},
                {box(5), QStringLiteral("?")},
            },
            {
                {"Japanese keeps the track selection", language(9), Act::Click, {}, 83, 0x0F, 0x9F},
                {"Reserved 2 by Space", language(15), Act::Space, {}, 83, 0x0F, 0xFF},
                {"US English by accessibility", language(0), Act::AccessToggle, {}, 83, 0x9F, 0x0F},
                {"prefix: one character", QStringLiteral("txt694"), Act::Type, QStringLiteral("A"), 29, 0xFF, 0x41},
                {"prefix: a name", QStringLiteral("txt694"), Act::Type, QStringLiteral("{esc}"), 29, 0xFF, 0x1B},
                {"suffix: one character", QStringLiteral("txt693"), Act::Type, QStringLiteral("#"), 37, 0xFF, 0x23},
                {"track 1 start", box(0), Act::Type, QStringLiteral("#"), 77, 0x25, 0x23},
                {"track 1 end", box(1), Act::Type, QStringLiteral("!"), 78, 0x3F, 0x21},
                {"track 2 start: only the first character", box(2), Act::Type, QStringLiteral("xy"), 79, 0x3B, 0x78},
                {"track 2 end", box(3), Act::Type, QStringLiteral("E"), 80, 0x3F, 0x45},
                {"track 3 start", box(4), Act::Type, QStringLiteral("S"), 81, 0x2B, 0x53},
                {"track 3 end emptied keeps the byte", box(5), Act::Type, {}, 82, 0x3F, 0x3F},
            },
            {
                {"language only", QStringLiteral("cmdDefault61"), 83, 0x0F, 0x9A, 0x0A},
                {"track 1 start", setAll, 77, 0x25, 0x41, 0x25},
                {"track 2 end", setAll, 80, 0x3F, 0x20, 0x3F},
                {"track 3 end", setAll, 82, 0x3F, 0x21, 0x3F},
                {"language stays", setAll, 83, 0x0F, 0x9A, 0x9A},
                {"slots stay", setAll, 29, 0xFF, 0x41, 0x41},
            },
        };
    }

private Q_SLOTS:
    void tabs()
    {
        test::PageFixture f;
        SettingPage *page = f.open(Page::ReaderMisc);
        QVERIFY(page);
        QTabBar *tabs = page->findChild<QTabBar *>(QStringLiteral("TabCFG3"));
        QVERIFY(tabs);
        const char *expected[][3] = {
            {"&Language", "Language Selection", "Language Selection"},
            {"Tracks &Edit", "Deleting and Inserting Edit For Output Characters", "Tracks Edit"},
            {"Start and End &Char", "Defined User's Start and End Characters", "Edit Start and End Characters"}};
        QCOMPARE(tabs->count(), 3);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(tabs->tabText(i), QString::fromLatin1(expected[i][0]));
            QCOMPARE(tabs->tabToolTip(i), QString::fromLatin1(expected[i][1]));
            QCOMPARE(page->frame(i)->property("title").toString(), QString::fromLatin1(expected[i][2]));
        }
    }

    // What the insertion boxes store: eight bytes at most, the rest 255.
    void insertions_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("first");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("AB{cr} in track 1's prefix") << "txt694"
                                                    << "AB{cr}" << 29 << QByteArray::fromHex("41420dffffffffff");
        QTest::newRow("ten characters keep eight") << "txt693"
                                                   << "0123456789" << 37 << QByteArray("01234567");
        QTest::newRow("{XYZ} is five characters") << "txt693"
                                                  << "{XYZ}" << 37 << QByteArray::fromHex("7b58595a7dffffff");
        QTest::newRow("{A} is three characters") << "txt693"
                                                 << "{A}" << 37 << QByteArray::fromHex("7b417dffffffffff");
        QTest::newRow("eight names") << "txt694"
                                     << "{CR}{LF}{CR}{LF}{CR}{LF}{CR}{LF}{CR}" << 29
                                     << QByteArray::fromHex("0d0a0d0a0d0a0d0a");
        QTest::newRow("emptied") << "txt693"
                                 << "" << 37 << kEmptySlot;
    }
    void insertions()
    {
        QFETCH(QString, box);
        QFETCH(QString, text);
        QFETCH(int, first);
        QFETCH(QByteArray, bytes);
        test::PageFixture f;
        put(f.working(), first, QByteArray("xy\xff\xff\xff\xff\xff\xff", 8));
        SettingPage *page = f.open(Page::ReaderMisc);
        QVERIFY(page);
        page->tabStrip()->setCurrentIndex(1);
        auto *edit = page->findChild<QLineEdit *>(box);
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, text);
        ConfigImage expected = f.t.state.defaultImage;
        put(expected, first, bytes);
        QCOMPARE(f.working(), expected);
        QCOMPARE(edit->text(), text); // characters beyond the eighth stay in the box
    }

    // Each insertion box edits the slot of the track chosen beside it; the
    // other slots keep their bytes, and showing a slot reads it back.
    void trackSlots()
    {
        test::PageFixture f;
        put(f.working(), 29, QByteArray("PRE1\xff\xff\xff\xff", 8));
        put(f.working(), 45, QByteArray("{CR}\xff\xff\xff\xff", 8));
        put(f.working(), 69, QByteArray("SUF3\xff\xff\xff\xff", 8));
        SettingPage *page = f.open(Page::ReaderMisc);
        QVERIFY(page);
        page->tabStrip()->setCurrentIndex(1);
        auto *prefix = page->findChild<QLineEdit *>(QStringLiteral("txt694"));
        auto *suffix = page->findChild<QLineEdit *>(QStringLiteral("txt693"));
        QCOMPARE(prefix->text(), QStringLiteral("PRE1"));
        QCOMPARE(bytesOf(f.working(), 45, 8), QByteArray("{CR}\xff\xff\xff\xff", 8)); // not shown yet

        page->findChild<QRadioButton *>(QStringLiteral("Opt1Track_1"))->click();
        QCOMPARE(prefix->text(), QStringLiteral("{CR}"));
        QCOMPARE(bytesOf(f.working(), 45, 8), QByteArray::fromHex("0dffffffffffffff")); // read back
        prefix->end(false);
        QTest::keyClicks(prefix, "A");
        QCOMPARE(bytesOf(f.working(), 45, 8), QByteArray::fromHex("0d41ffffffffffff"));
        QCOMPARE(bytesOf(f.working(), 29, 8), QByteArray("PRE1\xff\xff\xff\xff", 8));

        // The arrow keys choose a track too.
        auto *suffixTrack1 = page->findChild<QRadioButton *>(QStringLiteral("Opt2Track_0"));
        QVERIFY(QTest::qWaitForWindowExposed(&f.main));
        suffixTrack1->setFocus();
        QTest::keyClick(suffixTrack1, Qt::Key_Down);
        QTest::keyClick(page->findChild<QRadioButton *>(QStringLiteral("Opt2Track_1")), Qt::Key_Down);
        QVERIFY(page->findChild<QRadioButton *>(QStringLiteral("Opt2Track_2"))->isChecked());
        QCOMPARE(suffix->text(), QStringLiteral("SUF3"));

        // "Clear All Insetion" of the suffix on track 3 empties only that slot.
        ConfigImage expected = f.working();
        page->button(QStringLiteral("Command4"))->click();
        QCOMPARE(suffix->text(), QString());
        put(expected, 69, kEmptySlot);
        QCOMPARE(f.working(), expected);
        // and the prefix's on track 2 only its slot
        page->button(QStringLiteral("cmd68_69"))->click();
        put(expected, 45, kEmptySlot);
        QCOMPARE(f.working(), expected);

        // Reopening starts on track 1 again.
        QVERIFY(f.close(Page::ReaderMisc));
        page = f.open(Page::ReaderMisc);
        QVERIFY(page);
        QCOMPARE(qobject_cast<ReaderMiscellaneousPage *>(page)->trackGroup(true)->checkedId(), 0);
        QCOMPARE(qobject_cast<ReaderMiscellaneousPage *>(page)->trackGroup(false)->checkedId(), 0);
        QCOMPARE(page->findChild<QLineEdit *>(QStringLiteral("txt694"))->text(), QStringLiteral("PRE1"));
    }

    // A slot spelling {CR} literally becomes the single code 13 when the page opens.
    void braceSpellingAtOpen()
    {
        test::PageFixture f;
        put(f.working(), 37, QByteArray("{cr }\xff\xff\xff", 8));
        QVERIFY(f.open(Page::ReaderMisc));
        QCOMPARE(bytesOf(f.working(), 37, 8), QByteArray::fromHex("0dffffffffffffff"));
    }

    // The picker in reader mode inserts into this page's box at its caret and
    // gives the focus back to it.
    void pickerFillsReaderBox()
    {
        test::PageFixture f;
        put(f.working(), 61, QByteArray("AB\xff\xff\xff\xff\xff\xff", 8));
        SettingPage *page = f.open(Page::ReaderMisc);
        QVERIFY(page);
        page->tabStrip()->setCurrentIndex(1);
        QVERIFY(QTest::qWaitForWindowExposed(&f.main));
        page->findChild<QRadioButton *>(QStringLiteral("Opt1Track_2"))->click();
        auto *prefix = page->findChild<QLineEdit *>(QStringLiteral("txt694"));
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
        page->button(QStringLiteral("Command3"))->click();
        QVERIFY(ran);
        QVERIFY(f.t.state.ctrlKeyTarget);
        QCOMPARE(prefix->text(), QStringLiteral("A{ESC}B"));
        QCOMPARE(bytesOf(f.working(), 61, 8), QByteArray::fromHex("411b42ffffffffff"));
        QCOMPARE(prefix->window()->focusWidget(), prefix);
    }
};

QTEST_MAIN(TestReaderMiscellaneousPage)
#include "tst_readermiscellaneouspage.moc"
