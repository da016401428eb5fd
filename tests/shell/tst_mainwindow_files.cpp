#include "files/SetupFile.h"
#include "model/Defaults.h"
#include "model/Text8.h"
#include "platform/Paths.h"
#include "shell/MainWindow.h"
#include "shell/PageWindow.h"
#include "support/TestContext.h"

#include <QMdiSubWindow>
#include <QtTest>

#include <cerrno>
#include <cstring>
#include <pwd.h>
#include <sys/stat.h>

using namespace q5n;
using Button = Prompter::Button;

namespace {

const QString kChanged = QStringLiteral("Configuration had been changed,do you want to save your file?");

class StubPage : public PageWindow
{
public:
    StubPage(ProgramHost &m, int page) : PageWindow(m, {page, QStringLiteral("Stub")}) {}
};

struct Fixture
{
    test::TestContext t;
    MainWindow window{t.context};
    Fixture()
    {
        for (int page = 1; page <= 9; ++page)
            window.registerPage(page, [page](ProgramHost &m) { return new StubPage(m, page); });
        window.startUp();
        t.prompter.messages.clear();
    }
    void edit() { t.state.setBits(22, 0x03, 1); }
};

} // namespace

class TestMainWindowFiles : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void startUpState()
    {
        test::TestContext t;
        MainWindow window(t.context);
        bool shownBeforeMessage = true;
        t.prompter.onAsk = [&](const Prompter::Message &) { shownBeforeMessage = window.isVisible(); };
        window.startUp();
        window.show();
        QCOMPARE(t.prompter.messages.size(), 1);
        const auto &m = t.prompter.messages.front();
        QCOMPARE(m.title, QStringLiteral("Configuration Setup"));
        QCOMPARE(m.text, QStringLiteral("Keyboard port initialize error, only RS232 port is available!"));
        QCOMPARE(m.buttons, Prompter::Buttons(Button::Ok));
        QCOMPARE(m.icon, Prompter::Icon::None);
        QVERIFY(!shownBeforeMessage);
        QCOMPARE(t.portIo.initializeCalls(), 1);

        const ProgramState &s = t.state;
        QCOMPARE(window.windowTitle(), QStringLiteral("Q5N Configuration: New File"));
        QCOMPARE(window.objectName(), QStringLiteral("MDImain"));
        QCOMPARE(s.setupInfo.deviceName, QStringLiteral("Device Name"));
        QCOMPARE(s.setupInfo.userName, QStringLiteral("User's Name"));
        QCOMPARE(s.setupInfo.buildingDate, dateText8(t.clock.today(), t.clock.locale()));
        QCOMPARE(s.setupInfo.description, QStringLiteral("Your description about this configuration file"));
        QCOMPARE(serialSettingsText(s.linkSettings.serial), QStringLiteral("9600,N,8,1 "));
        QCOMPARE(int(s.linkSettings.portNumber), 1);
        QCOMPARE(int(s.linkSettings.linkMode), 1);
        QVERIFY(s.saveOption);
        QVERIFY(!s.readerMode);
        QCOMPARE(int(s.activePage), 0);
        QCOMPARE(s.workingImage, factoryImage());
        QVERIFY(!s.hasUnsavedChanges());

        QVERIFY(window.close()); // nothing to ask
        QCOMPARE(t.prompter.messages.size(), 1);
        QCOMPARE(t.portIo.shutdownCalls(), 1);
    }

    void availablePortIoShowsNothing()
    {
        test::TestContext t;
        SimulatedPortIo available(true);
        AppContext ctx{t.state, t.prompter, available, t.clock, t.paths, {}};
        MainWindow window(ctx);
        window.startUp();
        QVERIFY(t.prompter.messages.isEmpty());
    }

    void maximisingKeepsNormalState()
    {
        Fixture f;
        f.window.show();
        f.window.showMaximized();
        QCoreApplication::processEvents();
        QVERIFY(!(f.window.windowState() & Qt::WindowMaximized));
    }

    void closeQuestion_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("dialogCancelled");
        QTest::addColumn<bool>("closed");
        QTest::addColumn<int>("fileDialogs");
        QTest::newRow("cancel keeps running") << int(Button::Cancel) << false << false << 0;
        QTest::newRow("no closes without writing") << int(Button::No) << false << true << 0;
        QTest::newRow("yes saves through Save As") << int(Button::Yes) << false << true << 1;
        QTest::newRow("yes, dialog cancelled, stays") << int(Button::Yes) << true << false << 1;
    }
    void closeQuestion()
    {
        QFETCH(int, answer);
        QFETCH(bool, dialogCancelled);
        QFETCH(bool, closed);
        QFETCH(int, fileDialogs);
        Fixture f;
        f.window.show();
        f.window.showPage(2);
        f.edit();
        f.t.prompter.answers.enqueue(Button(answer));
        const QString path = f.t.path(QStringLiteral("closing.cfg"));
        f.t.prompter.queueFile(dialogCancelled ? std::nullopt : std::optional<QString>(path));
        QCOMPARE(f.window.close(), closed);
        QCOMPARE(f.t.prompter.messages.size(), 1);
        const auto &m = f.t.prompter.messages.front();
        QCOMPARE(m.title, QStringLiteral("Configuration Setup"));
        QCOMPARE(m.text, kChanged);
        QCOMPARE(m.buttons, Button::Yes | Button::No | Button::Cancel);
        QCOMPARE(m.defaultButton, Button::Yes);
        QCOMPARE(m.icon, Prompter::Icon::None);
        QCOMPARE(f.t.prompter.fileRequests.size(), fileDialogs);
        if (fileDialogs) {
            QCOMPARE(f.t.prompter.fileRequests.front().dialog.proposedName, QStringLiteral("New File"));
            QVERIFY(f.t.prompter.fileRequests.front().save);
        }
        QCOMPARE(QFile::exists(path), answer == int(Button::Yes) && !dialogCancelled);
        // The page closed before the question, also when the closing was cancelled.
        QCOMPARE(int(f.t.state.activePage), 0);
        QCOMPARE(f.t.state.getBits(22, 0x03), quint8(1)); // the edit is intact
        QCOMPARE(f.t.portIo.shutdownCalls(), closed ? 1 : 0);
    }

    void failedSaveStopsTheClosing()
    {
        Fixture f;
        f.window.show();
        f.edit();
        f.t.prompter.answers.enqueue(Button::Yes);
        f.t.prompter.queueFile(f.t.path(QStringLiteral("no/such/dir/x.cfg")));
        QVERIFY(!f.window.close());
        QCOMPARE(f.t.prompter.messages.size(), 2);
        const auto &error = f.t.prompter.messages.back();
        QCOMPARE(error.title, QStringLiteral("Configuration Setup"));
        QVERIFY(error.text.contains(QStringLiteral("x.cfg")));
        QCOMPARE(error.icon, Prompter::Icon::Critical);
        QCOMPARE(f.t.state.setupInfo.fileName, QStringLiteral("New File"));
        QCOMPARE(f.window.windowTitle(), QStringLiteral("Q5N Configuration: New File"));
        QVERIFY(f.t.state.hasUnsavedChanges());
    }

    void saveAsThenSave()
    {
        Fixture f;
        f.edit();
        // Save on a new configuration goes through Save As and its dialog.
        const QString path = f.t.path(QStringLiteral("first.cfg"));
        f.t.prompter.queueFile(path);
        QCOMPARE(f.window.fileSave(), MainWindow::SaveResult::Saved);
        const auto &d = f.t.prompter.fileRequests.front().dialog;
        QCOMPARE(d.filterText, QStringLiteral("Config Setup Files(*.cfg)"));
        QCOMPARE(d.filterPattern, QStringLiteral("*.cfg"));
        QCOMPARE(d.defaultSuffix, QStringLiteral("cfg"));
        QCOMPARE(d.proposedName, QStringLiteral("New File"));
        QVERIFY(d.confirmOverwrite);
        QVERIFY(d.directoryMustExist);
        QVERIFY(!d.mustExist);
        QCOMPARE(f.window.windowTitle(), QStringLiteral("Configuration Setup: ") + path);
        QVERIFY(!f.t.state.hasUnsavedChanges());
        QByteArray bytes;
        QVERIFY(readWholeFile(path, &bytes));
        QCOMPARE(bytes, setupFileBytes(f.t.state.setupInfo, f.t.state.linkSettings, f.t.state.workingImage));

        // Save now writes without asking and keeps the caption.
        f.t.state.setBits(84, 0xFF, 7);
        f.window.setWindowTitle(QStringLiteral("marker"));
        QCOMPARE(f.window.fileSave(), MainWindow::SaveResult::Saved);
        QCOMPARE(f.t.prompter.fileRequests.size(), 1);
        QCOMPARE(f.window.windowTitle(), QStringLiteral("marker"));
        QVERIFY(readWholeFile(path, &bytes));
        QVERIFY(bytes.endsWith(" 7 \r\n"));

        // Save As proposes the current name; cancelling changes nothing.
        f.t.state.setBits(84, 0xFF, 8);
        QCOMPARE(f.window.fileSaveAs(), MainWindow::SaveResult::Cancelled);
        QCOMPARE(f.t.prompter.fileRequests.back().dialog.proposedName, path);
        QVERIFY(f.t.state.hasUnsavedChanges());
    }

    void failedSaveAsChangesNothing()
    {
        Fixture f;
        const QString good = f.t.path(QStringLiteral("good.cfg"));
        f.t.prompter.queueFile(good);
        f.window.fileSaveAs();
        QByteArray before;
        readWholeFile(good, &before);
        f.edit();
        f.t.prompter.queueFile(f.t.path(QStringLiteral("missing/dir.cfg")));
        QCOMPARE(f.window.fileSaveAs(), MainWindow::SaveResult::Failed);
        QCOMPARE(f.t.state.setupInfo.fileName, good);
        QCOMPARE(f.window.windowTitle(), QStringLiteral("Configuration Setup: ") + good);
        QVERIFY(f.t.state.hasUnsavedChanges());
        QByteArray after;
        readWholeFile(good, &after);
        QCOMPARE(after, before);
    }

    void saveAsRefusesAnotherUsersLink()
    {
        Fixture f;
        const QString victim = f.t.path(QStringLiteral("victim"));
        QCOMPARE(writeFileAtomically(victim, "precious"), QString());
        const QString link = test::plantForeignLink(f.t.dir, QStringLiteral("site.cfg"), victim);
        if (link.isEmpty())
            QSKIP("needs root to give a link to another user");
        f.edit();
        f.t.prompter.queueFile(link);
        QCOMPARE(f.window.fileSaveAs(), MainWindow::SaveResult::Failed);
        QCOMPARE(f.t.prompter.messages.size(), 1);
        QCOMPARE(f.t.prompter.messages.front().text,
                 QStringLiteral("The file \"%1\" could not be saved.\n\"%1\" is a symbolic link that belongs to "
                                "another user; it is not followed.")
                     .arg(link));
        QByteArray after;
        QVERIFY(readWholeFile(victim, &after) && after == "precious");
    }

    void openFlows_data()
    {
        QTest::addColumn<bool>("changed");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("opened");
        QTest::addColumn<int>("boxes");
        QTest::addColumn<int>("dialogs");
        QTest::addColumn<bool>("byPath"); // opened by its path (a dropped file), without the dialog
        QByteArray good =
            setupFileBytes(SetupInfo{{}, {}, {}, QStringLiteral("opened"), {}}, LinkSettings{}, ConfigImage{});
        QTest::newRow("no changes, good file") << false << 0 << good << true << 0 << 1 << false;
        QTest::newRow("changes, cancel") << true << int(Button::Cancel) << good << false << 1 << 0 << false;
        QTest::newRow("changes, no") << true << int(Button::No) << good << true << 1 << 1 << false;
        QTest::newRow("changes, yes, save as cancelled: stops")
            << true << int(Button::Yes) << good << false << 1 << 1 << false;
        QTest::newRow("capitalised signature") << false << 0 << QByteArray("VURO\r\n") << false << 1 << 1 << false;
        QTest::newRow("empty file") << false << 0 << QByteArray() << false << 1 << 1 << false;
        QTest::newRow("by path, changes, no") << true << int(Button::No) << good << true << 1 << 0 << true;
        QTest::newRow("by path, changes, cancel") << true << int(Button::Cancel) << good << false << 1 << 0 << true;
        QTest::newRow("by path, capitalised signature")
            << false << 0 << QByteArray("VURO\r\n") << false << 1 << 0 << true;
    }
    void openFlows()
    {
        QFETCH(bool, changed);
        QFETCH(int, answer);
        QFETCH(QByteArray, content);
        QFETCH(bool, opened);
        QFETCH(int, boxes);
        QFETCH(int, dialogs);
        QFETCH(bool, byPath);
        Fixture f;
        f.window.show();
        f.window.showPage(9);
        f.window.showPage(1);
        if (changed)
            f.edit();
        if (answer)
            f.t.prompter.answers.enqueue(Button(answer));
        if (answer == int(Button::Yes))
            f.t.prompter.queueFile(std::nullopt); // the Save As dialog
        const QString path = f.t.path(QStringLiteral("in.cfg"));
        writeFileAtomically(path, content);
        if (!byPath)
            f.t.prompter.queueFile(path);
        const ConfigImage before = f.t.state.workingImage;
        if (byPath)
            QCOMPARE(f.window.files().openPath(path), opened);
        else
            f.window.fileOpen();
        QCOMPARE(f.t.prompter.messages.size(), boxes);
        QCOMPARE(f.t.prompter.fileRequests.size(), dialogs);
        if (dialogs && answer != int(Button::Yes)) {
            const auto &open = f.t.prompter.fileRequests.back();
            QVERIFY(!open.save);
            QVERIFY(open.dialog.mustExist);
            QCOMPARE(open.dialog.proposedName, QString());
        }
        if (opened) {
            QCOMPARE(f.t.state.setupInfo.description, QStringLiteral("opened"));
            QCOMPARE(f.t.state.workingImage, ConfigImage{});
            QVERIFY(!f.t.state.hasUnsavedChanges());
            QCOMPARE(f.window.windowTitle(), QStringLiteral("Configuration Setup: ") + path);
            QVERIFY(!f.window.pageWindow(1));
            QVERIFY(f.window.pageWindow(9)); // the memory window stays
        } else {
            QCOMPARE(f.t.state.workingImage, before);
            QCOMPARE(f.window.windowTitle(), QStringLiteral("Q5N Configuration: New File"));
            QVERIFY(f.window.pageWindow(1));
            if (!content.startsWith("vuro") && answer == 0) {
                QCOMPARE(f.t.prompter.messages.back().text,
                         QStringLiteral("This File Is Not A Configuration Setup File"));
                QCOMPARE(f.t.prompter.messages.back().title, QStringLiteral("Configuration Setup"));
                QCOMPARE(f.t.prompter.messages.back().buttons, Prompter::Buttons(Button::Ok));
            }
        }
    }

    // Every value the setup file stores makes close box, New and Open ask;
    // set back to its saved value, it asks nothing.
    void everyStoredValueCounts_data()
    {
        QTest::addColumn<int>("which");
        QTest::addColumn<QString>("command");
        const char *values[] = {"device name", "user name", "building date", "description",
                                "port",        "link mode", "image"};
        for (const char *command : {"close", "new", "open"})
            for (int i = 0; i < 7; ++i)
                QTest::newRow(
                    qPrintable(QStringLiteral("%1 / %2").arg(QLatin1String(values[i]), QLatin1String(command))))
                    << i << QString::fromLatin1(command);
    }
    void everyStoredValueCounts()
    {
        QFETCH(int, which);
        QFETCH(QString, command);
        Fixture f;
        f.window.show();
        ProgramState &s = f.t.state;
        const SavedSetup saved = s.currentSetup();
        const auto edit = [&](bool back) {
            const auto text = [&](const QString &original) { return back ? original : QStringLiteral("edited"); };
            switch (which) {
            case 0: s.setupInfo.deviceName = text(saved.deviceName); break;
            case 1: s.setupInfo.userName = text(saved.userName); break;
            case 2: s.setupInfo.buildingDate = text(saved.buildingDate); break;
            case 3: s.setupInfo.description = text(saved.description); break;
            case 4: s.linkSettings.portNumber = back ? saved.portNumber : 3; break;
            case 5: s.linkSettings.linkMode = back ? saved.linkMode : 0; break;
            case 6: s.workingImage[84] = back ? s.savedImage[84] : quint8(s.savedImage[84] ^ 1); break;
            }
        };
        const auto run = [&] {
            if (command == QLatin1String("close"))
                return f.window.close();
            if (command == QLatin1String("new"))
                f.window.fileNew();
            else
                f.window.fileOpen(); // no file queued: the open dialog is cancelled
            return false;
        };
        edit(false);
        const SavedSetup edited = s.currentSetup();
        const ConfigImage editedImage = s.workingImage;
        f.t.prompter.answers.enqueue(Button::Cancel);
        QVERIFY(!run());
        QCOMPARE(f.t.prompter.messages.size(), 1);
        QCOMPARE(f.t.prompter.messages.front().text, kChanged);
        QCOMPARE(f.t.prompter.fileRequests.size(), 0);
        QCOMPARE(s.currentSetup(), edited); // Cancel: the edit stays
        QCOMPARE(s.workingImage, editedImage);

        edit(true);
        f.t.prompter.messages.clear();
        const bool closed = run();
        QCOMPARE(f.t.prompter.messages.size(), 0);
        QCOMPARE(closed, command == QLatin1String("close"));
    }

    // After Yes, a save that does not complete (dialog cancelled, write
    // failed) stops the command and leaves everything as it was.
    void incompleteSaveStops_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<bool>("writeFails");
        for (const char *command : {"close", "new", "open", "exit"}) {
            QTest::newRow(qPrintable(QStringLiteral("%1, dialog cancelled").arg(QLatin1String(command))))
                << QString::fromLatin1(command) << false;
            QTest::newRow(qPrintable(QStringLiteral("%1, write failed").arg(QLatin1String(command))))
                << QString::fromLatin1(command) << true;
        }
    }
    void incompleteSaveStops()
    {
        QFETCH(QString, command);
        QFETCH(bool, writeFails);
        Fixture f;
        f.window.show();
        f.window.showPage(1);
        f.edit();
        f.t.state.setupInfo.deviceName = QStringLiteral("edited");
        const ConfigImage image = f.t.state.workingImage;
        const SavedSetup setup = f.t.state.currentSetup();
        f.t.prompter.answers.enqueue(Button::Yes);
        if (writeFails) {
            // A folder where the file should go: its folder exists, the write fails.
            QDir(f.t.dir.path()).mkdir(QStringLiteral("taken.cfg"));
            f.t.prompter.queueFile(f.t.path(QStringLiteral("taken.cfg")));
        } else {
            f.t.prompter.queueFile(std::nullopt);
        }
        f.t.prompter.queueFile(f.t.path(QStringLiteral("never.cfg"))); // an Open dialog would get this

        if (command == QLatin1String("close"))
            QVERIFY(!f.window.close());
        else if (command == QLatin1String("new"))
            f.window.fileNew();
        else if (command == QLatin1String("open"))
            f.window.fileOpen();
        else
            f.window.fileExit();

        QVERIFY(f.window.isVisible());
        QCOMPARE(f.t.prompter.fileRequests.size(), 1); // the Save As dialog only
        QVERIFY(f.t.prompter.fileRequests.front().save);
        QCOMPARE(f.t.prompter.messages.size(), writeFails ? 2 : 1); // the question, the write error
        QCOMPARE(f.t.state.workingImage, image);
        QCOMPARE(f.t.state.currentSetup(), setup);
        QVERIFY(f.t.state.hasUnsavedChanges());
        QCOMPARE(f.t.state.setupInfo.fileName, QStringLiteral("New File"));
        QCOMPARE(f.window.windowTitle(), QStringLiteral("Q5N Configuration: New File"));
        QCOMPARE(f.t.portIo.shutdownCalls(), 0);
        if (command != QLatin1String("close"))
            QVERIFY(f.window.pageWindow(1)); // nothing was closed
    }

    // Open refuses what is not a regular file before reading it, and says
    // why a file could not be read.
    void openRefusals_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<bool>("notSetupFile");
        QTest::newRow("directory") << "dir" << true;
        QTest::newRow("FIFO without a writer") << "fifo" << true;
        QTest::newRow("/dev/zero") << "/dev/zero" << true;
        QTest::newRow("/dev/urandom") << "/dev/urandom" << true;
        QTest::newRow("line of 100 MB") << "long" << true;
        QTest::newRow("gone before reading") << "missing" << false;
    }
    void openRefusals()
    {
        QFETCH(QString, what);
        QFETCH(bool, notSetupFile);
        Fixture f;
        QString path = what.startsWith(u'/') ? what : f.t.path(what);
        if (what == QLatin1String("dir"))
            QDir().mkpath(path);
        else if (what == QLatin1String("fifo"))
            QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
        else if (what == QLatin1String("long")) {
            // The signature, then one line as long as the whole file (sparse: no disk).
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("vuro\r\n");
            QVERIFY(file.resize(100 * 1024 * 1024));
        }
        const ConfigImage before = f.t.state.workingImage;
        f.t.prompter.queueFile(path);
        f.window.fileOpen();
        QCOMPARE(f.t.prompter.messages.size(), 1);
        const Prompter::Message &m = f.t.prompter.messages.front();
        QCOMPARE(m.title, QStringLiteral("Configuration Setup"));
        if (notSetupFile) {
            QCOMPARE(m.text, QStringLiteral("This File Is Not A Configuration Setup File"));
        } else {
            QVERIFY(m.text.contains(path));
            QVERIFY(m.text.contains(QString::fromLocal8Bit(std::strerror(ENOENT))));
        }
        QCOMPARE(f.t.state.workingImage, before);
        QCOMPARE(f.t.state.setupInfo.fileName, QStringLiteral("New File"));
    }

    void saveAsRefusesAMissingFolder()
    {
        Fixture f;
        f.edit();
        const QString path = f.t.path(QStringLiteral("no/such/folder/x.cfg"));
        f.t.prompter.queueFile(path);
        QCOMPARE(f.window.fileSaveAs(), MainWindow::SaveResult::Failed);
        QCOMPARE(f.t.prompter.messages.size(), 1);
        QVERIFY(f.t.prompter.messages.front().text.contains(QStringLiteral("does not exist")));
        QVERIFY(!QFileInfo::exists(f.t.path(QStringLiteral("no"))));
        QVERIFY(f.t.state.hasUnsavedChanges());
        QCOMPARE(f.t.state.setupInfo.fileName, QStringLiteral("New File"));
    }

    void newResetsTheConfiguration()
    {
        Fixture f;
        f.t.state.defaultImage[0] = 0x30;
        f.t.state.defaultImage[84] = 0x31;
        f.t.state.setupInfo.deviceName = QStringLiteral("x");
        f.t.state.readerMode = true;
        f.t.state.linkSettings.serial.baud = 1200;
        f.t.state.markSaved(); // the name as saved: no question
        f.window.showPage(3);
        f.window.fileNew();
        QCOMPARE(f.t.prompter.messages.size(), 0); // nothing changed in the image
        QCOMPARE(int(f.t.state.workingImage[0]), 0x30);
        QCOMPARE(int(f.t.state.workingImage[84]), 0x31);
        QVERIFY(!f.t.state.hasUnsavedChanges());
        QCOMPARE(f.t.state.setupInfo.deviceName, QStringLiteral("Device Name"));
        QCOMPARE(f.t.state.setupInfo.description, QStringLiteral("Your Description about this Setup"));
        QCOMPARE(f.window.windowTitle(), QStringLiteral("Configuration Setup: New File"));
        QVERIFY(f.t.state.readerMode);
        QCOMPARE(f.t.state.linkSettings.serial.baud, 1200);
        QVERIFY(!f.window.pageWindow(3));
        QCOMPARE(int(f.t.state.activePage), 0);
    }

    void saveAsDefaultThenRestart_data()
    {
        QTest::addColumn<bool>("root");
        QTest::newRow("user") << false;
        // A technician who runs the program as root keeps the command; the
        // file goes to root's own data folder, never the program's.
        QTest::newRow("root") << true;
    }
    void saveAsDefaultThenRestart()
    {
        QFETCH(bool, root);
        Fixture f;
        Paths &paths = f.window.context().paths;
        paths.runsAsRoot = root;
        f.t.state.setBits(22, 0x03, 0);
        f.window.menuAction(QStringLiteral("mnuFileDefault"))->trigger();
        QVERIFY(f.t.prompter.messages.isEmpty());
        QCOMPARE(f.t.state.defaultImage, f.t.state.workingImage);
        QVERIFY(f.t.state.hasUnsavedChanges()); // saving defaults is not saving the file
        QCOMPARE(QFile::exists(QDir(paths.programDir).filePath("defaults")), !root);
        QCOMPARE(QFile::exists(QDir(paths.userDataDir).filePath("defaults")), root);

        ProgramState next;
        AppContext ctx{next, f.t.prompter, f.t.portIo, f.t.clock, paths, {}};
        MainWindow restarted(ctx);
        restarted.startUp();
        QCOMPARE(next.workingImage, f.t.state.workingImage);
        QVERIFY(!next.hasUnsavedChanges());
    }

    // Under sudo HOME and XDG_DATA_HOME may still name the calling user's
    // folders: root's defaults go to root's own home all the same.
    void rootDataFolderIsRootsOwn()
    {
        if (::geteuid() != 0)
            QSKIP("only a process of root takes root's data folder");
        QTemporaryDir other;
        const QByteArray home = qgetenv("HOME"), data = qgetenv("XDG_DATA_HOME");
        qputenv("HOME", QFile::encodeName(other.path()));
        qputenv("XDG_DATA_HOME", QFile::encodeName(other.filePath("share")));
        const Paths paths = Paths::system();
        qputenv("HOME", home);
        data.isNull() ? qunsetenv("XDG_DATA_HOME") : qputenv("XDG_DATA_HOME", data);
        QVERIFY(paths.runsAsRoot);
        QCOMPARE(paths.userDataDir,
                 QFile::decodeName(::getpwuid(0)->pw_dir) + "/.local/share/" + QCoreApplication::applicationName());
    }

    void saveAsDefaultFailureIsReported()
    {
        Fixture f;
        writeFileAtomically(f.t.path("blocker"), "x");
        f.window.context().paths.programDir = f.t.path("blocker/a");
        f.window.context().paths.userDataDir = f.t.path("blocker/b");
        const ConfigImage before = f.t.state.defaultImage;
        f.edit();
        f.window.fileSaveAsDefault();
        QCOMPARE(f.t.prompter.messages.size(), 1);
        QCOMPARE(f.t.prompter.messages.front().title, QStringLiteral("Configuration Setup"));
        QCOMPARE(f.t.prompter.messages.front().icon, Prompter::Icon::Critical);
        QCOMPARE(f.t.state.defaultImage, before);
    }
};

QTEST_MAIN(TestMainWindowFiles)
#include "tst_mainwindow_files.moc"
