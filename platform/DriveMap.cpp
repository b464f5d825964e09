#include "platform/DriveMap.h"

#include <QFileInfo>
#include <map>
#include <mutex>
#include <sys/stat.h>

namespace platform {
namespace {
std::mutex g_mutex;
std::map<QString, DriveEntry>& Entries()
{
    static std::map<QString, DriveEntry> entries;
    return entries;
}

bool Describe(const struct stat& st, DriveEntry& e)
{
    if (S_ISBLK(st.st_mode)) {
        e.blockDevice = true;
        e.rdev = st.st_rdev;
        return true;
    }
    if (S_ISREG(st.st_mode)) {
        e.blockDevice = false;
        e.dev = st.st_dev;
        e.ino = st.st_ino;
        return true;
    }
    return false;
}

bool SameVolume(const DriveEntry& a, const DriveEntry& b)
{
    return a.blockDevice == b.blockDevice && (a.blockDevice ? a.rdev == b.rdev : (a.dev == b.dev && a.ino == b.ino));
}
} // namespace

QString DriveMap::Assign(const QString& path)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    struct stat st {};
    DriveEntry wanted;
    if (::stat(QFile::encodeName(absolute).constData(), &st) != 0 || !Describe(st, wanted))
        return {};
    wanted.path = absolute;

    std::lock_guard lock(g_mutex);
    auto& entries = Entries();
    for (const auto& [drive, e] : entries)
        if (e.path == absolute && SameVolume(e, wanted))
            return drive;
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

void DriveMap::Release(const QString& drive)
{
    std::lock_guard lock(g_mutex);
    Entries().erase(drive.toUpper());
}

bool DriveMap::Matches(const DriveEntry& entry, int fd)
{
    struct stat st {};
    DriveEntry seen;
    return ::fstat(fd, &st) == 0 && Describe(st, seen) && SameVolume(entry, seen);
}

} // namespace platform
