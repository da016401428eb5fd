// The Com numbers in the link panel as the user meets them: each option names
// its device (tooltip and accessible description) and follows an adapter
// pulled out and plugged in; the Ports dialog gives a number to a present
// device by keyboard, and the box of an exchange on an unplugged adapter's
// number says which adapter that is.
#include "link/SerialDeviceWatcher.h"
#include "model/ProgramState.h"
#include "platform/Paths.h"
#include "sim/SerialDecoder.h"
#include "support/ScriptedPrompter.h"
#include "windows/LinkMessages.h"
#include "windows/LinkSettingsPanel.h"
#include "windows/PortsDialog.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using namespace q5n;

namespace {

const QString kFtdi = QStringLiteral("usb-FTDI_FT232R_USB_UART_A12345-if00-port0");
const QString kOther = QStringLiteral("usb-Prolific_PL2303-if00-port0");

} // namespace

class TestPortsDialog : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        for (int n = 1; n <= kComPortCount; ++n)
            qunsetenv(QByteArray("Q5NCFG_COM" + QByteArray::number(n)).constData());
        QDir(m_dir.path()).mkpath(QStringLiteral("serial/by-id"));
        m_sources.byIdDir = m_dir.filePath(QStringLiteral("serial/by-id"));
        m_sources.byPathDir = m_dir.filePath(QStringLiteral("serial/by-path"));
        m_sources.settingsFile = m_dir.filePath(QStringLiteral("config/comports"));
        m_sources.systemPorts = [] { return QStringList(); };
    }
    void cleanup()
    {
        for (int n = 1; n <= kComPortCount; ++n)
            qputenv(QByteArray("Q5NCFG_COM" + QByteArray::number(n)).constData(),
                    QByteArray("/nonexistent/com" + QByteArray::number(n)));
    }

    void optionsFollowPlugging()
    {
        ProgramState state;
        LinkSettingsPanel panel(state, {});
        panel.watchDevices(m_sources, m_dir.path());
        panel.show();
        auto *com1 = panel.findChild<QAbstractButton *>(QStringLiteral("OptPort_0"));
        QCOMPARE(com1->accessibleDescription(), QStringLiteral("COM 1: no serial port on this computer"));

        sim::SerialDecoder adapter;
        QVERIFY(adapter.open(m_sources.byIdDir + u'/' + kFtdi));
        const QString shown = "COM 1: the USB adapter FTDI_FT232R_USB_UART_A12345 (" + adapter.devicePath() + ")";
        QTRY_COMPARE_WITH_TIMEOUT(com1->accessibleDescription(), shown, 1000);
        QCOMPARE(com1->toolTip(), "<p>" + shown.toHtmlEscaped() + "</p>");

        adapter.close();
        QTRY_COMPARE_WITH_TIMEOUT(com1->accessibleDescription(),
                                  QStringLiteral("COM 1: the USB adapter FTDI_FT232R_USB_UART_A12345, which is not "
                                                 "connected"),
                                  1000);
        // An exchange on the number says which adapter is missing.
        test::ScriptedPrompter prompter;
        QVERIFY(QFileInfo(m_sources.settingsFile).exists());
        // The program's own settings file is the one in the user's folder.
        qputenv("XDG_CONFIG_HOME", m_dir.filePath(QStringLiteral("xdg")).toLocal8Bit());
        QDir().mkpath(m_dir.filePath(QStringLiteral("xdg/q5ncfg")));
        QVERIFY(QFile::copy(m_sources.settingsFile, m_dir.filePath(QStringLiteral("xdg/q5ncfg/comports"))));
        reportPortUnavailable(prompter, 1, QStringLiteral("There is no serial port number 1 on this computer."));
        QCOMPARE(prompter.messages.size(), 1);
        QCOMPARE(prompter.messages.first().text, QStringLiteral("COM 1: not available."));
        QCOMPARE(prompter.messages.first().detailedText,
                 QStringLiteral("Com 1 is the USB adapter FTDI_FT232R_USB_UART_A12345, which is not connected."));
    }

    void givingANumberByKeyboard()
    {
        sim::SerialDecoder first, second;
        QVERIFY(first.open(m_sources.byIdDir + u'/' + kFtdi));
        ProgramState state;
        LinkSettingsPanel panel(state, {});
        panel.watchDevices(m_sources, m_dir.path());
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        QVERIFY(second.open(m_sources.byIdDir + u'/' + kOther));
        auto *ports = panel.findChild<QPushButton *>(QStringLiteral("cmdPorts"));
        QVERIFY(ports && panel.focusOrder().contains(ports));
        ports->click();
        auto *dialog = panel.window()->findChild<PortsDialog *>();
        QVERIFY(dialog && dialog->isVisible() && dialog->windowModality() == Qt::WindowModal);
        QApplication::setActiveWindow(dialog);
        QVERIFY(QTest::qWaitForWindowActive(dialog));
        QListWidget *list = dialog->deviceList();
        // The second adapter appears while the dialog is open and takes Com 2.
        QTRY_COMPARE_WITH_TIMEOUT(list->count(), 2, 1000);
        QVERIFY(list->item(1)->text().startsWith(QStringLiteral("Com 2: the USB adapter Prolific_PL2303 (/dev/pts/")));

        // Tab order as on screen: list, number, Give Number, Close.
        list->setFocus(Qt::TabFocusReason);
        QStringList walked{QApplication::focusWidget()->objectName()};
        for (int i = 0; i < 3; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            walked << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(walked, (QStringList{"lstDevices", "cboNumber", "cmdGive", "cmdClose"}));

        // The second adapter, Com 1, Give Number: the two swap, and it is kept.
        list->setFocus(Qt::TabFocusReason);
        QTest::keyClick(list, Qt::Key_Down);
        auto *number = dialog->findChild<QComboBox *>(QStringLiteral("cboNumber"));
        QCOMPARE(number->currentText(), QStringLiteral("Com 2"));
        number->setFocus(Qt::TabFocusReason);
        QTest::keyClick(number, Qt::Key_Up);
        QCOMPARE(number->currentText(), QStringLiteral("Com 1"));
        QTest::keyClick(number, Qt::Key_Return); // Give Number is the default button
        QByteArray saved;
        QVERIFY(readWholeFile(m_sources.settingsFile, &saved));
        QCOMPARE(saved, QByteArray("Com1=by-id/" + kOther.toUtf8() + "\nCom2=by-id/" + kFtdi.toUtf8() + "\n"));
        QVERIFY(list->item(0)->text().startsWith(QStringLiteral("Com 1: the USB adapter Prolific_PL2303")));
        QVERIFY(panel.findChild<QAbstractButton *>(QStringLiteral("OptPort_0"))
                    ->accessibleDescription()
                    .startsWith(QStringLiteral("COM 1: the USB adapter Prolific_PL2303 (/dev/pts/")));

        // An unplugged adapter's number is shown and cannot be chosen.
        first.close();
        QTRY_VERIFY_WITH_TIMEOUT(list->item(1)->text().endsWith(QStringLiteral(", not connected")), 1000);
        QVERIFY(!(list->item(1)->flags() & Qt::ItemIsEnabled));
        QTest::keyClick(dialog->findChild<QPushButton *>(QStringLiteral("cmdClose")), Qt::Key_Space);
        QTRY_VERIFY(!dialog || !dialog->isVisible());
    }

private:
    QTemporaryDir m_dir;
    ComPortSources m_sources;
};

QTEST_MAIN(TestPortsDialog)
#include "tst_portsdialog.moc"
