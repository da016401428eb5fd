#include "ShellFixture.h"

#include "model/Defaults.h"

#include <QDialog>
#include <QMenu>
#include <QMenuBar>

using namespace q5n;
using namespace q5n::test;

namespace {
using B = Prompter::Button;
const QString kTitle = QStringLiteral("Configuration Setup");
const QString kChanged = QStringLiteral("Configuration had been changed,do you want to save your file?");
const QString kExit = QStringLiteral("Do you want to save your file?");

// A started main window whose working image differs from the defaults in
// both sections when `changed`.
struct Started : ShellFixture
{
    explicit Started(bool changed)
    {
        main().startUp();
        ctx.prompter.messages.clear(); // the port I/O start-up message
        if (changed) {
            state().workingImage[3] = 0x11;
            state().workingImage[40] = 0x22;
        }
    }
};
} // namespace

class TestShellCommands : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void menuItems_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QKeySequence>("shortcut");
        auto row = [](const char *name, const char *caption, QKeySequence keys = {}) {
            QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(caption) << keys;
        };
        row("mnuFile", "&File");
        row("mnuFileNew", "&New", QKeySequence(Qt::CTRL | Qt::Key_N));
        row("mnuFileOpen", "&Open...", QKeySequence(Qt::CTRL | Qt::Key_O));
        row("mnuFileSave", "&Save", QKeySequence(Qt::CTRL | Qt::Key_S));
        row("mnuFileSaveAs", "Save &As...", QKeySequence(Qt::CTRL | Qt::Key_A));
        row("mnuFileDefault", "Save As &Default");
        row("mnuFileExit", "E&xit", QKeySequence(Qt::CTRL | Qt::Key_X));
        row("mnuConfig", "&Bar_Decoder");
        row("mnuConfigInterface", "&Interface", QKeySequence(Qt::CTRL | Qt::Key_F3));
        row("mnuConfigComm", "&Communication", QKeySequence(Qt::CTRL | Qt::Key_F4));
        row("mnuConfigBar", "&Bar Codes and Others", QKeySequence(Qt::CTRL | Qt::Key_F5));
        row("mnuConfigMisc", "&Miscellaneous", QKeySequence(Qt::CTRL | Qt::Key_F6));
        row("mnuConfigDefault", "&Set All Default");
        row("mnuConfigTransmit", "Transmit");
        row("mnuMag", "&Magnic_Reader");
        row("mnuMagInterface", "&Interface");
        row("mnuMagComm", "&Communication");
        row("mnuMagMisc", "&Miscellaneous");
        row("mnuMagDefault", "&Set All Default");
        row("mnuMagTransmit", "Transmit");
        row("mnuTools", "&Tools");
        row("mnuToolsRDM", "&Read Decoder Memory");
        row("mnuToolsKRtest", "&KR Test");
        row("mnuToolsCompareFile", "Compare with &File...");
        row("mnuToolsCompareDecoder", "Compare with &Decoder");
        row("mnuToolsPrint", "&Print Settings...");
        row("mnuToolsFind", "F&ind Decoder...");
        row("mnuHelp", "&Help");
        row("mnuHelpContents", "&Contents");
        row("mnuHelpAbout", "&About");
    }
    void menuItems()
    {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(QKeySequence, shortcut);
        ShellFixture f;
        QAction *a = f.main().menuAction(name);
        QVERIFY(a);
        QCOMPARE(a->text(), caption);
        QCOMPARE(a->shortcut(), shortcut);
        QCOMPARE(a->shortcuts().size(), shortcut.isEmpty() ? 0 : 1);
    }

    // Each menu's items in order; "-name" is a separator with that name.
    void menuOrder_data()
    {
        QTest::addColumn<QString>("menu");
        QTest::addColumn<QStringList>("items");
        QTest::newRow("File") << "mnuFile"
                              << QStringList{"mnuFileNew",     "mnuFileOpen", "mnuFileSave", "mnuFileSaveAs",
                                             "mnuFileDefault", "-mnuMinus",   "mnuFileExit"};
        QTest::newRow("Bar_Decoder") << "mnuConfig"
                                     << QStringList{"mnuConfigInterface", "mnuConfigComm",    "mnuConfigBar",
                                                    "mnuConfigMisc",      "-mnuMinus1",       "mnuConfigDefault",
                                                    "-mnuMinus2",         "mnuConfigTransmit"};
        QTest::newRow("Magnic_Reader") << "mnuMag" << QStringList{"mnuMagInterface", "mnuMagComm",    "mnuMagMisc",
                                                                  "-mnuMagMinus1",   "mnuMagDefault", "-mnuMagMinus2",
                                                                  "mnuMagTransmit"};
        QTest::newRow("Tools") << "mnuTools"
                               << QStringList{"mnuToolsRDM",         "mnuToolsKRtest",         "-mnuToolsMinus1",
                                              "mnuToolsCompareFile", "mnuToolsCompareDecoder", "mnuToolsPrint",
                                              "mnuToolsFind"};
        QTest::newRow("Help") << "mnuHelp" << QStringList{"mnuHelpContents", "mnuHelpAbout"};
    }
    void menuOrder()
    {
        QFETCH(QString, menu);
        QFETCH(QStringList, items);
        ShellFixture f;
        auto *m = f.main().findChild<QMenu *>(menu);
        QVERIFY(m);
        QStringList actual;
        for (QAction *a : m->actions())
            actual << (a->isSeparator() ? QStringLiteral("-") : QString()) + a->objectName();
        QCOMPARE(actual, items);
    }
    void menuBarOrder()
    {
        ShellFixture f;
        QStringList names;
        for (QAction *a : f.main().menuBar()->actions())
            names << a->objectName();
        QCOMPARE(names, (QStringList{"mnuFile", "mnuConfig", "mnuMag", "mnuTools", "mnuHelp"}));
    }

    void toolbar()
    {
        ShellFixture f;
        QCOMPARE(f.main().toolBar()->objectName(), QStringLiteral("Toolbar1"));
        struct Button
        {
            const char *key;
            const char *tooltip;
        };
        const QList<Button> expected = {
            {"new", "New File"},
            {"open", "Open File"},
            {"save", "Save File"},
            {nullptr, nullptr},
            {"irm", "Interface and Reading Mode"},
            {"com", "Communication Parameters"},
            {"bar", "Bar Codes and Others"},
            {"mis", "Miscellaneous Parameters"},
            {"transmit", "Transmit"},
            {nullptr, nullptr},
            {"mag", "Magnet Reader"},
            {nullptr, nullptr},
            {"krtest", "Keyboard & RS232 Test"},
        };
        const QList<QAction *> actions = f.main().toolBar()->actions();
        QCOMPARE(actions.size(), expected.size());
        for (int i = 0; i < expected.size(); ++i) {
            QAction *a = actions[i];
            if (!expected[i].key) {
                QVERIFY2(a->isSeparator(), qPrintable(QString::number(i)));
                continue;
            }
            const QString key = QLatin1String(expected[i].key);
            QCOMPARE(a->data().toString(), key);
            QCOMPARE(a->objectName(), QStringLiteral("tbr_") + key);
            QCOMPARE(a->toolTip(), QLatin1String(expected[i].tooltip));
            QCOMPARE(f.main().toolBar()->widgetForAction(a)->toolTip(), QLatin1String(expected[i].tooltip));
            QCOMPARE(a->isCheckable(), key == QLatin1String("mag"));
            QVERIFY2(!a->icon().pixmap(24, 24).isNull(), expected[i].key);
        }
    }

    void toolbarFileButtons()
    {
        Started f(false);
        f.command(QStringLiteral("tbr_open"));
        QCOMPARE(f.ctx.prompter.fileRequests.size(), 1);
        QVERIFY(!f.ctx.prompter.fileRequests[0].save);
        f.command(QStringLiteral("tbr_save")); // still "New File": Save As
        QCOMPARE(f.ctx.prompter.fileRequests.size(), 2);
        QVERIFY(f.ctx.prompter.fileRequests[1].save);
        f.state().setupInfo.description = QStringLiteral("edited");
        f.ctx.prompter.answers.enqueue(B::No); // an edited text is a change
        f.command(QStringLiteral("tbr_new"));
        QCOMPARE(f.state().setupInfo.description, QStringLiteral("Your Description about this Setup"));
    }

    // New: the question only with unsaved changes; Yes saves (a cancelled
    // Save As dialog stops New like Cancel), Cancel stops.
    void fileNew_data()
    {
        QTest::addColumn<bool>("changed");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("asked");
        QTest::addColumn<bool>("saveDialog");
        QTest::addColumn<bool>("renewed");
        QTest::newRow("no changes: no question") << false << int(B::None) << false << false << true;
        QTest::newRow("changes, No") << true << int(B::No) << true << false << true;
        QTest::newRow("changes, Cancel") << true << int(B::Cancel) << true << false << false;
        QTest::newRow("changes, Yes, dialog cancelled") << true << int(B::Yes) << true << true << false;
    }
    void fileNew()
    {
        QFETCH(bool, changed);
        QFETCH(int, answer);
        QFETCH(bool, asked);
        QFETCH(bool, saveDialog);
        QFETCH(bool, renewed);
        Started f(changed);
        f.main().openPage(4);
        f.state().setupInfo.deviceName = QStringLiteral("Scanner 7");
        if (!changed)
            f.state().markSaved();
        f.state().readerMode = true; // New leaves the family alone
        f.main().showFamilyState();
        f.main().openPage(9);
        f.main().openPage(7);
        if (answer != int(B::None))
            f.ctx.prompter.answers.enqueue(B(answer));

        f.command(QStringLiteral("mnuFileNew"));
        ShellFixture::settle();

        QCOMPARE(f.ctx.prompter.messages.size(), asked ? 1 : 0);
        if (asked) {
            const Prompter::Message &m = f.ctx.prompter.messages.first();
            QCOMPARE(m.title, kTitle);
            QCOMPARE(m.text, kChanged);
            QCOMPARE(m.buttons, B::Yes | B::No | B::Cancel);
            QCOMPARE(m.defaultButton, B::Yes);
            QCOMPARE(m.icon, Prompter::Icon::None);
        }
        QCOMPARE(f.ctx.prompter.fileRequests.size(), saveDialog ? 1 : 0);
        QVERIFY(f.state().readerMode);
        if (renewed) {
            QCOMPARE(f.state().workingImage, f.state().defaultImage);
            QCOMPARE(f.state().savedImage, f.state().defaultImage);
            QCOMPARE(f.state().setupInfo.deviceName, QStringLiteral("Device Name"));
            QCOMPARE(f.state().setupInfo.userName, QStringLiteral("User's Name"));
            QCOMPARE(f.state().setupInfo.description, QStringLiteral("Your Description about this Setup"));
            QCOMPARE(f.state().setupInfo.fileName, QStringLiteral("New File"));
            QCOMPARE(f.main().windowTitle(), QStringLiteral("Configuration Setup: New File"));
            QVERIFY(f.openPages().isEmpty());
            QCOMPARE(int(f.state().activePage), 0);
        } else {
            QCOMPARE(int(f.state().workingImage[3]), 0x11);
            QCOMPARE(f.state().setupInfo.deviceName, QStringLiteral("Scanner 7"));
            QCOMPARE(f.openPages(), QList<int>{7});
        }
    }

    void newLeavesMemoryWindowOpen()
    {
        Started f(false);
        f.main().openPage(9);
        f.command(QStringLiteral("mnuFileNew"));
        ShellFixture::settle();
        QCOMPARE(f.openPages(), QList<int>{9});
        QCOMPARE(int(f.state().activePage), 9);
    }

    // Exit always asks; No or a finished Yes closes, and the closing asks
    // again only while unsaved changes remain.
    void fileExit_data()
    {
        QTest::addColumn<bool>("changed");
        QTest::addColumn<QList<int>>("answers");
        QTest::addColumn<QStringList>("questions");
        QTest::addColumn<bool>("closed");
        QTest::newRow("no changes, No") << false << QList<int>{int(B::No)} << QStringList{kExit} << true;
        QTest::newRow("no changes, Cancel") << false << QList<int>{int(B::Cancel)} << QStringList{kExit} << false;
        QTest::newRow("changes, No, then No")
            << true << QList<int>{int(B::No), int(B::No)} << QStringList{kExit, kChanged} << true;
        QTest::newRow("changes, No, then Cancel")
            << true << QList<int>{int(B::No), int(B::Cancel)} << QStringList{kExit, kChanged} << false;
        QTest::newRow("changes, Yes, dialog cancelled: stays")
            << true << QList<int>{int(B::Yes)} << QStringList{kExit} << false;
    }
    void fileExit()
    {
        QFETCH(bool, changed);
        QFETCH(QList<int>, answers);
        QFETCH(QStringList, questions);
        QFETCH(bool, closed);
        Started f(changed);
        f.main().openPage(2);
        for (int a : answers)
            f.ctx.prompter.answers.enqueue(B(a));

        f.command(QStringLiteral("mnuFileExit"));
        ShellFixture::settle();

        QStringList asked;
        for (const Prompter::Message &m : f.ctx.prompter.messages) {
            asked << m.text;
            QCOMPARE(m.title, kTitle);
            QCOMPARE(m.buttons, B::Yes | B::No | B::Cancel);
            QCOMPARE(m.defaultButton, B::Yes);
            QCOMPARE(m.icon, Prompter::Icon::None);
        }
        QCOMPARE(asked, questions);
        QCOMPARE(f.main().isVisible(), !closed);
        if (closed)
            QCOMPARE(f.ctx.portIo.shutdownCalls(), 1);
    }

    void setAllDefault_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("first"); // section reset on Yes
        QTest::addColumn<int>("last");
        const QString decoder = QStringLiteral("Are you sure to set all to default values for Bar Decoder?");
        const QString reader = QStringLiteral("Are you sure to set all to default values for Magnet Reader?");
        QTest::newRow("decoder, Yes") << "mnuConfigDefault" << decoder << int(B::Yes) << 0 << 24;
        QTest::newRow("decoder, No") << "mnuConfigDefault" << decoder << int(B::No) << -1 << -1;
        QTest::newRow("decoder, default answer") << "mnuConfigDefault" << decoder << int(B::None) << -1 << -1;
        QTest::newRow("reader, Yes") << "mnuMagDefault" << reader << int(B::Yes) << 25 << 84;
        QTest::newRow("reader, No") << "mnuMagDefault" << reader << int(B::No) << -1 << -1;
    }
    void setAllDefault()
    {
        QFETCH(QString, item);
        QFETCH(QString, text);
        QFETCH(int, answer);
        QFETCH(int, first);
        QFETCH(int, last);
        Started f(false);
        for (int i = 0; i < kImageSize; ++i)
            f.state().workingImage[i] = quint8(i ^ 0x5A);
        const ConfigImage before = f.state().workingImage;
        if (answer != int(B::None))
            f.ctx.prompter.answers.enqueue(B(answer));

        f.command(item);

        QCOMPARE(f.ctx.prompter.messages.size(), 1);
        const Prompter::Message &m = f.ctx.prompter.messages.first();
        QCOMPARE(m.title, kTitle);
        QCOMPARE(m.text, text);
        QCOMPARE(m.buttons, B::Yes | B::No);
        QCOMPARE(m.defaultButton, B::No);
        QCOMPARE(m.icon, Prompter::Icon::Exclamation);
        for (int i = 0; i < kImageSize; ++i) {
            const bool reset = i >= first && i <= last;
            QCOMPARE(f.state().workingImage[i], reset ? f.state().defaultImage[i] : before[i]);
        }
        QVERIFY(f.state().hasUnsavedChanges());
    }

    // The page contract keeps Set All Default unavailable while a page of its
    // family is open; closing the page gives it back.
    void setAllDefaultUnavailableWhilePageOpen()
    {
        ShellFixture f;
        QAction *decoder = f.main().menuAction(QStringLiteral("mnuConfigDefault"));
        QAction *reader = f.main().menuAction(QStringLiteral("mnuMagDefault"));
        f.main().openPage(5);
        QVERIFY(!decoder->isEnabled());
        QVERIFY(reader->isEnabled());
        f.command(QStringLiteral("tbr_mag")); // Transmit reopened
        ShellFixture::settle();
        QVERIFY(!decoder->isEnabled());
        f.main().openPage(6);
        ShellFixture::settle();
        QVERIFY(decoder->isEnabled());
        QVERIFY(!reader->isEnabled());
        QVERIFY(f.main().menuAction(QStringLiteral("mnuMagComm"))->isChecked());
        f.main().closeActivePage();
        ShellFixture::settle();
        QVERIFY(reader->isEnabled());
        QVERIFY(!f.main().menuAction(QStringLiteral("mnuMagComm"))->isChecked());
    }

    void krTest()
    {
        ShellFixture f;
        f.main().openPage(4);
        int made = 0;
        bool wasModal = false;
        int activeWhileShown = -1;
        f.main().setKrTestWindowFactory([&](ProgramHost &m) -> QDialog * {
            ++made;
            auto *dialog = new QDialog(m.hostWindow());
            dialog->setObjectName(QStringLiteral("DDT"));
            return dialog;
        });
        for (int i = 0; i < 2; ++i) {
            QTimer::singleShot(0, &f.main(), [&] {
                QDialog *d = f.main().krTestWindow();
                wasModal = d && d->isModal() && QApplication::activeModalWidget() == d;
                activeWhileShown = f.state().activePage;
                d->reject();
            });
            f.command(i == 0 ? QStringLiteral("mnuToolsKRtest") : QStringLiteral("tbr_krtest"));
            QVERIFY(wasModal);
            QCOMPARE(activeWhileShown, 4);
        }
        QCOMPARE(made, 1); // one window for the run
        QCOMPARE(f.openPages(), QList<int>{4});
        QCOMPARE(int(f.state().activePage), 4);
    }
};

QTEST_MAIN(TestShellCommands)
#include "tst_shellcommands.moc"
