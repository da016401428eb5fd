// The memory window's data file: Save, Save As, the saved-text rule and the
// question on closing, through the real window with scripted dialogs.
#include "shell/MainWindow.h"
#include "support/TestContext.h"
#include "windows/MemoryWindow.h"

#include <QClipboard>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

#include <memory>

using namespace q5n;
using namespace q5n::test;

namespace {

const QString kQuestion = QStringLiteral("Memory Data had been changed,do you want to save your file?");

struct Fixture
{
    Fixture()
    {
        main = std::make_unique<MainWindow>(ctx.context);
        main->registerPage(MemoryWindow::kPage, &createMemoryWindow);
        main->show();
        window = qobject_cast<MemoryWindow *>(main->showPage(MemoryWindow::kPage));
    }
    ~Fixture()
    {
        ctx.prompter.answers.clear();
        ctx.prompter.answers.enqueue(Prompter::Button::No);
        if (window)
            main->closePage(MemoryWindow::kPage);
    }
    QPlainTextEdit *box() const { return window->findChild<QPlainTextEdit *>(QStringLiteral("TxtMemory")); }
    void click(const char *name) { window->findChild<QPushButton *>(QLatin1String(name))->click(); }
    QByteArray file(const QString &name) const
    {
        QFile f(ctx.path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    int questions() const
    {
        int n = 0;
        for (const auto &m : ctx.prompter.messages)
            n += m.text == kQuestion;
        return n;
    }

    TestContext ctx;
    std::unique_ptr<MainWindow> main;
    QPointer<MemoryWindow> window;
};

} // namespace

class TestMemoryFile : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void fileBytes_data();
    void fileBytes();
    void closeQuestion_data();
    void closeQuestion();
    void saveDialog();
    void failedWrite();
    void textBoxShownAndHidden();
};

void TestMemoryFile::fileBytes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty text") << QString() << QByteArray("\r\n");
    QTest::newRow("lines") << QStringLiteral("ABC\nxyz\n") << QByteArray("ABC\r\nxyz\r\n\r\n");
    // One byte per character, no-break space and all.
    QTest::newRow("8-bit characters") << QStringLiteral("\u00E9\u00A0\u20AC") << QByteArray("\xE9\xA0\x80\r\n");
    // The pictures the box shows for a CR or LF inside a line are those bytes.
    QTest::newRow("CR and LF pictures") << QStringLiteral("A\u240DB\u240A\n") << QByteArray("A\rB\n\r\n\r\n");
}

void TestMemoryFile::fileBytes()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    Fixture f;
    f.box()->setPlainText(text);
    f.ctx.prompter.queueFile(f.ctx.path(QStringLiteral("m.txt")));
    f.click("cmdSave");
    QCOMPARE(f.file(QStringLiteral("m.txt")), bytes);
}

void TestMemoryFile::closeQuestion_data()
{
    // Steps: "read:<text>" puts text into the box (as a read does), "save" and
    // "saveAs" click the buttons (their dialog answers with a.txt, then b.txt),
    // "close" closes the window; answers are given to the question in order.
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QList<int>>("answers"); // Prompter::Button values for the question
    QTest::addColumn<bool>("dialogCancels");
    QTest::addColumn<int>("questions");
    QTest::addColumn<bool>("closed");
    QTest::addColumn<QByteArray>("fileA");

    const int yes = int(Prompter::Button::Yes), no = int(Prompter::Button::No), cancel = int(Prompter::Button::Cancel);
    QTest::newRow("nothing read") << QStringList{"close"} << QList<int>() << false << 0 << true << QByteArray();
    QTest::newRow("Save As, close") << QStringList{"read:one", "saveAs", "close"} << QList<int>() << false << 0 << true
                                    << QByteArray("one\r\n\r\n");
    QTest::newRow("first Save is a Save As")
        << QStringList{"read:one", "save", "close"} << QList<int>() << false << 0 << true << QByteArray("one\r\n\r\n");
    // Only Save As refreshes the saved text: a plain Save writes, yet closing asks.
    QTest::newRow("Save As, read, Save") << QStringList{"read:one", "saveAs", "read:two", "save", "close"}
                                         << QList<int>{no} << false << 1 << true << QByteArray("two\r\n\r\n");
    QTest::newRow("No closes") << QStringList{"read:one", "close"} << QList<int>{no} << false << 1 << true
                               << QByteArray();
    QTest::newRow("Cancel keeps the window")
        << QStringList{"read:one", "close"} << QList<int>{cancel} << false << 1 << false << QByteArray();
    QTest::newRow("Yes saves, then closes")
        << QStringList{"read:one", "close"} << QList<int>{yes} << false << 1 << true << QByteArray("one\r\n\r\n");
    // Yes, then a cancelled dialog: the window stays open with its text.
    QTest::newRow("Yes, dialog cancelled")
        << QStringList{"read:one", "close"} << QList<int>{yes} << true << 1 << false << QByteArray();
}

