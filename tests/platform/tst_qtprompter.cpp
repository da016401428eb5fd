#include "link/ComPorts.h"
#include "platform/Prompter.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QtTest>

using namespace q5n;
using Button = Prompter::Button;

// The real message boxes and file dialogs, driven from a timer while they run
// their own modal loop.
class TestQtPrompter : public QObject
{
    Q_OBJECT

    template <typename Dialog, typename Fn> void whenShown(Fn fn)
    {
        QTimer::singleShot(0, this, [this, fn] {
            auto *d = qobject_cast<Dialog *>(QApplication::activeModalWidget());
            if (!d) {
                whenShown<Dialog>(fn); // not up yet
                return;
            }
            fn(d);
        });
    }

private Q_SLOTS:
    void messageBox_data()
    {
        QTest::addColumn<int>("buttons");
        QTest::addColumn<int>("defaultButton");
        QTest::addColumn<int>("icon");
        QTest::addColumn<int>("clicked");
        QTest::addColumn<QMessageBox::Icon>("qtIcon");
        QTest::newRow("yes/no/cancel, default yes, clicked no")
            << int(Button::Yes | Button::No | Button::Cancel) << int(Button::Yes) << int(Prompter::Icon::None)
            << int(Button::No) << QMessageBox::NoIcon;
        QTest::newRow("yes/no, default no, exclamation")
            << int(Button::Yes | Button::No) << int(Button::No) << int(Prompter::Icon::Exclamation) << int(Button::Yes)
            << QMessageBox::Warning;
        QTest::newRow("ok/cancel") << int(Button::Ok | Button::Cancel) << int(Button::Ok) << int(Prompter::Icon::None)
                                   << int(Button::Cancel) << QMessageBox::NoIcon;
        QTest::newRow("ok only, critical") << int(Button::Ok) << int(Button::Ok) << int(Prompter::Icon::Critical)
                                           << int(Button::Ok) << QMessageBox::Critical;
    }
    void messageBox()
    {
        QFETCH(int, buttons);
        QFETCH(int, defaultButton);
        QFETCH(int, icon);
        QFETCH(int, clicked);
        QFETCH(QMessageBox::Icon, qtIcon);
        const QMap<int, QMessageBox::StandardButton> qt{{int(Button::Ok), QMessageBox::Ok},
                                                        {int(Button::Cancel), QMessageBox::Cancel},
                                                        {int(Button::Yes), QMessageBox::Yes},
                                                        {int(Button::No), QMessageBox::No}};
        QtPrompter prompter;
        bool checked = false;
        whenShown<QMessageBox>([&](QMessageBox *box) {
            QCOMPARE(box->windowTitle(), QStringLiteral("Configuration Setup"));
            QCOMPARE(box->text(), QStringLiteral("Question?"));
            QCOMPARE(box->icon(), qtIcon);
            QMessageBox::StandardButtons expected;
            for (auto it = qt.begin(); it != qt.end(); ++it)
                if (buttons & it.key())
                    expected |= it.value();
            QCOMPARE(box->standardButtons(), expected);
            QCOMPARE(box->defaultButton(), box->button(qt[defaultButton]));
            checked = true;
            box->button(qt[clicked])->click();
        });
        const Button answer = prompter.ask({QStringLiteral("Configuration Setup"),
                                            QStringLiteral("Question?"),
                                            Prompter::Buttons(buttons),
                                            Button(defaultButton),
                                            Prompter::Icon(icon),
                                            {}});
        QVERIFY(checked);
        QCOMPARE(int(answer), clicked);
    }

    void emptyTitleIsTheProgramsTitleAndDetailsShow()
    {
        QtPrompter prompter;
        QString title, details;
        whenShown<QMessageBox>([&](QMessageBox *box) {
            title = box->windowTitle();
            details = box->detailedText();
            box->button(QMessageBox::Ok)->click();
        });
        prompter.inform(QString(), QStringLiteral("COM 1: not available."), QStringLiteral("no such device"));
        QCOMPARE(title, QStringLiteral("Q5N Configuration"));
        QCOMPARE(details, QStringLiteral("no such device"));
    }

