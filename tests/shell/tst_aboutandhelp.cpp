#include "ShellFixture.h"

#include "shell/AboutWindow.h"
#include "shell/HelpWindow.h"
#include "shell/SystemInfo.h"

#include <QDialog>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBrowser>
#include <QTreeWidget>

using namespace q5n;
using namespace q5n::test;

namespace {
QString labelText(QWidget *w, const char *name)
{
    auto *label = w->findChild<QLabel *>(QLatin1String(name));
    return label ? label->text() : QStringLiteral("<missing %1>").arg(QLatin1String(name));
}

void makeExecutable(const QString &path)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\nexit 0\n");
    file.close();
    QVERIFY(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
}
} // namespace

class TestAboutAndHelp : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QApplication::setApplicationVersion(QStringLiteral("4.5.6")); }

    // Over ssh there is no display: the options that only print still work.
    void printsWithoutDisplay_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("begins");
        const QString usage = QStringLiteral("Usage: ");
        QTest::newRow("--version") << QStringList{"--version"} << QStringLiteral("q5ncfg " Q5N_VERSION "\n");
        QTest::newRow("-v") << QStringList{"-v"} << QStringLiteral("q5ncfg " Q5N_VERSION "\n");
        QTest::newRow("--help") << QStringList{"--help"} << usage;
        QTest::newRow("-h after a file") << QStringList{"site.cfg", "-h"} << usage;
        QTest::newRow("--help beside a Qt option") << QStringList{"-reverse", "--help"} << usage;
    }
    void printsWithoutDisplay()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, begins);
        QProcess run;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(QLatin1String(name));
        run.setProcessEnvironment(environment);
        run.start(QCoreApplication::applicationDirPath() + "/../src/q5ncfg", arguments);
        QVERIFY(run.waitForFinished(30000));
        const QString out = QString::fromLocal8Bit(run.readAllStandardOutput());
        QVERIFY2(run.exitStatus() == QProcess::NormalExit && run.exitCode() == 0, run.readAllStandardError().data());
        QVERIFY2(out.startsWith(begins), qPrintable(out));
        if (begins == QStringLiteral("Usage: ")) {
            QVERIFY(out.contains(QStringLiteral("Configuration utility of the Q5N bar-code decoder")));
            QVERIFY(out.contains(QStringLiteral("--version")));
        }
    }

    void aboutWindow()
    {
        ShellFixture f;
        f.main().menuAction(QStringLiteral("mnuHelpAbout"))->trigger();
        AboutWindow *about = f.main().aboutWindow();
        QVERIFY(about);
        QCOMPARE(about->objectName(), QStringLiteral("frmAbout"));
        QCOMPARE(about->windowTitle(), QStringLiteral("About This Software"));
        QVERIFY(about->isVisible());
        QVERIFY(!about->isModal());
        QVERIFY(!labelText(about, "lblTitle").isEmpty());
        QCOMPARE(labelText(about, "lblVersion"), QStringLiteral("Version 4.5.6"));
        QCOMPARE(labelText(about, "lblDescription"), QStringLiteral("For Bar Code and Magnetic Card Decoder"));
        auto *ok = about->findChild<QPushButton *>(QStringLiteral("cmdOK"));
        auto *sysInfo = about->findChild<QPushButton *>(QStringLiteral("cmdSysInfo"));
        QVERIFY(ok && sysInfo);
        QCOMPARE(ok->text(), QStringLiteral("OK"));
        QCOMPARE(sysInfo->text(), QStringLiteral("System Info..."));
        QVERIFY(ok->isDefault());
        // Not modal: the main window's commands still work.
        f.main().openPage(2);
        QCOMPARE(f.openPages(), QList<int>{2});
        QTest::mouseClick(ok, Qt::LeftButton);
        QVERIFY(!about->isVisible());
        f.main().showAbout();
        QCOMPARE(f.main().aboutWindow(), about); // one window for the run
        QVERIFY(about->isVisible());
        QVERIFY(f.ctx.prompter.messages.isEmpty());
    }

    void systemInfo_data()
    {
        QTest::addColumn<bool>("found");
        QTest::addColumn<bool>("starts");
        QTest::addColumn<bool>("unavailable");
        QTest::newRow("tool found and started") << true << true << false;
        QTest::newRow("tool found, start fails") << true << false << true;
        QTest::newRow("no tool") << false << false << true;
    }
    void systemInfo()
    {
        QFETCH(bool, found);
        QFETCH(bool, starts);
        QFETCH(bool, unavailable);
        ShellFixture f;
        QList<SystemInfoCommand> started;
        f.main().setSystemInfoLauncher(
            {[found]() -> std::optional<SystemInfoCommand> {
                 if (!found)
                     return std::nullopt;
                 return SystemInfoCommand{QStringLiteral("/opt/x/hardinfo2"), {QStringLiteral("-x")}};
             },
             [&started, starts](const SystemInfoCommand &c) {
                 started.append(c);
                 return starts;
             }});
        f.main().showAbout();
        QTest::mouseClick(f.main().aboutWindow()->findChild<QPushButton *>(QStringLiteral("cmdSysInfo")),
                          Qt::LeftButton);
        QCOMPARE(started.size(), found ? 1 : 0);
        if (found) {
            QCOMPARE(started[0].program, QStringLiteral("/opt/x/hardinfo2"));
            QCOMPARE(started[0].arguments, QStringList{QStringLiteral("-x")});
        }
        QCOMPARE(f.ctx.prompter.messages.size(), unavailable ? 1 : 0);
        if (unavailable) {
            const Prompter::Message &m = f.ctx.prompter.messages.first();
            QCOMPARE(m.text, QStringLiteral("System Information Is Unavailable At This Time"));
            QCOMPARE(m.buttons, Prompter::Buttons(Prompter::Button::Ok));
            QCOMPARE(m.icon, Prompter::Icon::None);
        }
        QVERIFY(f.main().aboutWindow()->isVisible());
    }

    void findsSystemInfoToolOnPath_data()
    {
        QTest::addColumn<QStringList>("present");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("none") << QStringList{} << QString() << QStringList{};
        QTest::newRow("only an unknown program") << QStringList{"sysinfo-viewer"} << QString() << QStringList{};
        QTest::newRow("KDE") << QStringList{"kinfocenter"} << "kinfocenter" << QStringList{};
        QTest::newRow("HardInfo preferred") << QStringList{"kinfocenter", "hardinfo"} << "hardinfo" << QStringList{};
        QTest::newRow("GNOME settings at its overview")
            << QStringList{"gnome-control-center"} << "gnome-control-center" << QStringList{"info-overview"};
    }
    void findsSystemInfoToolOnPath()
    {
        QFETCH(QStringList, present);
        QFETCH(QString, chosen);
        QFETCH(QStringList, arguments);
        QTemporaryDir dir;
        for (const QString &name : present)
            makeExecutable(dir.filePath(name));
        const std::optional<SystemInfoCommand> tool = findSystemInfoTool({dir.path()});
        QCOMPARE(tool.has_value(), !chosen.isEmpty());
        if (tool) {
            QCOMPARE(tool->program, dir.filePath(chosen));
            QCOMPARE(tool->arguments, arguments);
        }
    }

    // F1 opens the guide at the section of the window that has the focus; every
    // window has its section.
    void contextHelp_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("section");
        QTest::newRow("no page") << 0 << "MDImain";
        QTest::newRow("cfg3") << 1 << "cfg3";
        QTest::newRow("cfg4") << 2 << "cfg4";
        QTest::newRow("cfg5") << 3 << "cfg5";
        QTest::newRow("cfg6") << 4 << "cfg6";
        QTest::newRow("frmTransmit") << 5 << "frmTransmit";
        QTest::newRow("magcfg4") << 6 << "magcfg4";
        QTest::newRow("magcfg6") << 7 << "magcfg6";
        QTest::newRow("magcfg3") << 8 << "magcfg3";
        QTest::newRow("frmReadMemory") << 9 << "frmReadMemory";
    }
    void contextHelp()
    {
        QFETCH(int, page);
        QFETCH(QString, section);
        ShellFixture f;
        QWidget *focus = &f.main();
        if (page) {
            f.main().openPage(page);
            focus = f.page(page)->edit;
        }
        QTest::keyClick(focus, Qt::Key_F1);
        HelpWindow *help = f.main().helpWindow();
        QVERIFY(help);
        QVERIFY(help->isVisible());
        QVERIFY(help->hasSection(section));
        QCOMPARE(help->currentSection(), section);
        QCOMPARE(help->contents()->currentItem()->data(0, Qt::UserRole).toString(), section);
        // The page stays as it was.
        QCOMPARE(f.openPages(), page ? QList<int>{page} : QList<int>{});
    }

    void helpSectionsOfOtherWindows_data()
    {
        QTest::addColumn<QString>("window");
        QTest::newRow("test window") << "DDT";
        QTest::newRow("control key picker") << "DlgCtrl";
        QTest::newRow("About") << "frmAbout";
    }
    void helpSectionsOfOtherWindows()
    {
        QFETCH(QString, window);
        ShellFixture f;
        QDialog dialog(&f.main());
        dialog.setObjectName(window);
        auto *inner = new QLineEdit(&dialog);
        QCOMPARE(f.main().helpSectionFor(inner), window);
        f.main().helpContents();
        QVERIFY(f.main().helpWindow()->hasSection(window));
    }

    void helpContents()
    {
        ShellFixture f;
        f.main().openPage(2);
        f.main().menuAction(QStringLiteral("mnuHelpContents"))->trigger();
        HelpWindow *help = f.main().helpWindow();
        QVERIFY(help && help->isVisible());
        QCOMPARE(help->currentSection(), QString());
        QCOMPARE(help->browser()->verticalScrollBar()->value(), 0);
        // The contents list names the pages by their window titles.
        QStringList titles;
        for (const HelpWindow::Section &s : help->sections())
            titles << s.title;
        for (const char *title : {"Interface", "Communication Parameters", "Bar Codes and Others",
                                  "Miscellaneous Parameters", "Transmit", "Read Decoder Memory", "About This Software"})
            QVERIFY2(titles.contains(QLatin1String(title)), title);
        // Choosing an entry shows its section.
        help->contents()->clearSelection();
        QTreeWidgetItem *item = help->contents()->findItems(QStringLiteral("Transmit"), Qt::MatchExactly).value(0);
        QVERIFY(item);
        const QRect rect = help->contents()->visualItemRect(item);
        QTest::mouseClick(help->contents()->viewport(), Qt::LeftButton, {}, rect.center());
        QCOMPARE(help->currentSection(), QStringLiteral("frmTransmit"));
        // The help window is one for the run.
        f.main().showContextHelp(f.page(2)->edit);
        QCOMPARE(f.main().helpWindow(), help);
        QCOMPARE(help->currentSection(), QStringLiteral("cfg4"));
    }

    void search()
    {
        ShellFixture f;
        f.main().helpContents();
        HelpWindow *help = f.main().helpWindow();
        help->searchBox()->setFocus();
        QTest::keyClicks(help->searchBox(), QStringLiteral("magnet reader"));
        QTest::keyClick(help->searchBox(), Qt::Key_Return);
        QCOMPARE(help->browser()->textCursor().selectedText().toLower(), QStringLiteral("magnet reader"));
        const int first = help->browser()->textCursor().position();
        QVERIFY(help->findText(QStringLiteral("magnet reader")));
        QVERIFY(help->browser()->textCursor().position() > first);
        // Past the last one it starts again at the top.
        while (help->browser()->textCursor().position() > first)
            QVERIFY(help->findText(QStringLiteral("magnet reader")));
        QCOMPARE(help->browser()->textCursor().position(), first);

        const QTextCursor before = help->browser()->textCursor();
        QVERIFY(!help->findText(QStringLiteral("no such words here")));
        QCOMPARE(help->browser()->textCursor().position(), before.position());
        QCOMPARE(help->findChild<QLabel *>(QStringLiteral("lblSearchResult"))->text(), QStringLiteral("Not found"));
    }

    // F1 in a modal window gives a help window that can be used beside it.
    void contextHelpOverModalWindow()
    {
        ShellFixture f;
        f.main().setKrTestWindowFactory([](ProgramHost &m) -> QDialog * {
            auto *dialog = new QDialog(m.hostWindow());
            dialog->setObjectName(QStringLiteral("DDT"));
            new QLineEdit(dialog);
            return dialog;
        });
        QString section;
        bool usable = false;
        QTimer::singleShot(0, &f.main(), [&] {
            QDialog *ddt = f.main().krTestWindow();
            QTest::keyClick(ddt->findChild<QLineEdit *>(), Qt::Key_F1);
            HelpWindow *help = f.main().helpWindow();
            section = help ? help->currentSection() : QString();
            usable = help && help->isVisible() && !QApplicationPrivateBlocked(help, ddt);
            ddt->accept();
        });
        f.main().toolsKrTest();
        QCOMPARE(section, QStringLiteral("DDT"));
        QVERIFY(usable);
        // Back in the main window the guide belongs to it again.
        f.main().showContextHelp(&f.main());
        QCOMPARE(f.main().helpWindow()->parentWidget(), &f.main());
        QCOMPARE(f.main().helpWindow()->currentSection(), QStringLiteral("MDImain"));
    }

private:
    // A window is blocked by a modal window unless it is that window's descendant.
    static bool QApplicationPrivateBlocked(QWidget *window, QWidget *modal)
    {
        for (QWidget *w = window; w; w = w->parentWidget())
            if (w == modal)
                return false;
        return true;
    }
};

QTEST_MAIN(TestAboutAndHelp)
#include "tst_aboutandhelp.moc"
