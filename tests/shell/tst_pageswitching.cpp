#include "ShellFixture.h"
#include "shell/ProgramStyle.h"

#include <QStyleFactory>

using namespace q5n;
using namespace q5n::test;

class TestPageSwitching : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void pageCommands_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<bool>("readerBefore");
        QTest::addColumn<int>("before"); // page open before (0 none)
        QTest::addColumn<int>("after");  // page open after
        QTest::addColumn<int>("activePage");
        QTest::addColumn<bool>("readerMode");
        QTest::addColumn<bool>("magPressed");
        QTest::addColumn<bool>("barEnabled");

        auto row = [](const char *name, const char *command, bool readerBefore, int before, int after, int active,
                      bool reader, bool mag, bool bar) {
            QTest::newRow(name) << QString::fromLatin1(command) << readerBefore << before << after << active << reader
                                << mag << bar;
        };
        // Menu items
        row("Communication opens cfg4", "mnuConfigComm", false, 0, 2, 2, false, false, true);
        row("Communication again closes cfg4", "mnuConfigComm", false, 2, 0, 0, false, false, true);
        row("reader Communication replaces cfg4", "mnuMagComm", false, 2, 6, 6, true, true, false);
        row("reader Communication replaces cfg5", "mnuMagComm", false, 3, 6, 6, true, true, false);
        row("reader Interface from none", "mnuMagInterface", false, 0, 8, 8, true, true, false);
        row("reader Miscellaneous from magcfg3", "mnuMagMisc", true, 8, 7, 7, true, true, false);
        row("decoder Interface from magcfg3", "mnuConfigInterface", true, 8, 1, 1, false, false, true);
        row("Bar Codes from magcfg4", "mnuConfigBar", true, 6, 3, 3, false, false, true);
        row("decoder Miscellaneous from memory", "mnuConfigMisc", false, 9, 4, 4, false, false, true);
        row("Transmit keeps reader mode", "mnuConfigTransmit", true, 7, 5, 5, true, true, false);
        row("reader Transmit closes open Transmit", "mnuMagTransmit", false, 5, 0, 0, false, false, true);
        row("memory window from cfg6", "mnuToolsRDM", false, 4, 9, 9, false, false, true);
        row("memory window keeps reader mode", "mnuToolsRDM", true, 6, 9, 9, true, true, false);
        row("memory window again closes it", "mnuToolsRDM", true, 9, 0, 0, true, true, false);
        // Toolbar page buttons follow the family
        row("irm in decoder mode", "tbr_irm", false, 0, 1, 1, false, false, true);
        row("irm in reader mode", "tbr_irm", true, 0, 8, 8, true, true, false);
        row("irm on open magcfg3 closes it", "tbr_irm", true, 8, 0, 0, true, true, false);
        row("com in decoder mode", "tbr_com", false, 0, 2, 2, false, false, true);
        row("com in reader mode", "tbr_com", true, 7, 6, 6, true, true, false);
        row("bar in decoder mode", "tbr_bar", false, 0, 3, 3, false, false, true);
        row("bar in reader mode does nothing", "tbr_bar", true, 8, 8, 8, true, true, false);
        row("mis in decoder mode", "tbr_mis", false, 1, 4, 4, false, false, true);
        row("mis in reader mode", "tbr_mis", true, 0, 7, 7, true, true, false);
        row("transmit keeps reader mode", "tbr_transmit", true, 6, 5, 5, true, true, false);
        row("transmit again closes it", "tbr_transmit", false, 5, 0, 0, false, false, true);
        // "mag" toggles the family and opens the counterpart
        row("mag: cfg3 to magcfg3", "tbr_mag", false, 1, 8, 8, true, true, false);
        row("mag: cfg4 to magcfg4", "tbr_mag", false, 2, 6, 6, true, true, false);
        row("mag: cfg5 closes, nothing opens", "tbr_mag", false, 3, 0, 0, true, true, false);
        row("mag: cfg6 to magcfg6", "tbr_mag", false, 4, 7, 7, true, true, false);
        row("mag: magcfg3 to cfg3", "tbr_mag", true, 8, 1, 1, false, false, true);
        row("mag: magcfg4 to cfg4", "tbr_mag", true, 6, 2, 2, false, false, true);
        row("mag: magcfg6 to cfg6", "tbr_mag", true, 7, 4, 4, false, false, true);
        row("mag: Transmit reopened (to reader)", "tbr_mag", false, 5, 5, 5, true, true, false);
        row("mag: Transmit reopened (to decoder)", "tbr_mag", true, 5, 5, 5, false, false, true);
        row("mag: memory window closes", "tbr_mag", false, 9, 0, 0, true, true, false);
        row("mag: nothing open, to reader", "tbr_mag", false, 0, 0, 0, true, true, false);
        row("mag: nothing open, to decoder", "tbr_mag", true, 0, 0, 0, false, false, true);
    }
    void pageCommands()
    {
        QFETCH(QString, command);
        QFETCH(bool, readerBefore);
        QFETCH(int, before);
        QFETCH(int, after);
        QFETCH(int, activePage);
        QFETCH(bool, readerMode);
        QFETCH(bool, magPressed);
        QFETCH(bool, barEnabled);

        ShellFixture f;
        f.state().readerMode = readerBefore;
        f.main().showFamilyState();
        if (before)
            f.main().openPage(before);
        ShellFixture::settle();
        QCOMPARE(f.state().readerMode, readerBefore);
        QCOMPARE(f.openPages(), before ? QList<int>{before} : QList<int>{});
        QPointer<QMdiSubWindow> old = f.main().pageWindow(before);
        const int createdBefore = f.created[after];

        f.command(command);
        ShellFixture::settle();

        QCOMPARE(f.openPages(), after ? QList<int>{after} : QList<int>{});
        QCOMPARE(f.main().mdiArea()->subWindowList().size(), after ? 1 : 0);
        QCOMPARE(int(f.state().activePage), activePage);
        QCOMPARE(f.state().readerMode, readerMode);
        QCOMPARE(f.main().toolbarButton(QStringLiteral("mag"))->isChecked(), magPressed);
        QCOMPARE(f.main().toolbarButton(QStringLiteral("bar"))->isEnabled(), barEnabled);
        if (after && after != before) {
            QCOMPARE(f.created[after], createdBefore + 1);
            QVERIFY(old.isNull());
        }
        if (after && after == before && command == QLatin1String("tbr_mag")) {
            // closed and opened again: a fresh window
            QCOMPARE(f.created[after], createdBefore + 1);
            QVERIFY(old.isNull());
        }
    }

    void memoryWindowFindsItsNumberSetWhenCreated()
    {
        ShellFixture f;
        f.main().openPage(2);
        f.command(QStringLiteral("mnuToolsRDM"));
        QCOMPARE(f.activeAtCreation[9], 9);
        QCOMPARE(f.activeAtCreation[2], 0);
    }

    // However a page window goes (its own close box, its frame deleted),
    // activePage, its check mark and its family's Set All Default item follow.
    void openStateFollowsTheWindow_data()
    {
        QTest::addColumn<bool>("deleted");
        QTest::newRow("closed by its frame") << false;
        QTest::newRow("frame deleted") << true;
    }
    void openStateFollowsTheWindow()
    {
        QFETCH(bool, deleted);
        ShellFixture f;
        f.command(QStringLiteral("mnuMagComm"));
        QAction *item = f.main().menuAction(QStringLiteral("mnuMagComm"));
        QAction *setAll = f.main().menuAction(QStringLiteral("mnuMagDefault"));
        QVERIFY(item->isChecked() && !setAll->isEnabled());
        QMdiSubWindow *sub = f.main().pageWindow(6);
        if (deleted)
            delete sub;
        else
            QVERIFY(sub->close());
        ShellFixture::settle();
        QCOMPARE(int(f.state().activePage), 0);
        QVERIFY(!f.main().pageWindow(6));
        QVERIFY(!item->isChecked());
        QVERIFY(setAll->isEnabled());
    }

    void startsInDecoderState()
    {
        ShellFixture f;
        f.main().startUp();
        QVERIFY(!f.state().readerMode);
        QVERIFY(!f.main().toolbarButton(QStringLiteral("mag"))->isChecked());
        QVERIFY(f.main().toolbarButton(QStringLiteral("bar"))->isEnabled());
        QVERIFY(f.openPages().isEmpty());
    }

    // A window that is busy (an exchange waits) refuses to close; the page
    // commands then leave it open and open nothing beside it.
    void busyPageStaysOpen_data()
    {
        QTest::addColumn<int>("busyPage");
        QTest::addColumn<QString>("command");
        QTest::newRow("Transmit, then Interface") << 5 << QStringLiteral("mnuConfigInterface");
        QTest::newRow("memory, then reader Communication") << 9 << QStringLiteral("mnuMagComm");
        QTest::newRow("Transmit, then mag") << 5 << QStringLiteral("tbr_mag");
        QTest::newRow("memory, then Transmit") << 9 << QStringLiteral("mnuConfigTransmit");
        QTest::newRow("memory, then its own command") << 9 << QStringLiteral("mnuToolsRDM");
    }
    void busyPageStaysOpen()
    {
        QFETCH(int, busyPage);
        QFETCH(QString, command);
        ShellFixture f;
        f.main().openPage(busyPage);
        f.page(busyPage)->busy = true;
        f.command(command);
        ShellFixture::settle();
        QCOMPARE(f.openPages(), QList<int>{busyPage});
        QCOMPARE(int(f.state().activePage), busyPage);
        QCOMPARE(f.main().toolbarButton(QStringLiteral("mag"))->isChecked(), f.state().readerMode);
        // No setting page opened, so no setting page's item carries a check
        // mark (choosing a checkable item must not leave one behind).
        for (const char *item : {"mnuConfigInterface", "mnuConfigComm", "mnuConfigBar", "mnuConfigMisc",
                                 "mnuMagInterface", "mnuMagComm", "mnuMagMisc"})
            QVERIFY2(!f.main().menuAction(QLatin1String(item))->isChecked(), item);
    }

    // A command whose window is not part of the program is disabled until a
    // factory is registered for it.
    void commandsFollowRegisteredPages()
    {
        ShellFixture f(/*pages*/ false);
        MainWindow &m = f.main();
        const QStringList pageItems = {"mnuConfigInterface", "mnuConfigComm",   "mnuConfigBar",  "mnuConfigMisc",
                                       "mnuConfigTransmit",  "mnuMagInterface", "mnuMagComm",    "mnuMagMisc",
                                       "mnuMagTransmit",     "mnuToolsRDM",     "mnuToolsKRtest"};
        for (const QString &name : pageItems)
            QVERIFY2(!m.menuAction(name)->isEnabled(), qPrintable(name));
        for (const char *key : {"irm", "com", "bar", "mis", "transmit", "krtest"})
            QVERIFY2(!m.toolbarButton(QLatin1String(key))->isEnabled(), key);
        for (const char *key : {"new", "open", "save", "mag"})
            QVERIFY2(m.toolbarButton(QLatin1String(key))->isEnabled(), key);
        for (const char *name : {"mnuFileNew", "mnuConfigDefault", "mnuMagDefault", "mnuHelpContents", "mnuHelpAbout"})
            QVERIFY2(m.menuAction(QLatin1String(name))->isEnabled(), name);

        m.registerPage(2, [](ProgramHost &mw) -> PageWindow * { return new StandInPage(mw, 2); });
        QVERIFY(m.menuAction(QStringLiteral("mnuConfigComm"))->isEnabled());
        QVERIFY(!m.menuAction(QStringLiteral("mnuMagComm"))->isEnabled());
        QVERIFY(m.toolbarButton(QStringLiteral("com"))->isEnabled());
        // In reader mode "com" would open magcfg4, which is not there.
        f.command(QStringLiteral("tbr_mag"));
        QVERIFY(!m.toolbarButton(QStringLiteral("com"))->isEnabled());
        f.command(QStringLiteral("tbr_mag"));
        QVERIFY(m.toolbarButton(QStringLiteral("com"))->isEnabled());

        // A page command without a window changes nothing.
        m.openPage(8);
        QVERIFY(!f.state().readerMode);
        QCOMPARE(int(f.state().activePage), 0);

        m.setKrTestWindowFactory([](ProgramHost &) { return nullptr; });
        QVERIFY(m.menuAction(QStringLiteral("mnuToolsKRtest"))->isEnabled());
        QVERIFY(m.toolbarButton(QStringLiteral("krtest"))->isEnabled());
    }

    void keyboardShortcutsOpenPages_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("page");
        QTest::newRow("Ctrl+F3") << int(Qt::Key_F3) << 1;
        QTest::newRow("Ctrl+F4") << int(Qt::Key_F4) << 2;
        QTest::newRow("Ctrl+F5") << int(Qt::Key_F5) << 3;
        QTest::newRow("Ctrl+F6") << int(Qt::Key_F6) << 4;
    }
    void keyboardShortcutsOpenPages()
    {
        QFETCH(int, key);
        QFETCH(int, page);
        ShellFixture f;
        f.main().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&f.main()));
        QTest::keyClick(&f.main(), Qt::Key(key), Qt::ControlModifier);
        QCOMPARE(f.openPages(), QList<int>{page});
        // From inside the page the shortcut of the open page closes it.
        f.page(page)->edit->setFocus();
        QTest::keyClick(f.page(page)->edit, Qt::Key(key), Qt::ControlModifier);
        ShellFixture::settle();
        QVERIFY(f.openPages().isEmpty());
    }

    // Ctrl+A (Save As) and Ctrl+X (Exit) are window shortcuts, but a text box
    // with the focus keeps them as select-all and cut.
    void textBoxKeepsCtrlAAndCtrlX()
    {
        ShellFixture f;
        f.main().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&f.main()));
        f.main().openPage(1);
        QLineEdit *edit = f.page(1)->edit;
        edit->setFocus();
        QVERIFY(edit->hasFocus());
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(edit->selectedText(), QStringLiteral("some text"));
        QTest::keyClick(edit, Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(edit->text(), QString());
        QVERIFY(f.ctx.prompter.fileRequests.isEmpty());
        QVERIFY(f.ctx.prompter.messages.isEmpty());
        QVERIFY(f.main().isVisible());

        // Without a text box in focus the same keys are the file commands.
        f.main().closePage(1);
        ShellFixture::settle();
        f.main().setFocus();
        QTest::keyClick(&f.main(), Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(f.ctx.prompter.fileRequests.size(), 1);
        QVERIFY(f.ctx.prompter.fileRequests.first().save);
        f.ctx.prompter.answers.enqueue(Prompter::Button::Cancel);
        QTest::keyClick(&f.main(), Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(f.ctx.prompter.messages.size(), 1);
        QCOMPARE(f.ctx.prompter.messages.first().text, QStringLiteral("Do you want to save your file?"));
    }

    // The program's style over the one beneath it (as the platform, -style or
    // QT_STYLE_OVERRIDE chose it): a page window looks the same, its title
    // bar's icons are one icon for every window (a new one per paint filled
    // Qt's pixmap cache), and they are the icons of the style now beneath,
    // not of the one it was put over before.
    void titleBarIconsSharedAndDrawnAsBefore_data()
    {
        QTest::addColumn<QString>("style");
        QTest::addColumn<QString>("styleBefore");
        QTest::addColumn<QString>("sheet"); // the application's style sheet (-stylesheet)
        QTest::newRow("Fusion") << QStringLiteral("Fusion") << QStringLiteral("Windows") << QString();
        QTest::newRow("Windows") << QStringLiteral("Windows") << QStringLiteral("Fusion") << QString();
        QTest::newRow("Fusion under a style sheet")
            << QStringLiteral("Fusion") << QStringLiteral("Windows")
            << QStringLiteral("QMdiSubWindow { background: #ccf; } QLineEdit { color: red; }");
    }
    void titleBarIconsSharedAndDrawnAsBefore()
    {
        QFETCH(QString, style);
        QFETCH(QString, styleBefore);
        QFETCH(QString, sheet);
        const QStyle::StandardPixmap titleBar[] = {QStyle::SP_TitleBarMenuButton, QStyle::SP_TitleBarMinButton,
                                                   QStyle::SP_TitleBarMaxButton, QStyle::SP_TitleBarCloseButton,
                                                   QStyle::SP_TitleBarNormalButton};
        QApplication::setStyle(styleBefore);
        installProgramStyle();
        for (QStyle::StandardPixmap icon : titleBar)
            QApplication::style()->standardIcon(icon).pixmap(16);
        QApplication::setStyle(style);
        qApp->setStyleSheet(sheet);
        const auto noSheet = qScopeGuard([] { qApp->setStyleSheet(QString()); });

        ShellFixture f;
        f.main().openPage(2);
        QMdiSubWindow *first = f.main().pageWindow(2);
        const QImage plain = first->grab().toImage();
        installProgramStyle();
        if (sheet.isEmpty())
            QVERIFY(qobject_cast<SharedIconStyle *>(QApplication::style()));
        else // the sheet stays over the program's style
            QCOMPARE(qApp->styleSheet(), sheet);
        QCOMPARE(first->grab().toImage(), plain);

        QHash<int, qint64> firstIcons;
        for (QStyle::StandardPixmap icon : titleBar)
            firstIcons[icon] = first->style()->standardIcon(icon, nullptr, first).cacheKey();
        f.main().openPage(3);
        QMdiSubWindow *second = f.main().pageWindow(3);
        QVERIFY(second && second != first);
        const std::unique_ptr<QStyle> base(QStyleFactory::create(style));
        for (QStyle::StandardPixmap icon : titleBar) {
            const QIcon drawn = second->style()->standardIcon(icon, nullptr, second);
            QCOMPARE(drawn.cacheKey(), firstIcons[icon]);
            QCOMPARE(drawn.pixmap(16).toImage(), base->standardIcon(icon, nullptr, second).pixmap(16).toImage());
        }
    }
};

QTEST_MAIN(TestPageSwitching)
#include "tst_pageswitching.moc"
