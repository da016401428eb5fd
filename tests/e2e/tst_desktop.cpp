// Comparing, printing and opening files from the desktop, through the main
// window's menus and the real pages; the decoder simulator answers on a
// pseudo-terminal.
#include "app/PageRegistry.h"
#include "files/SetupFile.h"
#include "model/Defaults.h"
#include "shell/DesktopCommands.h"
#include "shell/MainWindow.h"
#include "sim/SerialDecoder.h"
#include "support/TestContext.h"
#include "windows/CompareWindow.h"

#include <QAction>
#include <QDialog>
#include <QLabel>
#include <QMimeData>
#include <QPrinter>
#include <QPushButton>
#include <QTabBar>
#include <QTreeWidget>
#include <QtTest>

#include <memory>

using namespace q5n;
using q5n::sim::Fault;
Q_DECLARE_METATYPE(q5n::sim::Fault)
Q_DECLARE_METATYPE(q5n::Prompter::Button)

namespace {

struct Program
{
    Program()
    {
        ctx.context.timing.uploadReplyMs = 300;
        main = std::make_unique<MainWindow>(ctx.context);
        registerStandardPages(*main);
        main->startUp();
        ctx.prompter.messages.clear();
        main->show();
    }
    ~Program()
    {
        ctx.state.markSaved();
        main->closeSettingPages();
        main.reset();
    }
    void run(const char *item) { main->menuAction(QLatin1String(item))->trigger(); }
    QString writeFile(const QString &name, const ConfigImage &image, const QString &description)
    {
        SetupInfo texts = ctx.state.setupInfo;
        texts.description = description;
        QFile f(ctx.path(name));
        f.open(QIODevice::WriteOnly);
        f.write(setupFileBytes(texts, ctx.state.linkSettings, image));
        return f.fileName();
    }
    CompareWindow *compare() const { return main->findChild<CompareWindow *>(); }
    QTreeWidget *list() const { return compare()->list(); }
    QStringList rows() const
    {
        QStringList out;
        for (int i = 0; i < list()->topLevelItemCount(); ++i)
            out << list()->topLevelItem(i)->text(0) + " | " + list()->topLevelItem(i)->text(1) + " | " +
                       list()->topLevelItem(i)->text(2);
        return out;
    }
    void clickRow(int row, Qt::KeyboardModifiers keys = {})
    {
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, keys,
                          list()->visualItemRect(list()->topLevelItem(row)).center());
    }
    QString lastMessage() const
    {
        return ctx.prompter.messages.isEmpty() ? QString() : ctx.prompter.messages.last().text;
    }

    test::TestContext ctx;
    std::unique_ptr<MainWindow> main;
};

ConfigImage withBaud19200(ConfigImage image)
{
    image[16] = quint8(image[16] | 0x0C);
    return image;
}

} // namespace

