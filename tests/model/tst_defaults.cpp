#include "model/Defaults.h"
#include "platform/Paths.h"
#include "support/FormatsContext.h"

#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace q5n;

namespace {

QByteArray defaultsWith(const QList<QByteArray> &values, const QByteArray &marker = "Q5N_Defaults")
{
    QByteArray out = marker + "\r\n";
    for (const QByteArray &v : values)
        out += v + "\r\n";
    return out;
}

QList<QByteArray> values(int count, int base = 10)
{
    QList<QByteArray> out;
    for (int i = 0; i < count; ++i)
        out.append(" " + QByteArray::number((base + i) % 256) + " ");
    return out;
}

} // namespace

class TestDefaults : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void factoryTable()
    {
        const ConfigImage f = factoryImage();
        QCOMPARE(int(f[0]), 65);
        QCOMPARE(int(f[7]), 72);
        QCOMPARE(int(f[22]), 0x22);
        QCOMPARE(int(f[23]), 'f');
        QCOMPARE(int(f[29]), 255);
        QCOMPARE(int(f[76]), 255);
        QCOMPARE(int(f[77]), '%');
        QCOMPARE(int(f[84]), 13);
    }

    void fileBytes()
    {
        const QByteArray bytes = defaultsFileBytes(factoryImage());
        QVERIFY(bytes.startsWith("Q5N_Defaults\r\n 65 \r\n 66 \r\n"));
        QVERIFY(bytes.endsWith(" 15 \r\n 13 \r\n"));
        QCOMPARE(bytes.count("\r\n"), 86);
        ConfigImage zero;
        QVERIFY(defaultsFileBytes(zero).endsWith("\r\n 0 \r\n"));
    }

    void parse_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<bool>("used");
        QTest::newRow("85 values") << defaultsWith(values(85)) << true;
        QTest::newRow("86 values: first 85 count") << defaultsWith(values(86)) << true;
        QTest::newRow("84 values") << defaultsWith(values(84)) << false;
        QList<QByteArray> v = values(85);
        v[8] = " 300 ";
        QTest::newRow("300 on line 10") << defaultsWith(v) << false;
        v = values(85);
        v[40] = "abc";
        QTest::newRow("not a number") << defaultsWith(v) << false;
        v = values(85);
        v[0] = "-1";
        QTest::newRow("negative") << defaultsWith(v) << false;
        QTest::newRow("lower-case marker") << defaultsWith(values(85), "q5n_defaults") << false;
        QTest::newRow("empty file") << QByteArray() << false;
        QByteArray commas = "Q5N_Defaults\r\n";
        for (int i = 0; i < 85; ++i)
            commas += QByteArray::number((10 + i) % 256) + (i % 5 == 4 ? "\r\n" : ",");
        QTest::newRow("comma separated items") << commas << true;
        QTest::newRow("LF line ends") << defaultsWith(values(85)).replace("\r\n", "\n") << true;
    }
    void parse()
    {
        QFETCH(QByteArray, file);
        QFETCH(bool, used);
        const auto image = parseDefaultsFile(file);
        QCOMPARE(image.has_value(), used);
        if (used)
            for (int i = 0; i < kImageSize; ++i)
                QCOMPARE(int((*image)[i]), (10 + i) % 256);
    }

    void loadSearchesWorkingThenUserThenProgramDir()
    {
        test::FormatsContext t;
        const QByteArray fromProgram = defaultsWith(values(85, 1));
        const QByteArray fromUser = defaultsWith(values(85, 2));
        const QByteArray fromWorking = defaultsWith(values(85, 3));
        QDir().mkpath(t.paths.userDataDir);
        QCOMPARE(loadDefaults(t.state, t.paths), QString());
        QCOMPARE(t.state.defaultImage, factoryImage());

        writeFileAtomically(QDir(t.paths.programDir).filePath("defaults"), fromProgram);
        QVERIFY(!loadDefaults(t.state, t.paths).isEmpty());
        QCOMPARE(int(t.state.defaultImage[0]), 1);

        // What Save As Default wrote to the per-user directory hides the program's file.
        writeFileAtomically(QDir(t.paths.userDataDir).filePath("defaults"), fromUser);
        loadDefaults(t.state, t.paths);
        QCOMPARE(int(t.state.defaultImage[0]), 2);

        writeFileAtomically(QDir(t.paths.workingDir).filePath("defaults"), fromWorking);
        loadDefaults(t.state, t.paths);
        QCOMPARE(int(t.state.defaultImage[0]), 3);

        // An unusable file in the working directory is the one that counts: factory values.
        writeFileAtomically(QDir(t.paths.workingDir).filePath("defaults"), "Q5N_Defaults\r\n 1 \r\n");
        QCOMPARE(loadDefaults(t.state, t.paths), QString());
        QCOMPARE(t.state.defaultImage, factoryImage());
    }

    // The working directory may be shared (/tmp): its file counts only when it
    // is the user's own and nobody else may write it; otherwise the next place.
    void workingDirFileMustBePrivate_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("foreignOwner");
        QTest::addColumn<bool>("used");
        QTest::newRow("own, 0644") << 0644 << false << true;
        QTest::newRow("own, 0600") << 0600 << false << true;
        QTest::newRow("group may write") << 0664 << false << false;
        QTest::newRow("others may write") << 0646 << false << false;
        QTest::newRow("another user's") << 0644 << true << false;
    }
    void workingDirFileMustBePrivate()
    {
        QFETCH(int, mode);
        QFETCH(bool, foreignOwner);
        QFETCH(bool, used);
        test::FormatsContext t;
        const QString working = QDir(t.paths.workingDir).filePath("defaults");
        writeFileAtomically(working, defaultsWith(values(85, 3)));
        writeFileAtomically(QDir(t.paths.programDir).filePath("defaults"), defaultsWith(values(85, 1)));
        QVERIFY(::chmod(QFile::encodeName(working).constData(), mode_t(mode)) == 0);
        if (foreignOwner && ::chown(QFile::encodeName(working).constData(), 65534, 65534) != 0)
            QSKIP("files can be given to another user only as root");
        const QString path = loadDefaults(t.state, t.paths);
        QCOMPARE(path == working, used);
        QCOMPARE(int(t.state.defaultImage[0]), used ? 3 : 1);
    }

    // Save As Default, then a new start in the same place, brings back what was saved.
    void savedDefaultsComeBack_data()
    {
        QTest::addColumn<bool>("programDirReadOnly");
        QTest::addColumn<bool>("oldFileInProgramDir");
        QTest::addColumn<bool>("save");
        QTest::addColumn<bool>("root");
        QTest::newRow("writable program directory") << false << false << true << false;
        QTest::newRow("read-only program directory holding defaults") << true << true << true << false;
        QTest::newRow("no defaults anywhere") << false << false << false << false;
        // Root's defaults never become every user's: its own data directory only.
        QTest::newRow("root, writable program directory holding defaults") << false << true << true << true;
    }
    void savedDefaultsComeBack()
    {
        QFETCH(bool, programDirReadOnly);
        QFETCH(bool, oldFileInProgramDir);
        QFETCH(bool, save);
        QFETCH(bool, root);
        test::FormatsContext t;
        const QString programFile = QDir(t.paths.programDir).filePath("defaults");
        const QByteArray old = defaultsWith(values(85, 1));
        if (oldFileInProgramDir)
            writeFileAtomically(programFile, old);
        t.paths.programDirReadOnly = programDirReadOnly;
        t.paths.runsAsRoot = root;
        for (int i = 0; i < kImageSize; ++i)
            t.state.workingImage[i] = quint8(200 - i);
        if (save) {
            const SaveDefaultsResult r = saveAsDefault(t.state, t.paths);
            QCOMPARE(r.error, QString());
            const bool user = programDirReadOnly || root;
            QCOMPARE(r.path, QDir(user ? t.paths.userDataDir : t.paths.programDir).filePath("defaults"));
        }
        ProgramState next;
        loadDefaults(next, t.paths);
        QCOMPARE(next.defaultImage, save ? t.state.workingImage : factoryImage());
        if (oldFileInProgramDir) {
            QByteArray bytes;
            QVERIFY(readWholeFile(programFile, &bytes));
            QCOMPARE(bytes, old); // the program's directory was not written
        }
    }

    void saveAsDefaultThenReload()
    {
        test::FormatsContext t;
        for (int i = 0; i < kImageSize; ++i)
            t.state.workingImage[i] = quint8(255 - i);
        t.state.savedImage = factoryImage();
        const SaveDefaultsResult r = saveAsDefault(t.state, t.paths);
        QCOMPARE(r.error, QString());
        QCOMPARE(r.path, QDir(t.paths.programDir).filePath("defaults"));
        QCOMPARE(t.state.defaultImage, t.state.workingImage);
        QCOMPARE(t.state.savedImage, factoryImage()); // saving defaults does not count as saved
        QByteArray bytes;
        QVERIFY(readWholeFile(r.path, &bytes));
        QCOMPARE(bytes.count("\r\n"), 86);

        ProgramState next;
        loadDefaults(next, t.paths);
        QCOMPARE(next.defaultImage, t.state.workingImage);
    }

    void saveAsDefaultFallsBackToUserDir()
    {
        // A failed write in the program's directory (it is a file here, so
        // even root cannot write into it) goes on to the per-user directory.
        test::FormatsContext t;
        writeFileAtomically(t.path("blocker"), "x");
        t.paths.programDir = t.path("blocker/program");
        t.state.workingImage[3] = 99;
        const SaveDefaultsResult r = saveAsDefault(t.state, t.paths);
        QCOMPARE(r.error, QString());
        QCOMPARE(r.path, QDir(t.paths.userDataDir).filePath("defaults"));
        QCOMPARE(int(t.state.defaultImage[3]), 99);
        ProgramState next;
        QCOMPARE(loadDefaults(next, t.paths), r.path);
        QCOMPARE(int(next.defaultImage[3]), 99);
    }

    void saveAsDefaultReportsFailure_data()
    {
        QTest::addColumn<bool>("programDirReadOnly");
        QTest::addColumn<bool>("root");
        QTest::addColumn<QString>("userDataDir");
        // Both places are plain files, so no directory can be made there.
        QTest::newRow("neither place can take the file") << false << false << "blocker/user";
        // Nowhere to go is a failure, not a silent success.
        QTest::newRow("read-only program directory, no data directory") << true << false << "";
        QTest::newRow("root without a data directory") << false << true << "";
    }
    void saveAsDefaultReportsFailure()
    {
        QFETCH(bool, programDirReadOnly);
        QFETCH(bool, root);
        QFETCH(QString, userDataDir);
        test::FormatsContext t;
        writeFileAtomically(t.path("blocker"), "x");
        t.paths.programDir = root ? t.paths.programDir : t.path("blocker/program");
        t.paths.userDataDir = userDataDir.isEmpty() ? QString() : t.path(userDataDir);
        t.paths.programDirReadOnly = programDirReadOnly;
        t.paths.runsAsRoot = root;
        const ConfigImage before = t.state.defaultImage;
        t.state.workingImage[0] = 1;
        const SaveDefaultsResult r = saveAsDefault(t.state, t.paths);
        QVERIFY(!r.error.isEmpty());
        QCOMPARE(t.state.defaultImage, before);
        QVERIFY(!QFile::exists(QDir(t.paths.programDir).filePath("defaults")));
    }
};

QTEST_APPLESS_MAIN(TestDefaults)
#include "tst_defaults.moc"
