// Saves and Print to File as one local user while another plays the attacker:
// an ordinary user made for the test saves, nobody (65534) plants files and
// links in the folders both may write and swaps links while the saves run.
// Needs root (to give files away and to act as both users); skipped otherwise.

#include "platform/Paths.h"
#include "shell/DesktopCommands.h"
#include "shell/MainWindow.h"
#include "support/TestContext.h"

#include <QAction>
#include <QDir>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <memory>
#include <pwd.h>
#include <sched.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace q5n;

namespace {

constexpr uid_t kNobody = 65534;
// Groups that exist only for the test: one the saving user is put in, one it is not.
constexpr gid_t kSharedGroup = 64990;
constexpr gid_t kOtherGroup = 64991;
const char kVictimName[] = "q5nsaver";

struct Victim
{
    uid_t uid = 0;
    gid_t gid = 0;
};

// The ordinary user who saves, added to this machine the first time (useradd).
std::optional<Victim> victimUser()
{
    if (::geteuid() != 0)
        return std::nullopt;
    if (!::getpwnam(kVictimName)) {
        const QString useradd = QStandardPaths::findExecutable(QStringLiteral("useradd"),
                                                               {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")});
        QProcess::execute(useradd, {QStringLiteral("--no-create-home"), QStringLiteral("--user-group"),
                                    QStringLiteral("--shell"), QStringLiteral("/usr/sbin/nologin"),
                                    QString::fromLatin1(kVictimName)});
    }
    const passwd *pw = ::getpwnam(kVictimName);
    if (!pw)
        return std::nullopt;
    return Victim{pw->pw_uid, pw->pw_gid};
}

// The process acts as `victim` (effective ids, and the shared group besides
// its own) while the scope lasts.
class AsVictim
{
public:
    explicit AsVictim(const Victim &victim)
    {
        const gid_t groups[] = {victim.gid, kSharedGroup};
        m_ok = ::setgroups(2, groups) == 0 && ::setegid(victim.gid) == 0 && ::seteuid(victim.uid) == 0;
    }
    ~AsVictim()
    {
        if (::seteuid(0) != 0 || ::setegid(0) != 0 || ::setgroups(0, nullptr) != 0)
            std::abort(); // the rest of the run would not be root
    }
    bool ok() const { return m_ok; }

private:
    bool m_ok = false;
};

class Umask
{
public:
    explicit Umask(mode_t mask) : m_old(::umask(mask)) {}
    ~Umask() { ::umask(m_old); }

private:
    mode_t m_old;
};

QByteArray native(const QString &path)
{
    return QFile::encodeName(path);
}

bool giveAway(const QString &path, uid_t uid, gid_t gid)
{
    return ::lchown(native(path).constData(), uid, gid) == 0;
}

// Folders for one test: the victim's own home (0700), and a folder anyone may
// write, sticky as /tmp or not.
struct Scene
{
    // `base`: where the folders go (a template for QTemporaryDir), by default the temporary folder.
    explicit Scene(const Victim &v, bool sticky = false, const QString &base = {})
        : dir(base.isEmpty() ? QDir::tempPath() + u"/tst_foreignsaves-XXXXXX" : base), victim(v)
    {
        ::chmod(native(dir.path()).constData(), 0755);
        home = dir.filePath(QStringLiteral("home"));
        shared = dir.filePath(QStringLiteral("shared"));
        ready = QDir().mkdir(home) && QDir().mkdir(shared) && giveAway(home, v.uid, v.gid) &&
                ::chmod(native(home).constData(), 0700) == 0 &&
                ::chmod(native(shared).constData(), sticky ? 01777 : 0777) == 0;
    }
    // A file with `content`, then given to `uid`:`gid` with `mode`.
    bool file(const QString &path, const QByteArray &content, uid_t uid, gid_t gid, mode_t mode) const
    {
        QFile f(path);
        return f.open(QIODevice::WriteOnly) && f.write(content) == content.size() && (f.close(), true) &&
               giveAway(path, uid, gid) && ::chmod(native(path).constData(), mode) == 0;
    }
    bool link(const QString &target, const QString &path, uid_t uid, gid_t gid) const
    {
        return QFile::link(target, path) && giveAway(path, uid, gid);
    }
    QStringList entries(const QString &folder) const
    {
        return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }

    QTemporaryDir dir;
    Victim victim;
    QString home;
    QString shared;
    bool ready = false;
};

enum class Planted { Nothing, OwnFile, NobodysFile, NobodysFifo, NobodysDevice, NobodysSocket };
enum class Group { Own, Shared, Other };

// Puts what nobody plants at `path` (a socket is bound and closed: its name stays).
bool plant(const Scene &scene, Planted what, const QString &path)
{
    const QByteArray name = native(path);
    switch (what) {
    case Planted::NobodysFile: return scene.file(path, "nobody's own words", kNobody, kNobody, 0666);
    case Planted::NobodysFifo: return ::mkfifo(name.constData(), 0666) == 0 && giveAway(path, kNobody, kNobody);
    case Planted::NobodysDevice: // the null device's numbers
        return ::mknod(name.constData(), S_IFCHR | 0666, makedev(1, 3)) == 0 && giveAway(path, kNobody, kNobody);
    case Planted::NobodysSocket: {
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        if (size_t(name.size()) >= sizeof address.sun_path)
            return false;
        std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
        const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
        const bool bound = s >= 0 && ::bind(s, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
        if (s >= 0)
            ::close(s);
        return bound && ::chmod(name.constData(), 0666) == 0 && giveAway(path, kNobody, kNobody);
    }
    case Planted::Nothing:
    case Planted::OwnFile: break;
    }
    return true;
}

struct stat lstatOf(const QString &path)
{
    struct stat st = {};
    if (::lstat(native(path).constData(), &st) != 0)
        st.st_ino = 0;
    return st;
}

QString foreignLinkMessage(const QString &path)
{
    return QStringLiteral("\"%1\" is a symbolic link that belongs to another user; it is not followed.").arg(path);
}

QString foreignFileMessage(const QString &path)
{
    return QStringLiteral("\"%1\" belongs to another user; it is not replaced.").arg(path);
}

// nobody, swapping two names of a folder (RENAME_EXCHANGE) as fast as it can
// until it is killed, on processor `cpu` when it is not -1; `swaps` (shared
// memory) counts the exchanges, and the first one is told through `started`.
pid_t startSwapper(const QByteArray &first, const QByteArray &second, std::atomic<long> *swaps, int started, int cpu)
{
    const pid_t pid = ::fork();
    if (pid != 0)
        return pid;
    // Ahead of everything else on the machine, so that it swaps all along the
    // saves, not only when a busy machine lets it run.
    ::setpriority(PRIO_PROCESS, 0, -20);
    if (cpu >= 0) {
        cpu_set_t set;
        CPU_ZERO(&set);
        CPU_SET(cpu, &set);
        ::sched_setaffinity(0, sizeof set, &set);
    }
    if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
        ::_exit(2);
    // Never outlives the test, whatever ends it (set after setuid, which clears it).
    if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || ::getppid() == 1)
        ::_exit(5);
    for (;;) {
        if (::renameat2(AT_FDCWD, first.constData(), AT_FDCWD, second.constData(), RENAME_EXCHANGE) != 0)
            ::_exit(3);
        if (swaps->fetch_add(1) == 0 && ::write(started, "s", 1) != 1)
            ::_exit(4);
    }
}

} // namespace

Q_DECLARE_METATYPE(Planted)
Q_DECLARE_METATYPE(Group)

class TestForeignSaves : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        const auto v = victimUser();
        if (!v)
            QSKIP("needs root, to add the saving user and to act as it and as nobody");
        m_victim = *v;
    }

