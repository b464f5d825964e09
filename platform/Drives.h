#pragma once
// What the volume enumeration asks of the machine, in the shape it has always asked it: a mask of present
// drive letters, each drive's type and label, a raw read of its boot sector, and the storage device's
// descriptor. The Linux layer answers from the drive map; the tests answer from a table.

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>

namespace platform {

enum DriveType : int {
    DRIVE_UNKNOWN = 0,
    DRIVE_NO_ROOT_DIR = 1,
    DRIVE_REMOVABLE = 2,
    DRIVE_FIXED = 3,
    DRIVE_REMOTE = 4,
    DRIVE_CDROM = 5,
    DRIVE_RAMDISK = 6,
};

enum class BootRead { Read, OpenFailed, PermissionDenied };

// The storage descriptor's buffer: 551 bytes, its Size field at 4, string offsets at 16 and 20, the bus at 28.
constexpr std::size_t kDescriptorBytes = 551;

class DriveLayer {
public:
    virtual ~DriveLayer() = default;
    // Bit 0 stands for A:, bit 25 for Z:.
    virtual std::uint32_t LogicalDrives() = 0;
    // rootPath is the drive text and a backslash, "E:\".
    virtual int TypeOfDrive(const QString& rootPath) = 0;
    // False when no label can be read.
    virtual bool VolumeLabel(const QString& rootPath, QByteArray& label) = 0;
    // Opens the volume for reading, reads its first 512 bytes into sector (zeros where nothing came), closes it.
    virtual BootRead ReadBootSector(const QString& drive, std::uint8_t* sector) = 0;
    // Fills descriptor (kDescriptorBytes, zeroed, Size preset) for devicePath ("\\.\E:"); false when the
    // device cannot be opened or does not answer.
    virtual bool QueryStorageProperty(const QString& devicePath, std::uint8_t* descriptor) = 0;
};

// The machine's drives; the tests put a fake in their place.
DriveLayer& Drives();
void SetDrivesForTesting(DriveLayer* layer);

} // namespace platform
