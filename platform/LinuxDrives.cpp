#include "platform/LinuxDrives.h"

#include "platform/DriveMap.h"
#include "platform/RawVolume.h"
#include "rebuild/UNtfsFat.h"

#include <QFile>
#include <blkid/blkid.h>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace platform {
namespace {
DriveLayer* g_testLayer = nullptr;

QString DriveOf(const QString& path) { return path.left(2).toUpper(); }

// The volume behind a drive text is still there: the same device node, or the file.
bool Present(const DriveEntry& e)
{
    struct stat st {};
    if (::stat(QFile::encodeName(e.path).constData(), &st) != 0)
        return false;
    return e.blockDevice ? S_ISBLK(st.st_mode) && st.st_rdev == e.rdev : S_ISREG(st.st_mode);
}
} // namespace

DriveLayer& Drives()
{
    static LinuxDrives machine;
    return g_testLayer ? *g_testLayer : machine;
}

void SetDrivesForTesting(DriveLayer* layer) { g_testLayer = layer; }

LinuxDrives::LinuxDrives(SysBlock sys) : sys_(std::move(sys)) {}

std::uint32_t LinuxDrives::LogicalDrives()
{
    for (const BlockVolume& v : sys_.Volumes()) {
        const QString drive = DriveMap::Assign(v.node);
        if (!drive.isEmpty())
            removable_[drive] = v.removable;
    }
    std::uint32_t mask = 0;
    for (const DriveEntry& e : DriveMap::All())
        if (Present(e))
            mask |= 1u << (e.drive[0].unicode() - 'A');
    return mask;
}

int LinuxDrives::TypeOfDrive(const QString& rootPath)
{
    const QString drive = DriveOf(rootPath);
    const auto entry = DriveMap::Resolve(drive);
    if (!entry || !Present(*entry))
        return DRIVE_NO_ROOT_DIR;
    const auto known = removable_.find(drive);
    return entry->blockDevice && known != removable_.end() && known->second ? DRIVE_REMOVABLE : DRIVE_FIXED;
}

bool LinuxDrives::VolumeLabel(const QString& rootPath, QByteArray& label)
{
    const auto entry = DriveMap::Resolve(DriveOf(rootPath));
    return entry && ProbeLabel(entry->path, label);
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
    if (!devicePath.startsWith(QLatin1String("\\\\.\\")))
        return false;
    const auto entry = DriveMap::Resolve(devicePath.mid(4));
    if (!entry || !Present(*entry))
        return false;
    if (!entry->blockDevice) { // an image file: a device on no bus the table names
        FillDescriptor(descriptor, {{}, {}, BusFileBackedVirtual});
        return true;
    }
    const auto id = sys_.Identify(entry->rdev);
    if (!id)
        return false;
    FillDescriptor(descriptor, *id);
    return true;
}

bool ProbeLabel(const QString& path, QByteArray& label)
{
    label.clear();
    blkid_probe probe = blkid_new_probe_from_filename(QFile::encodeName(path).constData());
    if (!probe)
        return false;
    blkid_probe_enable_superblocks(probe, 1);
    blkid_probe_set_superblocks_flags(probe, BLKID_SUBLKS_LABEL);
    const char* value = nullptr;
    const bool found = blkid_do_safeprobe(probe) == 0 && blkid_probe_lookup_value(probe, "LABEL", &value, nullptr) == 0 && value;
    if (found)
        label = QByteArray(value);
    blkid_free_probe(probe);
    return found;
}

void FillDescriptor(std::uint8_t* d, const DeviceIdentity& id)
{
    // The fixed part of a STORAGE_DEVICE_DESCRIPTOR is 36 bytes and a byte of raw properties; the strings
    // follow it, each ended by a NUL. Size covers them and two bytes more, which a reader never takes.
    std::size_t at = 37;
    auto put = [&](const QByteArray& text, std::size_t field) {
        if (text.isEmpty() || at >= kDescriptorBytes)
            return;
        fat::PutLe32(d + field, std::uint32_t(at));
        const std::size_t n = std::min<std::size_t>(std::size_t(text.size()), kDescriptorBytes - at - 1);
        std::memcpy(d + at, text.constData(), n);
        d[at + n] = 0;
        at += n + 1;
    };
    fat::PutLe32(d + 0, 1);
    put(id.product, 16);
    put(id.revision, 20);
    fat::PutLe32(d + 28, id.bus);
    fat::PutLe32(d + 4, std::uint32_t(at + 2));
}

} // namespace platform
