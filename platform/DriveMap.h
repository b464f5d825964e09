#pragma once
// Drive texts ("E:") are the one name of a volume from the selection to the job. This map gives each
// volume (a block device or an image file) a drive text for the run of the program and remembers what it
// saw under it, so that a drive text whose device has gone or been replaced never opens another one.

#include <QString>
#include <optional>
#include <vector>
#include <QByteArray>
#include <cstdint>
#include <sys/types.h>

namespace platform {

struct DriveEntry {
    QString drive;      // "C:" .. "Z:"
    QString path;       // device node or image file
    bool blockDevice = false;
    dev_t rdev = 0;     // device number of a block device
    dev_t dev = 0;      // file system and inode of an image file
    ino_t ino = 0;
    std::uint64_t size = 0;
    QByteArray bootSector; // the first 512 bytes: a job never changes them, another volume has others
    bool bootKnown = false; // false when the volume could not be read when it was mapped (no permission)
};

class DriveMap {
public:
    // The drive text of path, assigning the next free letter from C: the first time the path is seen.
    // Empty when the path cannot be examined, is neither a regular file nor a block device, or every
    // letter is taken.
    static QString Assign(const QString& path);
    static std::optional<DriveEntry> Resolve(const QString& drive);
    // Frees a drive text for reuse (the test suites run many volumes in one process).
    static void Release(const QString& drive);
    // Every mapped volume, in drive-letter order.
    static std::vector<DriveEntry> All();
    // Whether the open file fd is still the volume that was recorded under the entry.
    static bool Matches(const DriveEntry& entry, int fd);
};

} // namespace platform
