// Comparing, printing and opening files from the desktop, through the main
// window's menus and the real pages; the decoder simulator answers on a
// pseudo-terminal.
#include "app/PageRegistry.h"
#include "files/SetupFile.h"
#include "model/Defaults.h"
#include "model/PageTable.h"
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
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStyle>
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
    // Prints the settings sheet into a PDF and returns pdftotext's reading
    // of it in `mode` (-raw: the text in the order it is drawn, a caption the
    // column wraps going on in the next line).
    QString printedText(const QString &mode)
    {
        const QString pdf = ctx.path("sheet.pdf");
        main->desktopCommands()->setPrinterChooser([pdf](QPrinter &printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
            return true;
        });
        run("mnuToolsPrint");
        QProcess reader;
        reader.start(QStringLiteral("pdftotext"), {mode, pdf, QStringLiteral("-")});
        if (!reader.waitForFinished())
            qWarning("pdftotext (poppler-utils) is needed");
        return QString::fromUtf8(reader.readAllStandardOutput());
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

    // At the window's default size every row shows its whole name (wrapped
    // in its column), which is also its tooltip: the rows of one frame differ
    // only in their last part.
    void compareRowsReadable()
    {
        Program p;
        ConfigImage other = p.ctx.state.workingImage;
        other[21] = 0xC8; // UPC-A, UPC-E, Code 39
        other[18] = 0x0F; // no Codabar start character
        for (int k = 0; k < 4; ++k)
            other[12 + k] = quint8("{A}\xFF"[k]); // suffix "{A}"
        other[28] ^= 0x18;                        // both "ON" boxes
        other[84] = 0x09;                         // separator HT
        p.ctx.state.linkSettings.portNumber = 3;
        const QString path = p.writeFile("site.cfg", other, p.ctx.state.setupInfo.description);
        p.ctx.state.linkSettings.portNumber = 1;
        p.ctx.prompter.queueFile(path);
        p.run("mnuToolsCompareFile");
        QVERIFY(QTest::qWaitForWindowExposed(p.compare()));
        // Named and valued as the model's table of rows says (tst_comparison).
        QCOMPARE(p.list()->topLevelItemCount(), 7);
        QTRY_VERIFY(p.list()->visualItemRect(p.list()->topLevelItem(0)).isValid());
        const QFontMetrics metrics(p.list()->font());
        const int margin = p.list()->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, p.list()) + 1;
        for (int row = 0; row < p.list()->topLevelItemCount(); ++row) {
            QTreeWidgetItem *item = p.list()->topLevelItem(row);
            QCOMPARE(item->toolTip(0), item->text(0));
            const int lines = metrics
                                  .boundingRect(QRect(0, 0, p.list()->columnWidth(0) - 2 * margin, 10000),
                                                Qt::TextWordWrap, item->text(0))
                                  .height() /
                              metrics.lineSpacing();
            QVERIFY2(p.list()->visualItemRect(item).height() >= lines * metrics.height(),
                     qPrintable(QStringLiteral("row %1 shows %2 of its %3 lines")
                                    .arg(row)
                                    .arg(p.list()->visualItemRect(item).height() / metrics.height())
                                    .arg(lines)));
        }
    }

    // A file that differs only in its port and link mode: both are listed,
    // Enter on one opens the "Transmit" window on it, and taking the other
    // values sets them.
    void compareLinkLines()
    {
        Program p;
        p.ctx.state.linkSettings.portNumber = 2;
        p.ctx.state.linkSettings.linkMode = LinkSettings::kKeyboard;
        const QString path = p.writeFile("site.cfg", p.ctx.state.workingImage, p.ctx.state.setupInfo.description);
        p.ctx.state.linkSettings = LinkSettings{};
        p.ctx.prompter.queueFile(path);
        p.run("mnuToolsCompareFile");
        QVERIFY(QTest::qWaitForWindowExposed(p.compare()));
        QCOMPARE(p.rows(), (QStringList{"Transmit › Interface | RS232 | Keyboard", "Transmit › Port | Com 1 | Com 2"}));
        p.clickRow(1);
        QTest::keyClick(p.list(), Qt::Key_Return);
        QCOMPARE(p.ctx.state.activePage, qint16(Page::Transmit));
        QTRY_COMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("OptPort_0"));
        p.compare()->activateWindow();
        p.clickRow(0);
        p.clickRow(1, Qt::ShiftModifier);
        QTest::mouseClick(p.compare()->findChild<QPushButton *>("cmdUseOther"), Qt::LeftButton);
        QCOMPARE(p.ctx.state.linkSettings.portNumber, qint16(2));
        QCOMPARE(p.ctx.state.linkSettings.linkMode, LinkSettings::kKeyboard);
        // The open "Transmit" window shows what was taken.
        QTRY_VERIFY(p.main->findChildren<QRadioButton *>(QStringLiteral("OptPort_1")).size() == 1 &&
                    p.main->findChild<QRadioButton *>(QStringLiteral("OptPort_1"))->isChecked());
        QCOMPARE(p.list()->topLevelItemCount(), 0);
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
        const QStringList lines = p.printedText(QStringLiteral("-layout")).split('\n');
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

    // The sheet names and values each setting as its page does, read back
    // from the PDF as drawn (pdftotext -raw keeps the blanks of a caption).
    void printedSheetAsPagesShowThem_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("present");
        QTest::newRow("suffix braces") << "(Only Four Charaters Available) {A}" << true;
        QTest::newRow("ON box by its label") << "Magnetic Reader › Send Start/Stop Character checked" << true;
        QTest::newRow("no ON caption") << "Character ON" << false;
        QTest::newRow("Codabar stop frame") << "Codabar › Transmission Type of Stop A, B, C, D" << true;
        QTest::newRow("Codabar start frame") << "Codabar › Transmission Type of Start (none checked)" << true;
        QTest::newRow("no joined Codabar field") << "Stop / Start" << false;
        QTest::newRow("checked boxes by caption") << "Symboligies Selection UPC-A, UPC-E, Code 39" << true;
        QTest::newRow("link mode") << "Transmit Interface RS232" << true;
        QTest::newRow("port, changed") << "* Port Com 3" << true;
    }
    void printedSheetAsPagesShowThem()
    {
        QFETCH(QString, text);
        QFETCH(bool, present);
        Program p;
        ConfigImage &image = p.ctx.state.workingImage;
        image[21] = 0xC8;
        image[18] = 0x0F;
        for (int k = 0; k < 4; ++k)
            image[12 + k] = quint8("{A}\xFF"[k]);
        p.ctx.state.linkSettings.portNumber = 3;
        const QString sheet = p.printedText(QStringLiteral("-raw")).replace(u'\n', u' ');
        QVERIFY2(sheet.contains(text) == present, qPrintable(sheet));
    }

    // "Disable  External Keyboard" keeps its two blanks on paper. pdftotext
    // makes one blank of any gap between words, so the words' boxes tell:
    // the gap before "External" is twice the one before "Keyboard".
    void printedSheetKeepsBlanks()
    {
        Program p;
        static const QRegularExpression word(
            QStringLiteral("<word xMin=\"([0-9.]+)\"[^>]*xMax=\"([0-9.]+)\"[^>]*>([^<]*)<"));
        QList<QRegularExpressionMatch> words;
        for (const QRegularExpressionMatch &m : word.globalMatch(p.printedText(QStringLiteral("-bbox"))))
            words << m;
        const auto gap = [&](qsizetype i) {
            return words[i + 1].captured(1).toDouble() - words[i].captured(2).toDouble();
        };
        for (qsizetype i = 0; i + 2 < words.size(); ++i)
            if (words[i].captured(3) == "Disable" && words[i + 1].captured(3) == "External") {
                QCOMPARE(words[i + 2].captured(3), QStringLiteral("Keyboard"));
                QVERIFY2(gap(i) > 1.5 * gap(i + 1), qPrintable(QStringLiteral("%1 %2").arg(gap(i)).arg(gap(i + 1))));
                return;
            }
        QFAIL("no \"Disable External Keyboard\" on the sheet");
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
