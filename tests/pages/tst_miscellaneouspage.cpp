// The Miscellaneous page and the Control Key picker it opens.
#include "model/PageTable.h"
#include "pages/decoder/ControlKeyPicker.h"
#include "shell/PageWindow.h"
#include "support/PageTest.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
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
        out.append(char(image.at(first + k)));
    return out;
}

QLineEdit *edit(QWidget *page, const char *name)
{
    return page->findChild<QLineEdit *>(QString::fromLatin1(name));
}

} // namespace

class TestMiscellaneousPage : public test::PageTest
{
    Q_OBJECT
    test::PageTables tables() const override
    {
        const QString front = QStringLiteral("cboTruncate1"), end = QStringLiteral("CboTruncate2"),
                      set62 = QStringLiteral("cmdDefault62");
        test::PageTables t{
            Page::DecoderMisc,
            {
                {QStringLiteral("opt61"), QStringLiteral("US English")},
                {QStringLiteral("chk62"), QStringLiteral("clear")},
                {front, QStringLiteral("0")},
                {end, QStringLiteral("0")},
                {QStringLiteral("txt694"), QString()},
                {QStringLiteral("txt693"), QString()},
            },
            {
                {"Reserved 2 keeps baud and terminal", QStringLiteral("opt61_15"), Act::Click, {}, 16, 0x08, 0xF8},
                {"Hungarian by Space", QStringLiteral("opt61_8"), Act::Space, {}, 16, 0x0B, 0x8B},
                {"code ID on", QStringLiteral("chk62"), Act::AccessToggle, {}, 22, 0x22, 0x26},
                {"code ID space", QStringLiteral("txt62_3"), Act::Type, QStringLiteral(" "), 3, 0x44, 0x20},
                {"code ID letter", QStringLiteral("txt62_7"), Act::Type, QStringLiteral("z"), 7, 0x48, 0x7A},
                {"front count picked", front, Act::Pick, QStringLiteral("9"), 17, 0x03, 0x93},
                {"front count typed", front, Act::Type, QStringLiteral("12"), 17, 0x03, 0xC3},
                {"end count 15", end, Act::Type, QStringLiteral("15"), 17, 0x90, 0x9F},
                {"end count 16 refused after the 1", end, Act::Type, QStringLiteral("16"), 17, 0x90, 0x91},
                {"a sign is refused", front, Act::Type, QStringLiteral("-1"), 17, 0x05, 0x15},
                {"truncation Clear All", QStringLiteral("Command1"), Act::Click, {}, 17, 0x93, 0x00},
                {"truncation Clear All by accessibility",
                 QStringLiteral("Command1"),
                 Act::AccessPress,
                 {},
                 17,
                 0x93,
                 0x00},
            },
            {
                {"language", QStringLiteral("cmdDefault61"), 16, 0x08, 0x58, 0x08},
                {"code ID switch", set62, 22, 0x22, 0x26, 0x22},
                {"code ID character", set62, 0, 0x41, 0x5A, 0x41},
                {"code ID default 0 leaves the box empty", set62, 3, 0x00, 0x44, 0x00},
                {"code ID default control code stores 0", set62, 5, 0x07, 0x46, 0x00},
            }};
        for (int i = 0; i < 8; ++i)
            t.factoryDisplay.push_back({QStringLiteral("txt62_%1").arg(i), QString(QChar('A' + i))});
        return t;
    }

private Q_SLOTS:
    void tabs()
    {
        test::PageFixture f;
        SettingPage *page = f.open(Page::DecoderMisc);
        QVERIFY(page);
        QTabBar *tabs = page->findChild<QTabBar *>(QStringLiteral("TabCFG3"));
        QVERIFY(tabs);
        const std::pair<const char *, const char *> expected[] = {
            {"&Language", "Language Selection"},
            {"Code &ID", "Define Bar Code ID"},
            {"Characters &Edit", "Deleting and Inserting Edit For Output Characters"}};
        QCOMPARE(tabs->count(), 3);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(tabs->tabText(i), QString::fromLatin1(expected[i].first));
            QCOMPARE(tabs->tabToolTip(i), QString::fromLatin1(expected[i].second));
        }
    }

    void codeIdTakesOneCharacter()
    {
        test::PageFixture f;
        SettingPage *page = f.open(Page::DecoderMisc);
        QLineEdit *box = edit(page, "txt62_2");
        test::showFrameOf(*page, box);
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

    // Typing into the insertion boxes stores the notation's bytes; the other box stays.
    void insertionBoxes_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QByteArray>("bytes"); // bytes 8..15 afterwards
        QTest::newRow("STX then A") << "txt694"
                                    << "{STX}A" << QByteArray::fromHex("0241FFFFFFFFFFFF");
        QTest::newRow("names in lower case") << "txt693"
                                             << "{cr}{lf}" << QByteArray::fromHex("FFFFFFFF0D0AFFFF");
        QTest::newRow("five letters keep four") << "txt694"
                                                << "ABCDE" << QByteArray::fromHex("41424344FFFFFFFF");
        QTest::newRow("no name") << "txt693"
                                 << "{F1}" << QByteArray::fromHex("FFFFFFFF7B46317D");
    }
    void insertionBoxes()
    {
        QFETCH(QString, box);
        QFETCH(QString, typed);
        QFETCH(QByteArray, bytes);
        test::PageFixture f;
        SettingPage *page = f.open(Page::DecoderMisc);
        auto *e = page->findChild<QLineEdit *>(box);
        test::showFrameOf(*page, e);
        e->setFocus();
        QTest::keyClicks(e, typed);
        QCOMPARE(e->text(), typed); // the box keeps what was typed
        QCOMPARE(bytesOf(f.working(), 8, 8).toHex(' '), bytes.toHex(' '));
    }

    void clearAllInsetion_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("prefix") << "cmd68_69" << QByteArray::fromHex("FFFFFFFF414243FF");
        QTest::newRow("suffix") << "Command4" << QByteArray::fromHex("41424344FFFFFFFF");
    }
    void clearAllInsetion()
    {
        QFETCH(QString, button);
        QFETCH(QByteArray, bytes);
        test::PageFixture f;
        put(f.working(), 8, QByteArray::fromHex("41424344414243FF"));
        SettingPage *page = f.open(Page::DecoderMisc);
        const ConfigImage opened = f.working();
        page->button(button)->click();
        QCOMPARE(bytesOf(f.working(), 8, 8).toHex(' '), bytes.toHex(' '));
        QCOMPARE(edit(page, "txt694")->text(),
                 button == QLatin1String("cmd68_69") ? QString() : QStringLiteral("ABCD"));
        QCOMPARE(edit(page, "txt693")->text(), button == QLatin1String("Command4") ? QString() : QStringLiteral("ABC"));
        ConfigImage expected = opened;
        put(expected, 8, bytes);
        QCOMPARE(f.working(), expected);
    }

    // Opening reads every box back: only code ID bytes 1..31 and insertions
    // that the notation reads differently change.
    void showingAtOpen_data()
    {
        QTest::addColumn<int>("first");
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QByteArray>("opened");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("shows");
        QTest::newRow("code ID control code becomes 0")
            << 0 << QByteArray::fromHex("41094300") << QByteArray::fromHex("41004300") << "txt62_3"
            << "";
        QTest::newRow("bytes after 255 become 255")
            << 8 << QByteArray::fromHex("FF414243") << QByteArray::fromHex("FFFFFFFF") << "txt694"
            << "";
        QTest::newRow("brace spelling becomes its code")
            << 12 << QByteArray::fromHex("7B43527D") << QByteArray::fromHex("0DFFFFFF") << "txt693"
            << "{CR}";
        QTest::newRow("control codes and 8-bit characters stay")
            << 8 << QByteArray::fromHex("00E97BFF") << QByteArray::fromHex("00E97BFF") << "txt694"
            << QString::fromUtf8("{NUL}\u00E9{");
        QTest::newRow("counts come back unchanged")
            << 17 << QByteArray::fromHex("C7") << QByteArray::fromHex("C7") << "cboTruncate1"
            << "12";
    }
    void showingAtOpen()
    {
        QFETCH(int, first);
        QFETCH(QByteArray, stored);
        QFETCH(QByteArray, opened);
        QFETCH(QString, control);
        QFETCH(QString, shows);
        test::PageFixture f;
        put(f.working(), first, stored);
        ConfigImage expected = f.working();
        put(expected, first, opened);
        SettingPage *page = f.open(Page::DecoderMisc);
        QVERIFY(page);
        QWidget *w = page->findChild<QWidget *>(control);
        if (auto *combo = qobject_cast<QComboBox *>(w))
            QCOMPARE(combo->currentText(), shows);
        else
            QCOMPARE(qobject_cast<QLineEdit *>(w)->text(), shows);
        QCOMPARE(f.working(), expected);
        QVERIFY(f.t.prompter.messages.isEmpty());
    }

    // "CR", then "Insert Control Key" with the caret after the A of the suffix
    // box, then "Exit", all while the picker waits modally.
    void pickerInsertsIntoTheSuffix()
    {
        test::PageFixture f;
        SettingPage *page = f.open(Page::DecoderMisc);
        QLineEdit *suffix = edit(page, "txt693");
        test::showFrameOf(*page, suffix);
        suffix->setFocus();
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
            QCOMPARE(picker->findChild<QPushButton *>(QStringLiteral("btnCtrl_26"))->text(), QStringLiteral("SUB"));
            picker->findChild<QPushButton *>(QStringLiteral("btnCtrl_13"))->click();
            QCOMPARE(picker->nameBox()->text(), QStringLiteral("CR"));
            auto *insert = picker->findChild<QPushButton *>(QStringLiteral("Command1"));
            QCOMPARE(insert->text(), QStringLiteral("Insert Control Key"));
            insert->click();
            QCOMPARE(picker->nameBox()->text(), QString());
            insert->click(); // an empty name inserts nothing
            ran = true;
            auto *exit = picker->findChild<QPushButton *>(QStringLiteral("Command2"));
            QCOMPARE(exit->text(), QStringLiteral("Exit"));
            exit->click();
        });
        page->button(QStringLiteral("Command2"))->click();
        QVERIFY(ran);
        QVERIFY(!f.t.state.ctrlKeyTarget);
        QCOMPARE(suffix->text(), QStringLiteral("A{CR}"));
        QCOMPARE(bytesOf(f.working(), 8, 8).toHex(' '), QByteArray::fromHex("FFFFFFFF410DFFFF").toHex(' '));
        QCOMPARE(suffix->window()->focusWidget(), suffix);
    }

    void pickerReplacesThePrefixSelection()
    {
        test::PageFixture f;
        put(f.working(), 8, QByteArray::fromHex("41424344"));
        SettingPage *page = f.open(Page::DecoderMisc);
        QLineEdit *prefix = edit(page, "txt694");
        prefix->setSelection(1, 2); // "BC"
        QTimer::singleShot(0, [&] {
            auto *picker = qobject_cast<ControlKeyPicker *>(QApplication::activeModalWidget());
            QVERIFY(picker);
            QTest::keyClicks(picker->nameBox(), QStringLiteral("esc"));
            picker->findChild<QPushButton *>(QStringLiteral("Command1"))->click();
            // A name not in the table is inserted as typed and stored as characters.
            QTest::keyClicks(picker->nameBox(), QStringLiteral("F1"));
            picker->findChild<QPushButton *>(QStringLiteral("Command1"))->click();
            picker->close();
        });
        page->button(QStringLiteral("Command3"))->click();
        QVERIFY(f.t.state.ctrlKeyTarget);
        QCOMPARE(prefix->text(), QStringLiteral("A{esc}{F1}D"));
        QCOMPARE(bytesOf(f.working(), 8, 4).toHex(' '), QByteArray::fromHex("411B7B46").toHex(' '));
    }

    // "BC" marked in "ABCD", then "Control Keys" by a mouse click or by Tab
    // and Space (the button takes the focus either way), "CR" and "Insert
    // Control Key": the mark is replaced, on both pages and every track.
    void pickerReplacesTheMark_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("box");
        QTest::addColumn<int>("track"); // the reader page's track option clicked first, -1 none
        QTest::addColumn<int>("first");
        QTest::addColumn<bool>("byTab");
        QTest::newRow("prefix, click") << int(Page::DecoderMisc) << "txt694" << -1 << 8 << false;
        QTest::newRow("suffix, Tab and Space") << int(Page::DecoderMisc) << "txt693" << -1 << 12 << true;
        for (int t = 0; t < 3; ++t) {
            QTest::addRow("reader prefix, track %d", t + 1)
                << int(Page::ReaderMisc) << "txt694" << t << 29 + 16 * t << (t == 1);
            QTest::addRow("reader suffix, track %d", t + 1)
                << int(Page::ReaderMisc) << "txt693" << t << 37 + 16 * t << (t != 1);
        }
    }
    void pickerReplacesTheMark()
    {
        QFETCH(int, page);
        QFETCH(QString, box);
        QFETCH(int, track);
        QFETCH(int, first);
        QFETCH(bool, byTab);
        test::PageFixture f;
        put(f.working(), first, "ABCD");
        SettingPage *p = f.open(page);
        QVERIFY(QTest::qWaitForWindowActive(&f.main));
        QLineEdit *e = edit(p, qPrintable(box));
        test::showFrameOf(*p, e);
        const bool prefix = box == QLatin1String("txt694");
        if (track >= 0)
            QTest::mouseClick(p->findChild<QWidget *>(QStringLiteral("Opt%1Track_%2").arg(prefix ? 1 : 2).arg(track)),
                              Qt::LeftButton);
        QTest::mouseClick(e, Qt::LeftButton);
        QTest::keyClick(e, Qt::Key_Home);
        QTest::keyClick(e, Qt::Key_Right);
        QTest::keyClick(e, Qt::Key_Right, Qt::ShiftModifier);
        QTest::keyClick(e, Qt::Key_Right, Qt::ShiftModifier);
        QCOMPARE(e->selectedText(), QStringLiteral("BC"));
        QTimer::singleShot(0, [] {
            QWidget *picker = QApplication::activeModalWidget();
            QVERIFY(picker && QTest::qWaitForWindowExposed(picker));
            for (const char *name : {"btnCtrl_13", "Command1", "Command2"})
                QTest::mouseClick(picker->findChild<QWidget *>(QLatin1String(name)), Qt::LeftButton);
        });
        QPushButton *keys = p->button(prefix ? QStringLiteral("Command3") : QStringLiteral("Command2"));
        if (byTab) {
            QTest::keyClick(e, Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), keys);
            QTest::keyClick(keys, Qt::Key_Space);
        } else {
            QTest::mouseClick(keys, Qt::LeftButton);
        }
        QCOMPARE(e->text(), QStringLiteral("A{CR}D"));
        QCOMPARE(bytesOf(f.working(), first, 4).toHex(' '), QByteArray("41 0d 44 ff"));
    }

    void pickerFillsTheReaderPageInReaderMode()
    {
        test::PageFixture f;
        // A stand-in for the reader's Miscellaneous page with its two boxes.
        f.main.registerPage(Page::ReaderMisc, [](ProgramHost &m) {
            auto *w = new PageWindow(m, PageWindow::definitionOf(Page::ReaderMisc));
            for (const char *name : {"txt694", "txt693"})
                (new QLineEdit(w))->setObjectName(QString::fromLatin1(name));
            return w;
        });
        QWidget *reader = f.main.showPage(Page::ReaderMisc);
        QVERIFY(reader);
        f.t.state.readerMode = true;
        f.t.state.ctrlKeyTarget = false;
        ControlKeyPicker picker(f.main);
        QCOMPARE(picker.targetBox(), edit(reader, "txt693"));
        picker.findChild<QPushButton *>(QStringLiteral("btnCtrl_9"))->click();
        picker.findChild<QPushButton *>(QStringLiteral("Command1"))->click();
        QCOMPARE(edit(reader, "txt693")->text(), QStringLiteral("{HT}"));
        QCOMPARE(edit(reader, "txt694")->text(), QString());
    }
};

QTEST_MAIN(TestMiscellaneousPage)
#include "tst_miscellaneouspage.moc"