    // What a save leaves at the name: the user's own file keeps its mode (and
    // its group where the user belongs to it), a new file gets 0666 less the
    // umask, and another user's file, FIFO, device or socket is refused by
    // name and left as it is, with nothing of the user's beside it.
    void saveOverWhatIsThere_data()
    {
        QTest::addColumn<Planted>("planted");
        QTest::addColumn<bool>("sticky");
        QTest::addColumn<int>("oldMode");
        QTest::addColumn<Group>("oldGroup");
        QTest::addColumn<int>("mask");
        QTest::addColumn<bool>("refused");
        QTest::addColumn<int>("mode");
        QTest::addColumn<Group>("group");
        const auto row = [](const char *name, Planted planted, bool sticky, int oldMode, Group oldGroup, int mask,
                            bool refused, int mode, Group group) {
            QTest::newRow(name) << planted << sticky << oldMode << oldGroup << mask << refused << mode << group;
        };
        row("new file, umask 022", Planted::Nothing, false, 0, Group::Own, 022, false, 0644, Group::Own);
        row("new file, umask 027", Planted::Nothing, false, 0, Group::Own, 027, false, 0640, Group::Own);
        row("new file, umask 077", Planted::Nothing, true, 0, Group::Own, 077, false, 0600, Group::Own);
        row("own file 0640", Planted::OwnFile, false, 0640, Group::Own, 077, false, 0640, Group::Own);
        row("own file 0604", Planted::OwnFile, false, 0604, Group::Own, 022, false, 0604, Group::Own);
        row("own file 0660 of a group the user is in", Planted::OwnFile, false, 0660, Group::Shared, 022, false, 0660,
            Group::Shared);
        row("own file 0660 of a group the user left", Planted::OwnFile, false, 0660, Group::Other, 022, false, 0600,
            Group::Own);
        row("nobody's 0666 file", Planted::NobodysFile, false, 0, Group::Own, 022, true, 0, Group::Own);
        row("nobody's 0666 file, sticky folder", Planted::NobodysFile, true, 0, Group::Own, 022, true, 0, Group::Own);
        row("nobody's FIFO", Planted::NobodysFifo, false, 0, Group::Own, 022, true, 0, Group::Own);
        row("nobody's FIFO, sticky folder", Planted::NobodysFifo, true, 0, Group::Own, 022, true, 0, Group::Own);
        row("nobody's device", Planted::NobodysDevice, false, 0, Group::Own, 022, true, 0, Group::Own);
        row("nobody's socket", Planted::NobodysSocket, false, 0, Group::Own, 022, true, 0, Group::Own);
    }
    void saveOverWhatIsThere()
    {
        QFETCH(Planted, planted);
        QFETCH(bool, sticky);
        QFETCH(int, oldMode);
        QFETCH(Group, oldGroup);
        QFETCH(int, mask);
        const Scene scene(m_victim, sticky);
        QVERIFY(scene.ready);
        const auto gidOf = [&](Group g) {
            return g == Group::Shared ? kSharedGroup : g == Group::Other ? kOtherGroup : m_victim.gid;
        };
        const QString target = scene.shared + "/site.cfg";
        if (planted == Planted::OwnFile)
            QVERIFY(scene.file(target, "old", m_victim.uid, gidOf(oldGroup), mode_t(oldMode)));
        QVERIFY(plant(scene, planted, target));
        const struct stat before = lstatOf(target);
        const QByteArray secret = "the user's configuration\r\n";
        QString error;
        {
            const Umask masked{mode_t(mask)};
            const AsVictim as(m_victim);
            QVERIFY(as.ok());
            error = writeFileAtomically(target, secret);
        }
        QFETCH(bool, refused);
        QCOMPARE(error, refused ? foreignFileMessage(target) : QString());
        QCOMPARE(scene.entries(scene.shared), QStringList{"site.cfg"});
        const struct stat after = lstatOf(target);
        if (refused) {
            QCOMPARE(after.st_ino, before.st_ino);
            QCOMPARE(after.st_uid, kNobody);
            QCOMPARE(after.st_mode, before.st_mode);
            if (planted == Planted::NobodysFile) {
                QByteArray kept;
                QVERIFY(readWholeFile(target, &kept));
                QCOMPARE(kept, QByteArray("nobody's own words"));
            }
            return;
        }
        QFETCH(int, mode);
        QFETCH(Group, group);

        qInfo("saved with mode %o, group %u", unsigned(after.st_mode & 07777), unsigned(after.st_gid));
        QVERIFY(S_ISREG(after.st_mode));
        QCOMPARE(after.st_uid, m_victim.uid);
        QCOMPARE(QString::number(after.st_mode & 07777, 8), QString::number(mode, 8));
        QCOMPARE(after.st_gid, gidOf(group));
        QByteArray saved;
        QVERIFY(readWholeFile(target, &saved));
        QCOMPARE(saved, secret);
    }

