#include "platform/LinuxDrives.h"

#include "platform/DriveMap.h"
#include "platform/RawVolume.h"
#include "rebuild/UNtfsFat.h"

#include <cerrno>
#include <cstring>

namespace platform {
namespace {
DriveLayer* g_testLayer = nullptr;

QString DriveOf(const QString& path) { return path.left(2).toUpper(); }
} // namespace

DriveLayer& Drives()
{
    static LinuxDrives machine;
    return g_testLayer ? *g_testLayer : machine;
}

void SetDrivesForTesting(DriveLayer* layer) { g_testLayer = layer; }

std::uint32_t LinuxDrives::LogicalDrives()
{
    std::uint32_t mask = 0;
    for (int i = 0; i < 26; ++i)
        if (DriveMap::Resolve(QString(QLatin1Char(char('A' + i))) + QLatin1Char(':')))
            mask |= 1u << i;
    return mask;
}

int LinuxDrives::TypeOfDrive(const QString& rootPath)
{
    const auto entry = DriveMap::Resolve(DriveOf(rootPath));
    if (!entry)
        return DRIVE_NO_ROOT_DIR;
    return DRIVE_FIXED; // an image file stays where it is
}

bool LinuxDrives::VolumeLabel(const QString& rootPath, QByteArray& label)
{
    // The label the boot sector carries (BS_VolLab at 71), without its padding; "NO NAME" is none.
    std::uint8_t sector[512] = {};
    if (ReadBootSector(DriveOf(rootPath), sector) != BootRead::Read || !fat::HasFat32Label(sector))
        return false;
    label = QByteArray(reinterpret_cast<const char*>(sector + 71), 11);
    while (label.endsWith(' '))
        label.chop(1);
    if (label == "NO NAME")
        label.clear();
    return true;
}

BootRead LinuxDrives::ReadBootSector(const QString& drive, std::uint8_t* sector)
{
    std::memset(sector, 0, 512);
    errno = 0;
    Handle h = OpenVolumeForRead(drive);
    if (!h.valid())
        return errno == EACCES || errno == EPERM ? BootRead::PermissionDenied : BootRead::OpenFailed;
    if (SeekOffset32(h, 0))
        ReadBytes(h, sector, 512);
    CloseVolume(h);
    return BootRead::Read;
}

bool LinuxDrives::QueryStorageProperty(const QString& devicePath, std::uint8_t* descriptor)
{
    // An image file answers as a device on no known bus, without product or revision.
    if (!DriveMap::Resolve(devicePath.right(2)))
        return false;
    fat::PutLe32(descriptor + 28, 0xFF);
    return true;
}

} // namespace platform
