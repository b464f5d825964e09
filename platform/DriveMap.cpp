#include "platform/DriveMap.h"

#include <QFileInfo>
#include <map>
#include <mutex>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {
std::mutex g_mutex;
std::map<QString, DriveEntry>& Entries()
{
    static std::map<QString, DriveEntry> entries;
    return entries;
}

// What identifies the volume: its kind, device or inode, size and, when fd is open, its boot sector.
bool Describe(const struct stat& st, int fd, DriveEntry& e)
{
    if (S_ISBLK(st.st_mode)) {
        e.blockDevice = true;
        e.rdev = st.st_rdev;
        e.size = 0;
        if (fd >= 0 && ::ioctl(fd, BLKGETSIZE64, &e.size) != 0)
            return false;
    } else if (S_ISREG(st.st_mode)) {
        e.blockDevice = false;
        e.dev = st.st_dev;
        e.ino = st.st_ino;
        e.size = std::uint64_t(st.st_size);
    } else {
        return false;
    }
    e.bootKnown = fd >= 0;
    e.bootSector.clear();
    if (e.bootKnown) {
        e.bootSector = QByteArray(512, '\0');
        const ssize_t n = ::pread(fd, e.bootSector.data(), 512, 0);
        e.bootSector.resize(n > 0 ? qsizetype(n) : 0);
    }
    return true;
}

bool Describe(int fd, DriveEntry& e)
{
    struct stat st {};
    return ::fstat(fd, &st) == 0 && Describe(st, fd, e);
}

bool SameVolume(const DriveEntry& a, const DriveEntry& b)
{
    const bool sameNode = a.blockDevice ? a.rdev == b.rdev : (a.dev == b.dev && a.ino == b.ino);
    if (a.blockDevice != b.blockDevice || !sameNode)
        return false;
    // Size and boot sector are compared where both readings could see them.
    if (a.bootKnown && b.bootKnown)
        return a.size == b.size && a.bootSector == b.bootSector;
    return a.blockDevice || a.size == b.size;
}
} // namespace

QString DriveMap::Assign(const QString& path)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    DriveEntry wanted;
    const QByteArray name = QFile::encodeName(absolute);
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat st {};
    // A volume this user may not read is still mapped: the job then fails to open it and says so.
    const bool described = fd >= 0 ? Describe(fd, wanted) : (::stat(name.constData(), &st) == 0 && Describe(st, -1, wanted));
    if (fd >= 0)
        ::close(fd);
    if (!described)
        return {};
    wanted.path = absolute;

    std::lock_guard lock(g_mutex);
    auto& entries = Entries();
    for (auto& [drive, e] : entries)
        if (e.path == absolute) {
            if (!SameVolume(e, wanted)) // another volume under the same path: it is seen anew
                e = wanted, e.drive = drive;
            return drive;
        }
    for (char letter = 'C'; letter <= 'Z'; ++letter) {
        const QString drive = QString(QLatin1Char(letter)) + QLatin1Char(':');
        if (!entries.count(drive)) {
            wanted.drive = drive;
            entries[drive] = wanted;
            return drive;
        }
    }
    return {};
}

std::optional<DriveEntry> DriveMap::Resolve(const QString& drive)
{
    std::lock_guard lock(g_mutex);
    const auto it = Entries().find(drive.toUpper());
    if (it == Entries().end())
        return std::nullopt;
    return it->second;
}

std::vector<DriveEntry> DriveMap::All()
{
    std::lock_guard lock(g_mutex);
    std::vector<DriveEntry> all;
    for (const auto& [drive, e] : Entries())
        all.push_back(e);
    return all;
}

void DriveMap::Release(const QString& drive)
{
    std::lock_guard lock(g_mutex);
    Entries().erase(drive.toUpper());
}

bool DriveMap::Matches(const DriveEntry& entry, int fd)
{
    DriveEntry seen;
    return Describe(fd, seen) && SameVolume(entry, seen);
}

} // namespace platform
