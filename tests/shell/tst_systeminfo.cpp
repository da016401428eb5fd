// Starting the system information tool: the program runs detached (the call
// does not wait for it) and a program that cannot be run is reported.

#include "shell/SystemInfo.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace q5n;

class TestSystemInfo : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void startsWithoutWaiting_data()
    {
        QTest::addColumn<bool>("exists");
        QTest::newRow("a program that runs") << true;
        QTest::newRow("no such program") << false;
    }
    void startsWithoutWaiting()
    {
        QFETCH(bool, exists);
        QTemporaryDir dir;
        const QString script = dir.filePath(QStringLiteral("tool"));
        const QString marker = dir.filePath(QStringLiteral("ran"));
        if (exists) {
            QFile file(script);
            QVERIFY(file.open(QIODevice::WriteOnly));
            // Writes its argument into the marker, then outlives the call.
            file.write("#!/bin/sh\nprintf '%s' \"$1\" > \"$2\"\nsleep 1\n");
            file.close();
            file.setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        }
        QCOMPARE(startDetachedCommand({script, {QStringLiteral("an argument"), marker}}), exists);
        if (exists) {
            QTRY_VERIFY(QFile::exists(marker) && QFile(marker).size() > 0);
            QFile result(marker);
            QVERIFY(result.open(QIODevice::ReadOnly));
            QCOMPARE(result.readAll(), QByteArray("an argument"));
        }
    }
};

QTEST_GUILESS_MAIN(TestSystemInfo)
#include "tst_systeminfo.moc"