    void boxIsAsWideAsItsTitle_data()
    {
        QTest::addColumn<QString>("title");
        QTest::newRow("short text") << QStringLiteral("CFG Message");
        QTest::newRow("long title") << QStringLiteral("Decoder Configuration Setup: a title far longer than its text");
    }
    void boxIsAsWideAsItsTitle()
    {
        QFETCH(QString, title);
        QtPrompter prompter;
        int width = 0;
        whenShown<QMessageBox>([&](QMessageBox *box) {
            width = box->width();
            box->button(QMessageBox::Ok)->click();
        });
        prompter.inform(title, QStringLiteral("OK"));
        // Room for the title beside the title bar's icon and its three buttons.
        const int titleBar = QApplication::style()->pixelMetric(QStyle::PM_TitleBarHeight);
        QVERIFY(width >=
                QFontMetrics(QApplication::font("QMdiSubWindowTitleBar")).horizontalAdvance(title) + 4 * titleBar);
    }

    void textAsShown_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        QTest::newRow("CR CR, LF CR") << QStringLiteral("Get Firmware Version OK!\r\r   Q5N Decoder \n\r   Ver 3.05  ")
                                      << QStringLiteral("Get Firmware Version OK!\n\n   Q5N Decoder \n   Ver 3.05  ");
        QTest::newRow("CR LF, lone LF") << QStringLiteral("a\r\nb\nc\r") << QStringLiteral("a\nb\nc\n");
        QTest::newRow("markup stays text") << QStringLiteral("<b>V1</b>") << QStringLiteral("<b>V1</b>");
    }
    void textAsShown()
    {
        QFETCH(QString, text);
        QFETCH(QString, shown);
        QtPrompter prompter;
        QString boxText;
        Qt::TextFormat format = Qt::AutoText;
        whenShown<QMessageBox>([&](QMessageBox *box) {
            boxText = box->text();
            format = box->textFormat();
            box->button(QMessageBox::Ok)->click();
        });
        prompter.inform(QStringLiteral("Upload Message"), text);
        QCOMPARE(boxText, shown);
        QCOMPARE(format, Qt::PlainText);
    }

    void escapeAnswersCancelOrNo()
    {
        QtPrompter prompter;
        whenShown<QMessageBox>([](QMessageBox *box) { box->reject(); });
        QCOMPARE(prompter.ask({QString(),
                               QStringLiteral("x"),
                               Button::Yes | Button::No | Button::Cancel,
                               Button::Yes,
                               Prompter::Icon::None,
                               {}}),
                 Button::Cancel);
        whenShown<QMessageBox>([](QMessageBox *box) { box->reject(); });
        QCOMPARE(prompter.ask({QString(),
                               QStringLiteral("x"),
                               Button::Yes | Button::No,
                               Button::No,
                               Prompter::Icon::Exclamation,
                               {}}),
                 Button::No);
    }

    void saveDialogCancelAndSuffix()
    {
        QTemporaryDir dir;
        QtPrompter prompter;
        const Prompter::FileDialog request{QStringLiteral("Config Setup Files(*.cfg)"),
                                           QStringLiteral("*.cfg"),
                                           QStringLiteral("cfg"),
                                           dir.filePath(QStringLiteral("New File")),
                                           false,
                                           true,
                                           true};
        QStringList filters;
        whenShown<QFileDialog>([&](QFileDialog *d) {
            filters = d->nameFilters();
            d->reject();
        });
        QCOMPARE(prompter.saveFile(request), std::nullopt);
        QCOMPARE(filters, QStringList{QStringLiteral("Config Setup Files(*.cfg)")});

        whenShown<QFileDialog>([&](QFileDialog *d) {
            d->selectFile(dir.filePath(QStringLiteral("plant")));
            static_cast<QDialog *>(d)->accept();
        });
        const auto chosen = prompter.saveFile(request);
        QVERIFY(chosen);
        QCOMPARE(*chosen, dir.filePath(QStringLiteral("plant.cfg")));
    }

    void comPortsFromTheEnvironment()
    {
        qputenv("Q5NCFG_COM3", "/dev/pts/77");
        QCOMPARE(comDevicePath(3), QStringLiteral("/dev/pts/77"));
        QCOMPARE(comDevicePath(0), QString());
        QCOMPARE(comDevicePath(7), QString());
        qunsetenv("Q5NCFG_COM3");
    }
};

QTEST_MAIN(TestQtPrompter)
#include "tst_qtprompter.moc"
