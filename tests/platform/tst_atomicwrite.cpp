// Where a save lands when the name is the user's own link (absolute or
// relative to the link's folder, a chain, dangling) and what it says when the
// name leads nowhere it can write. Another user's links and files are in
// tests/security/tst_foreignsaves.

#include "platform/Paths.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

using namespace q5n;

class TestAtomicWrite : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // `links`: "name -> target" lines made before the save, in order (folders
    // a/ and b/ exist). `saved`: the file that must hold the bytes afterwards,
    // empty when the save fails with `error`.
    void whereASaveLands_data()
    {
        QTest::addColumn<QStringList>("links");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("saved");
        QTest::addColumn<QString>("error");
        QTest::newRow("plain name") << QStringList{} << "a/site.cfg"
                                    << "a/site.cfg"
                                    << "";
        QTest::newRow("name relative to the working folder") << QStringList{} << "site.cfg"
                                                             << "site.cfg"
                                                             << "";
        QTest::newRow("absolute link") << QStringList{"a/site.cfg -> @/b/real.cfg"} << "a/site.cfg"
                                       << "b/real.cfg"
                                       << "";
        QTest::newRow("link relative to its own folder") << QStringList{"a/site.cfg -> ../b/real.cfg"} << "a/site.cfg"
                                                         << "b/real.cfg"
                                                         << "";
        QTest::newRow("relative link, relative name") << QStringList{"a/site.cfg -> real.cfg"} << "a/site.cfg"
                                                      << "a/real.cfg"
                                                      << "";
        QTest::newRow("chain of links") << QStringList{"b/next.cfg -> ../a/real.cfg", "a/site.cfg -> ../b/next.cfg"}
                                        << "a/site.cfg"
                                        << "a/real.cfg"
                                        << "";
        QTest::newRow("link to a folder") << QStringList{"a/site.cfg -> ../b"} << "a/site.cfg"
                                          << ""
                                          << "Is a directory";
        QTest::newRow("link loop") << QStringList{"a/site.cfg -> site.cfg"} << "a/site.cfg"
                                   << ""
                                   << "Too many levels of symbolic links";
        QTest::newRow("missing folder") << QStringList{} << "c/site.cfg"
                                        << ""
                                        << "No such file or directory";
        QTest::newRow("link into a missing folder") << QStringList{"a/site.cfg -> ../c/real.cfg"} << "a/site.cfg"
                                                    << ""
                                                    << "No such file or directory";
    }
    void whereASaveLands()
    {
        QFETCH(QStringList, links);
        QFETCH(QString, name);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath("a") && QDir(dir.path()).mkpath("b"));
        for (const QString &line : links) {
            const QStringList parts = line.split(QStringLiteral(" -> "));
            QString target = parts[1];
            target.replace('@', dir.path());
            QVERIFY(QFile::link(target, dir.filePath(parts[0])));
        }
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        const QString reason = writeFileAtomically(name, "the configuration");
        QDir::setCurrent(before);
        QFETCH(QString, error);
        QCOMPARE(reason, error);
        QFETCH(QString, saved);
        const auto all = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
        QStringList files;
        for (const QString &folder : {QStringLiteral("."), QStringLiteral("a"), QStringLiteral("b")})
            for (const QFileInfo &entry : QDir(dir.filePath(folder)).entryInfoList(all))
                if (!entry.isSymLink() && !entry.isDir())
                    files << QDir(dir.path()).relativeFilePath(entry.filePath());
        QCOMPARE(files, saved.isEmpty() ? QStringList{} : QStringList{saved});
        if (!saved.isEmpty()) {
            QByteArray bytes;
            QVERIFY(readWholeFile(dir.filePath(saved), &bytes));
            QCOMPARE(bytes, QByteArray("the configuration"));
        }
        for (const QString &line : links) // the links stay links
            QVERIFY(QFileInfo(dir.filePath(line.section(QStringLiteral(" -> "), 0, 0))).isSymLink());
    }
};

QTEST_APPLESS_MAIN(TestAtomicWrite)
#include "tst_atomicwrite.moc"
