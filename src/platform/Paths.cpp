#include "platform/Paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace q5n {

Paths Paths::system()
{
    Paths p;
    p.workingDir = QDir::currentPath();
    p.programDir = QCoreApplication::applicationDirPath();
    p.runsAsRoot = ::geteuid() == 0;
    p.userDataDir = p.runsAsRoot ? rootDataDir() : QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    p.programDirReadOnly = ::access(QFile::encodeName(p.programDir).constData(), W_OK) != 0;
    return p;
}

QString Paths::rootDataDir()
{
    // Under sudo or pkexec HOME and XDG_DATA_HOME may still be the calling
    // user's: root's files would land in that user's home. Root's home is
    // taken from the user database instead.
    const passwd *root = ::getpwuid(0);
    if (!root || !root->pw_dir || root->pw_dir[0] != '/')
        return {};
    return QDir::cleanPath(QFile::decodeName(root->pw_dir) + QStringLiteral("/.local/share/") +
                           QCoreApplication::applicationName());
}

namespace {

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QString folderNotWritable(const QString &file)
{
    return QStringLiteral("You may not create files in the folder \"%1\".")
        .arg(QDir::toNativeSeparators(QFileInfo(file).absolutePath()));
}

QString foreignLink(const QString &file)
{
    return QStringLiteral("\"%1\" is a symbolic link that belongs to another user; it is not followed.")
        .arg(QDir::toNativeSeparators(file));
}

QString foreignFile(const QString &file)
{
    return QStringLiteral("\"%1\" belongs to another user; it is not replaced.").arg(QDir::toNativeSeparators(file));
}

// A descriptor closed when it goes out of scope.
class Fd
{
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    ~Fd() { reset(); }
    Fd(Fd &&other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    Fd &operator=(Fd &&other) noexcept
    {
        if (this != &other)
            reset(std::exchange(other.m_fd, -1));
        return *this;
    }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    void reset(int fd = -1)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }
    // Closes now and says whether the system took the close without an error.
    int closeReportingError()
    {
        const int result = ::close(std::exchange(m_fd, -1));
        return result == 0 ? 0 : errno;
    }

private:
    int m_fd;
};

// A name in a folder that is held open: every later step looks the name up in
// that same folder, wherever the folder's path may lead by then.
struct Place
{
    Fd folder;
    QByteArray name;
    QString shown; // the path as messages name it
};

// Opens the folder of `path` (a relative path counts from the folder `base`)
// into `place`. Returns 0 or the system's error.
int openPlace(int base, QByteArray path, const QString &shown, Place &place)
{
    while (path.size() > 1 && path.endsWith('/'))
        path.chop(1);
    const qsizetype slash = path.lastIndexOf('/');
    QByteArray folder;
    if (slash < 0) {
        folder = ".";
        place.name = path;
    } else {
        folder = slash == 0 ? QByteArray("/") : path.left(slash);
        place.name = path.mid(slash + 1);
    }
    if (place.name.isEmpty()) // the root folder itself
        place.name = ".";
    place.folder.reset(::openat(base, folder.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    place.shown = shown;
    return place.folder.valid() ? 0 : errno;
}

// What a symbolic link holds, read from the link's own descriptor. Returns 0
// or the system's error.
int readLinkTarget(int link, QByteArray *target)
{
    QByteArray buffer(256, Qt::Uninitialized);
    for (;;) {
        const ssize_t n = ::readlinkat(link, "", buffer.data(), size_t(buffer.size()));
        if (n < 0)
            return errno;
        if (n < buffer.size()) {
            *target = buffer.left(n);
            return 0;
        }
        if (buffer.size() >= 65536)
            return ENAMETOOLONG;
        buffer.resize(buffer.size() * 2);
    }
}

bool memberOfGroup(gid_t group)
{
    if (::getegid() == group)
        return true;
    const int count = ::getgroups(0, nullptr);
    if (count <= 0)
        return false;
    std::vector<gid_t> groups(static_cast<std::size_t>(count));
    const int got = ::getgroups(count, groups.data());
    return got > 0 && std::find(groups.begin(), groups.begin() + got, group) != groups.begin() + got;
}

// The permissions a new file gets: 0666 less the process's umask. The mask is
// read without being changed (changing it, even for a moment, would touch the
// files other threads create meanwhile).
mode_t newFileMode()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : status.readAll().split('\n'))
            if (line.startsWith("Umask:")) {
                bool ok = false;
                const uint mask = line.mid(6).trimmed().toUInt(&ok, 8);
                if (ok)
                    return mode_t(0666 & ~mask);
            }
    }
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return 0666 & ~mask;
}

// A fresh file beside `name` in `folder` that only the user may read: the
// name is its own, made with O_EXCL, never through a link.
Fd createPrivateFile(int folder, const QByteArray &name, QByteArray *made)
{
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        QByteArray candidate = '.' + name + '.';
        for (int i = 0; i < 6; ++i)
            candidate += kLetters[QRandomGenerator::system()->bounded(int(sizeof kLetters - 1))];
        Fd fd(::openat(folder, candidate.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (fd.valid() || errno != EEXIST) {
            *made = candidate;
            return fd;
        }
    }
    errno = EEXIST;
    return Fd();
}

} // namespace