void TestMemoryFile::closeQuestion()
{
    QFETCH(QStringList, steps);
    QFETCH(QList<int>, answers);
    QFETCH(bool, dialogCancels);
    QFETCH(int, questions);
    QFETCH(bool, closed);
    QFETCH(QByteArray, fileA);
    Fixture f;
    for (int a : answers)
        f.ctx.prompter.answers.enqueue(Prompter::Button(a));
    if (!dialogCancels) {
        f.ctx.prompter.queueFile(f.ctx.path(QStringLiteral("a.txt")));
        f.ctx.prompter.queueFile(f.ctx.path(QStringLiteral("b.txt")));
    }
    bool wasClosed = false;
    for (const QString &step : steps) {
        if (step.startsWith(u"read:"))
            f.box()->setPlainText(step.mid(5) + u'\n');
        else if (step == u"save")
            f.click("cmdSave");
        else if (step == u"saveAs")
            f.click("cmdSaveAs");
        else if (step == u"close")
            wasClosed = f.main->closePage(MemoryWindow::kPage);
    }
    QCOMPARE(f.questions(), questions);
    QCOMPARE(wasClosed, closed);
    QTRY_COMPARE(bool(f.window), !closed);
    QCOMPARE(f.ctx.state.activePage, closed ? 0 : MemoryWindow::kPage);
    if (!closed)
        QCOMPARE(f.window->memoryText(), QStringLiteral("one\r\n"));
    if (!fileA.isEmpty())
        QCOMPARE(f.file(QStringLiteral("a.txt")), fileA);
    else
        QVERIFY(!QFile::exists(f.ctx.path(QStringLiteral("a.txt"))));
}

void TestMemoryFile::saveDialog()
{
    Fixture f;
    f.ctx.prompter.queueFile(f.ctx.path(QStringLiteral("a.txt")));
    f.click("cmdSaveAs");
    f.click("cmdSaveAs"); // cancelled
    QCOMPARE(f.ctx.prompter.fileRequests.size(), 2);
    const Prompter::FileDialog first = f.ctx.prompter.fileRequests[0].dialog;
    QVERIFY(f.ctx.prompter.fileRequests[0].save);
    QCOMPARE(first.filterText, QStringLiteral("Memory Data File(*.txt)"));
    QCOMPARE(first.filterPattern, QStringLiteral("*.txt"));
    QCOMPARE(first.defaultSuffix, QStringLiteral("txt"));
    QVERIFY(first.confirmOverwrite);
    QVERIFY(first.directoryMustExist);
    QCOMPARE(first.proposedName, QString());
    QCOMPARE(f.ctx.prompter.fileRequests[1].dialog.proposedName, f.ctx.path(QStringLiteral("a.txt")));
    QCOMPARE(f.window->fileName(), f.ctx.path(QStringLiteral("a.txt")));
}

void TestMemoryFile::failedWrite()
{
    Fixture f;
    f.box()->setPlainText(QStringLiteral("data"));
    const QString bad = f.ctx.path(QStringLiteral("no-such-folder/m.txt"));
    f.ctx.prompter.queueFile(bad);
    f.click("cmdSaveAs");
    QCOMPARE(f.ctx.prompter.messages.size(), 1);
    const Prompter::Message error = f.ctx.prompter.messages[0];
    QCOMPARE(error.title, QStringLiteral("Memory Data Read"));
    QVERIFY2(error.text.contains(QDir::toNativeSeparators(bad)), qPrintable(error.text));
    QVERIFY(error.text.section(u'\n', 1).size() > 0); // the reason
    // Nothing counts as saved: no file name, and closing still asks.
    QCOMPARE(f.window->fileName(), QString());
    QCOMPARE(f.window->savedText(), QString());
    f.ctx.prompter.answers.enqueue(Prompter::Button::Yes);
    f.ctx.prompter.queueFile(bad);
    QVERIFY(!f.main->closePage(MemoryWindow::kPage));
    QCOMPARE(f.questions(), 1);
    QVERIFY(f.window);
}

void TestMemoryFile::textBoxShownAndHidden()
{
    Fixture f;
    QVERIFY(!f.window->memoryTextShown());
    f.click("cmdSave"); // the dialog is cancelled, the text is shown all the same
    QVERIFY(f.window->memoryTextShown());
    f.click("CmdDisplay");
    QVERIFY(!f.window->memoryTextShown());
    QVERIFY(f.window->findChild<QWidget *>(QStringLiteral("FraPort"))->isVisible());
    f.click("cmdSaveAs");
    QVERIFY(f.window->memoryTextShown());
    // Ctrl+C copies (no read waits for its end).
    f.box()->setPlainText(QStringLiteral("copy me"));
    QTest::mouseClick(f.box()->viewport(), Qt::LeftButton, {}, QPoint(4, 4));
    QTest::keyClick(f.box(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(f.box(), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("copy me"));
}

QTEST_MAIN(TestMemoryFile)
#include "tst_memoryfile.moc"