    // The user's own link in a folder others may write: nobody swaps it with a
    // link of theirs to another file of the user's as fast as it can. A save
    // either goes where the user's link points or is refused naming the link;
    // it never lands on the file nobody's link names.
    void ownLinkSwappedByAnotherUser()
    {
        // In memory (tmpfs) where there is one: millions of renames would
        // otherwise fill the disk's journal and make every save wait for it.
        const bool inMemory = QFileInfo(QStringLiteral("/dev/shm")).isDir();
        const Scene scene(m_victim, false, inMemory ? QStringLiteral("/dev/shm/tst_foreignsaves-XXXXXX") : QString());
        QVERIFY(scene.ready);
        const QString mine = scene.home + "/mine.cfg";
        const QString precious = scene.home + "/precious";
        const QString link = scene.shared + "/site.cfg";
        const QString swap = scene.shared + "/.swap";
        QVERIFY(scene.file(mine, "first", m_victim.uid, m_victim.gid, 0600));
        QVERIFY(scene.file(precious, "precious", m_victim.uid, m_victim.gid, 0600));
        QVERIFY(scene.link(mine, link, m_victim.uid, m_victim.gid));
        QVERIFY(scene.link(precious, swap, kNobody, kNobody));

        auto *swaps = static_cast<std::atomic<long> *>(
            ::mmap(nullptr, sizeof(std::atomic<long>), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
        QVERIFY(swaps != MAP_FAILED);
        new (swaps) std::atomic<long>(0);
        int started[2];
        QVERIFY(::pipe(started) == 0);
        // The attacker and the saving thread each on a processor of their own
        // where there are two, so that the attacker swaps while a save runs.
        cpu_set_t saved;
        CPU_ZERO(&saved);
        ::sched_getaffinity(0, sizeof saved, &saved);
        std::vector<int> cpus;
        for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu)
            if (CPU_ISSET(cpu, &saved))
                cpus.push_back(cpu);
        const bool pinned = cpus.size() >= 2;
        const pid_t attacker = startSwapper(native(link), native(swap), swaps, started[1], pinned ? cpus[1] : -1);
        QVERIFY(attacker > 0);
        ::close(started[1]);
        char first = 0;
        const bool swapping = ::read(started[0], &first, 1) == 1;
        ::close(started[0]);

        constexpr int kTries = 1000;
        int followed = 0, refused = 0, redirected = 0, other = 0;
        QString otherError;
        {
            // The saving thread too comes back from each pause ahead of a busy
            // machine's other work.
            const int niceness = ::getpriority(PRIO_PROCESS, 0);
            ::setpriority(PRIO_PROCESS, 0, -20);
            if (pinned) {
                cpu_set_t one;
                CPU_ZERO(&one);
                CPU_SET(cpus[0], &one);
                ::sched_setaffinity(0, sizeof one, &one);
            }
            const auto restore = qScopeGuard([niceness, &saved] {
                ::setpriority(PRIO_PROCESS, 0, niceness);
                ::sched_setaffinity(0, sizeof saved, &saved);
            });
            const AsVictim as(m_victim);
            for (int i = 0; as.ok() && swapping && i < kTries; ++i) {
                const QByteArray bytes = "save " + QByteArray::number(i);
                // A pause between saves, in which the attacker swaps many times:
                // each save then meets the names as they happen to be, not as
                // the last save left them.
                ::usleep(100);
                const QString error = writeFileAtomically(link, bytes);
                QByteArray atMine, atPrecious;
                readWholeFile(mine, &atMine);
                readWholeFile(precious, &atPrecious);
                if (atPrecious != "precious") {
                    ++redirected;
                    QFile restore(precious);
                    restore.open(QIODevice::WriteOnly);
                    restore.write("precious");
                } else if (error.isEmpty() && atMine == bytes) {
                    ++followed;
                } else if (error == foreignLinkMessage(link)) {
                    ++refused;
                } else {
                    ++other;
                    otherError = error;
                }
            }
        }
        ::kill(attacker, SIGKILL);
        int status = 0;
        ::waitpid(attacker, &status, 0);
        const long exchanges = swaps->load();
        ::munmap(swaps, sizeof(std::atomic<long>));
        qInfo("%d tries while nobody made %ld swaps: %d saved through the user's link, %d refused naming the link, "
              "%d redirected, %d otherwise",
              kTries, exchanges, followed, refused, redirected, other);
        QVERIFY2(swapping, "the attacker could not swap the links");
        QVERIFY(WIFSIGNALED(status)); // it swapped until it was stopped
        QCOMPARE(redirected, 0);
        QVERIFY2(other == 0, qPrintable(otherError));
        QCOMPARE(followed + refused, kTries);
        QCOMPARE(scene.entries(scene.home), (QStringList{"mine.cfg", "precious"}));
        QCOMPARE(scene.entries(scene.shared), (QStringList{".swap", "site.cfg"}));
    }

    // Print to File (PDF) saves as every other file: a link or a file nobody
    // put at the chosen name in a sticky folder is refused, the user's own
    // link is followed, and a new PDF gets 0666 less the umask. The user here
    // is the test's own (root), whose file nobody's link points at.
    void printToFileTakesTheSafeSave_data()
    {
        QTest::addColumn<QString>("planted");
        QTest::addColumn<QString>("message");
        QTest::newRow("nothing there") << ""
                                       << "";
        QTest::newRow("nobody's link to the user's file") << "nobody's link"
                                                          << "\"%1\" is a symbolic link that belongs to another user; "
                                                             "it is not followed.";
        QTest::newRow("nobody's 0666 file") << "nobody's file"
                                            << "\"%1\" belongs to another user; it is not replaced.";
        QTest::newRow("the user's own link") << "own link"
                                             << "";
    }
    void printToFileTakesTheSafeSave()
    {
        QFETCH(QString, planted);
        const Scene scene(m_victim, true);
        QVERIFY(scene.ready);
        const QString pdf = scene.shared + "/sheet.pdf";
        const QString precious = scene.dir.filePath("precious.cfg");
        QVERIFY(scene.file(precious, "precious", 0, 0, 0600));
        if (planted == "nobody's link")
            QVERIFY(scene.link(precious, pdf, kNobody, kNobody));
        else if (planted == "nobody's file")
            QVERIFY(scene.file(pdf, "nobody's own words", kNobody, kNobody, 0666));
        else if (planted == "own link")
            QVERIFY(scene.link(precious, pdf, 0, 0));

        test::TestContext ctx;
        auto main = std::make_unique<MainWindow>(ctx.context);
        main->desktopCommands()->setPrinterChooser([&](QPrinter &printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
            return true;
        });
        {
            const Umask masked{022};
            main->menuAction(QStringLiteral("mnuToolsPrint"))->trigger();
        }
        QFETCH(QString, message);
        const QString shown = ctx.prompter.messages.isEmpty() ? QString() : ctx.prompter.messages.last().text;
        QCOMPARE(shown, message.isEmpty() ? QString() : "The settings could not be printed.\n" + message.arg(pdf));
        QByteArray atPrecious, atPdf;
        QVERIFY(readWholeFile(precious, &atPrecious));
        readWholeFile(pdf, &atPdf);
        if (planted == "own link") {
            QVERIFY(QFileInfo(pdf).isSymLink());
            QVERIFY(atPrecious.startsWith("%PDF-"));
            QCOMPARE(QString::number(lstatOf(precious).st_mode & 07777, 8), QStringLiteral("600"));
            return;
        }
        QCOMPARE(atPrecious, QByteArray("precious"));
        if (!message.isEmpty()) {
            QCOMPARE(lstatOf(pdf).st_uid, kNobody);
            QVERIFY(!atPdf.startsWith("%PDF-"));
        } else {
            QVERIFY(atPdf.startsWith("%PDF-"));
            QVERIFY(atPdf.trimmed().endsWith("%%EOF"));
            QCOMPARE(QString::number(lstatOf(pdf).st_mode & 07777, 8), QStringLiteral("644"));
        }
        QCOMPARE(scene.entries(scene.shared), QStringList{"sheet.pdf"});
    }

private:
    Victim m_victim;
};

QTEST_MAIN(TestForeignSaves)
#include "tst_foreignsaves.moc"