QString writeFileAtomically(const QString &path, const QByteArray &bytes)
{
    const uid_t user = ::geteuid();
    Place place;
    if (const int error = openPlace(AT_FDCWD, QFile::encodeName(path), path, place))
        return systemReason(error);

    // What is at the name is looked at through a descriptor of the entry itself
    // (O_PATH without following a link): the owner checked and the link read
    // are those of one and the same entry, whatever is put at the name
    // meanwhile. Only the user's own links are followed: another user's link
    // in a shared folder must not turn a save into a write to a file of their
    // choosing. A new name is taken at once (created private and empty, never
    // through a link), so nobody can put anything there before the rename.
    struct stat old = {};
    bool created = false;
    for (int step = 0;; ++step) {
        if (step == 40)
            return systemReason(ELOOP);
        const Fd entry(::openat(place.folder.get(), place.name.constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        if (!entry.valid()) {
            if (errno != ENOENT)
                return systemReason(errno);
            const Fd made(::openat(place.folder.get(), place.name.constData(),
                                   O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
            if (made.valid()) {
                if (::fstat(made.get(), &old) != 0)
                    return systemReason(errno);
                created = true;
                break;
            }
            if (errno == EACCES || errno == EPERM || errno == EROFS)
                return folderNotWritable(place.shown);
            if (errno != EEXIST) // EEXIST: the name was taken meanwhile; look again
                return systemReason(errno);
            continue;
        }
        if (::fstat(entry.get(), &old) != 0)
            return systemReason(errno);
        if (!S_ISLNK(old.st_mode))
            break;
        if (old.st_uid != user)
            return foreignLink(place.shown);
        QByteArray target;
        if (const int error = readLinkTarget(entry.get(), &target))
            return systemReason(error);
        const QString linkTarget = QFile::decodeName(target);
        const QString shown = QDir::cleanPath(
            QDir::isAbsolutePath(linkTarget) ? linkTarget : QFileInfo(place.shown).absolutePath() + u'/' + linkTarget);
        Place next;
        if (const int error = openPlace(place.folder.get(), target, shown, next))
            return systemReason(error);
        place = std::move(next);
    }

    const int folder = place.folder.get();
    const QByteArray &name = place.name;
    const auto fail = [&](const QString &reason) {
        if (created)
            ::unlinkat(folder, name.constData(), 0);
        return reason;
    };
    if (S_ISDIR(old.st_mode))
        return fail(systemReason(EISDIR));
    // Another user's file, FIFO, device or socket is not the user's to replace,
    // nor is its mode one the user chose.
    if (old.st_uid != user)
        return fail(foreignFile(place.shown));
    // A file the user may not write stays as it is, as it would on a rewrite.
    if (user != 0 && (old.st_mode & S_IWUSR) == 0)
        return fail(systemReason(EACCES));

    // The new content goes to a fresh file beside the target that only the
    // user may read while it is written; it is synced, given its final mode,
    // then renamed over the target. rename() replaces the name itself: a link
    // put there since the check above is replaced, never followed.
    QByteArray temp;
    Fd fd = createPrivateFile(folder, name, &temp);
    if (!fd.valid()) {
        const int error = errno;
        const bool refused = error == EACCES || error == EPERM || error == EROFS;
        if (refused || ::faccessat(folder, ".", W_OK, AT_EACCESS) != 0)
            return fail(folderNotWritable(place.shown));
        return fail(systemReason(error));
    }
    const auto failWithTemp = [&](int error) {
        fd.reset();
        ::unlinkat(folder, temp.constData(), 0);
        return fail(systemReason(error));
    };
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd.get(), bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return failWithTemp(n < 0 ? errno : ENOSPC);
        done += n;
    }
    if (::fsync(fd.get()) != 0)
        return failWithTemp(errno);

    // The final mode: that of the user's own file being replaced, else the
    // one any new file of the user gets. The replaced file's group stays when
    // the user belongs to it; a group that cannot be kept gets no access
    // (its permissions would otherwise go to the user's own group).
    const bool replacing = !created && S_ISREG(old.st_mode);
    mode_t mode = replacing ? old.st_mode & 07777 : newFileMode();
    struct stat fresh = {};
    if (::fstat(fd.get(), &fresh) != 0)
        return failWithTemp(errno);
    if (replacing && fresh.st_gid != old.st_gid) {
        const bool kept = (user == 0 || memberOfGroup(old.st_gid)) && ::fchown(fd.get(), uid_t(-1), old.st_gid) == 0;
        if (!kept)
            mode &= ~mode_t(S_IRWXG | S_ISGID);
    }
    if (::fchmod(fd.get(), mode) != 0)
        return failWithTemp(errno);
    if (const int error = fd.closeReportingError()) {
        ::unlinkat(folder, temp.constData(), 0);
        return fail(systemReason(error));
    }
    if (::renameat(folder, temp.constData(), folder, name.constData()) != 0) {
        const int error = errno;
        ::unlinkat(folder, temp.constData(), 0);
        return fail(systemReason(error));
    }
    return {};
}

OpenStatus openRegularFile(const QString &path, QFile &file, bool mustBePrivate, QString *reason)
{
    // Non-blocking, so that opening a FIFO does not wait for a writer; the
    // flag is taken off again once the file is known to be a regular one.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        if (reason)
            *reason = QString::fromLocal8Bit(std::strerror(errno));
        return OpenStatus::Failed;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return OpenStatus::NotRegularFile;
    }
    if (mustBePrivate && (st.st_uid != ::geteuid() || (st.st_mode & (S_IWGRP | S_IWOTH)) != 0)) {
        ::close(fd);
        return OpenStatus::NotPrivate;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    file.setFileName(path);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        if (reason)
            *reason = file.errorString();
        ::close(fd);
        return OpenStatus::Failed;
    }
    return OpenStatus::Opened;
}

bool readWholeFile(const QString &path, QByteArray *bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    *bytes = file.readAll();
    return file.error() == QFileDevice::NoError;
}

} // namespace q5n
