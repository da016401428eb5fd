// The desktop tells setup files by their signature line, through the
// shared-mime-info type the package installs; other programs' .cfg files keep
// their own type.
#include "files/SetupFile.h"
#include "model/Defaults.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace q5n;

class TestSetupFileType : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        const QString xml = QFINDTESTDATA("../../packaging/q5ncfg-mime.xml");
        QVERIFY(!xml.isEmpty());
        QVERIFY(QDir().mkpath(m_data.filePath("mime/packages")));
        QVERIFY(QFile::copy(xml, m_data.filePath("mime/packages/q5ncfg.xml")));
        QCOMPARE(QProcess::execute(QStringLiteral("update-mime-database"), {m_data.filePath("mime")}), 0);
    }

    void filetype_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("type");
        QTest::newRow("setup file") << setupFileBytes(SetupInfo{}, LinkSettings{}, factoryImage())
                                    << "application/x-q5ncfg-setup";
        QTest::newRow("another program's .cfg") << QByteArray("[General]\r\nvuro=1\r\n") << "text/plain";
        QTest::newRow("signature in capitals") << QByteArray("VURO\r\nDevice Name\r\n") << "text/plain";
    }
    void filetype()
    {
        QFETCH(QByteArray, content);
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("station.cfg")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
        file.close();
        QProcess query;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), m_data.path());
        env.insert(QStringLiteral("XDG_DATA_DIRS"), QStringLiteral("/usr/share"));
        // xdg-mime asks GIO, which reads the shared-mime-info database.
        env.insert(QStringLiteral("XDG_CURRENT_DESKTOP"), QStringLiteral("GNOME"));
        query.setProcessEnvironment(env);
        query.start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("filetype"), file.fileName()});
        QVERIFY2(query.waitForFinished(), "xdg-mime (xdg-utils) is needed");
        QTEST(QString::fromUtf8(query.readAllStandardOutput()).trimmed(), "type");
    }

private:
    QTemporaryDir m_data;
};

QTEST_APPLESS_MAIN(TestSetupFileType)
#include "tst_setupfiletype.moc"