class TestDesktop : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void cleanup() { qputenv("Q5NCFG_COM1", "/nonexistent/com1"); }

    void compareWithFile_data()
    {
        QTest::addColumn<QByteArray>("content"); // empty: a file that differs in the baud rate and description
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QString>("message");
        QTest::newRow("differences")
            << QByteArray()
            << QStringList{"User Information › Description | Your description about this "
                           "configuration file | Site standard",
                           "Bar Decoder › Communication Parameters › RS232 › Baud Rate | 9600 | 19200"}
            << QString();
        QTest::newRow("another program's file")
            << QByteArray("[General]\r\nkey=1\r\n") << QStringList() << kNotSetupFileText;
    }
    void compareWithFile()
    {
        QFETCH(QByteArray, content);
        Program p;
        QString path = p.writeFile("site.cfg", withBaud19200(p.ctx.state.workingImage), "Site standard");
        if (!content.isEmpty()) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(content);
        }
        p.ctx.prompter.queueFile(path);
        p.run("mnuToolsCompareFile");
        QTEST(p.lastMessage(), "message");
        QFETCH(QStringList, rows);
        if (rows.isEmpty())
            QVERIFY(!p.compare() || !p.compare()->isVisible());
        else
            QCOMPARE(p.rows(), rows);
        QVERIFY(!p.ctx.state.hasUnsavedChanges());
    }

    // Use Other Value on the selected rows is an edit: the rest stay listed;
    // the last taken, the window says that nothing differs.
    void useOtherValue()
    {
        Program p;
        const ConfigImage other = withBaud19200(p.ctx.state.workingImage);
        p.ctx.prompter.queueFile(p.writeFile("site.cfg", other, "Site standard"));
        p.run("mnuToolsCompareFile");
        QVERIFY(QTest::qWaitForWindowExposed(p.compare()));
        p.clickRow(1);
        QTest::mouseClick(p.compare()->findChild<QPushButton *>("cmdUseOther"), Qt::LeftButton);
        QCOMPARE(p.ctx.state.workingImage, other);
        QVERIFY(p.ctx.state.hasUnsavedChanges());
        QCOMPARE(p.list()->topLevelItemCount(), 1);
        p.clickRow(0);
        QTest::mouseClick(p.compare()->findChild<QPushButton *>("cmdUseOther"), Qt::LeftButton);
        QCOMPARE(p.ctx.state.setupInfo.description, QStringLiteral("Site standard"));
        QCOMPARE(p.compare()->findChild<QLabel *>("LblCompared")->text(),
                 "No setting differs between this configuration and the file \"" + p.ctx.path("site.cfg") + "\".");
    }

    // Enter (or a double-click) opens the page with the focus on the field,
    // on the tab that holds it.
    void rowOpensItsPage()
    {
        Program p;
        p.ctx.prompter.queueFile(p.writeFile("site.cfg", withBaud19200(p.ctx.state.workingImage), "Site standard"));
        p.run("mnuToolsCompareFile");
        QVERIFY(QTest::qWaitForWindowExposed(p.compare()));
        p.clickRow(1);
        QTest::keyClick(p.list(), Qt::Key_Return);
        QCOMPARE(p.ctx.state.activePage, qint16(2));
        QTRY_COMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("optCfg41A_2"));
        // A double-click: the first click's press, then the second's.
        p.clickRow(0);
        QTest::mouseDClick(p.list()->viewport(), Qt::LeftButton, {},
                           p.list()->visualItemRect(p.list()->topLevelItem(0)).center());
        QCOMPARE(p.ctx.state.activePage, qint16(1));
        QTRY_COMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("txtDescription"));
    }

    void compareWithDecoder_data()
    {
        QTest::addColumn<bool>("decoder");
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<QString>("message");
        QTest::newRow("answered") << true << Fault::None << QString();
        QTest::newRow("silent") << true << Fault::Silent << "Time Out Error!";
        QTest::newRow("bad check byte") << true << Fault::BadCheck << "Upload Failed!";
        QTest::newRow("no port") << false << Fault::None << "COM 1: not available.";
    }
    void compareWithDecoder()
    {
        QFETCH(bool, decoder);
        QFETCH(Fault, fault);
        sim::SerialDecoder serial;
        Program p;
        const ConfigImage before = p.ctx.state.workingImage;
        if (decoder) {
            QVERIFY(serial.open());
            qputenv("Q5NCFG_COM1", serial.devicePath().toLocal8Bit());
            ConfigImage image = withBaud19200(before);
            image[30] = 'Z'; // reader section: not sent, not compared
            serial.setImage(image);
            serial.setFault(fault);
        }
        p.run("mnuToolsCompareDecoder");
        QTRY_VERIFY(!p.main->findChild<QDialog *>(QStringLiteral("frmCompareUpload")));
        QTEST(p.lastMessage(), "message");
        QCOMPARE(p.ctx.state.workingImage, before);
        if (p.lastMessage().isEmpty())
            QCOMPARE(p.rows(),
                     QStringList{"Bar Decoder › Communication Parameters › RS232 › Baud Rate | 9600 | 19200"});
        QVERIFY(p.main->menuAction("mnuToolsCompareDecoder")->isEnabled());
    }

    void printedSheet()
    {
        Program p;
        p.ctx.state.workingImage = withBaud19200(p.ctx.state.workingImage);
        p.ctx.state.setupInfo.deviceName = QStringLiteral("Dock 4 scanner");
        const QString pdf = p.ctx.path("sheet.pdf");
        p.main->desktopCommands()->setPrinterChooser([&](QPrinter &printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
            return true;
        });
        p.run("mnuToolsPrint");
        QProcess text;
        text.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
        QVERIFY2(text.waitForFinished(), "pdftotext (poppler-utils) is needed");
        const QStringList lines = QString::fromUtf8(text.readAllStandardOutput()).split('\n');
        auto line = [&](const QString &caption) {
            for (const QString &l : lines)
                if (l.contains(caption))
                    return l.simplified();
            return QString();
        };
        QCOMPARE(line("File"), QStringLiteral("File New File"));
        QCOMPARE(line("Device Name"), QStringLiteral("Device Name Dock 4 scanner"));
        QCOMPARE(line("Baud Rate"), QStringLiteral("* RS232 › Baud Rate 19200"));
        QCOMPARE(line("Stop Bits"), QStringLiteral("RS232 › Stop Bits 1 Bit"));
        QVERIFY(!line("Magnetic Reader › Miscellaneous Parameters").isEmpty());
    }

    // A dropped file opens after the unsaved-changes question, with Open's
    // checks; so does the file named on the command line.
    void droppedFile_data()
    {
        QTest::addColumn<bool>("setupFile");
        QTest::addColumn<Prompter::Button>("answer");
        QTest::addColumn<bool>("opened");
        QTest::newRow("setup file, changes dropped") << true << Prompter::Button::No << true;
        QTest::newRow("setup file, cancelled") << true << Prompter::Button::Cancel << false;
        QTest::newRow("another program's file") << false << Prompter::Button::No << false;
    }
    void droppedFile()
    {
        QFETCH(bool, setupFile);
        Program p;
        const QString path = p.writeFile("site.cfg", withBaud19200(p.ctx.state.workingImage), "Site standard");
        if (!setupFile)
            QFile::resize(path, 0);
        p.ctx.state.setBits(22, 0x03, 1);
        QFETCH(Prompter::Button, answer);
        p.ctx.prompter.answers.enqueue(answer);
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(path)});
        const QPoint at = p.main->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(p.main.get(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(p.main.get(), &drop);
        QTRY_VERIFY(!p.ctx.prompter.messages.isEmpty());
        QTest::qWait(0);
        QFETCH(bool, opened);
        QCOMPARE(p.main->windowTitle() == "Configuration Setup: " + path, opened);
        QCOMPARE(p.lastMessage(), setupFile ? kChangedQuestion() : kNotSetupFileText);
        QVERIFY(!p.main->files().openPath(p.ctx.path("missing.cfg"), false));
        QVERIFY(p.lastMessage().startsWith("The file \"" + p.ctx.path("missing.cfg") + "\" could not be read."));
    }

private:
    static QString kChangedQuestion()
    {
        return QStringLiteral("Configuration had been changed,do you want to save your file?");
    }
};

QTEST_MAIN(TestDesktop)
#include "tst_desktop.moc"
