#include "selection/HddInfo.h"

#include "rebuild/UNtfsFat.h"

#include <array>
#include <vector>

namespace {
// The product and revision strings: bytes up to a NUL, below Size - 2 and the buffer's end, untrimmed.
QString DescriptorString(const std::uint8_t* d, std::uint32_t offset)
{
    QString text;
    if (offset == 0)
        return text;
    const std::int32_t size = std::int32_t(fat::Le32(d + 4));
    for (std::int64_t k = offset; k < std::int64_t(size) - 2 && k < std::int64_t(platform::kDescriptorBytes); ++k) {
        if (d[k] == 0)
            break;
        text.append(QChar(char16_t(d[k]))); // one character per byte
    }
    return text;
}
} // namespace

QString BusTypeText(std::uint32_t busType)
{
    static const char* const names[] = {"Unknow", "SCSI", "Atapi", "ATA", "1394", "SSA", "Fibre", "USB", "RAID"};
    if (busType < std::size(names))
        return QLatin1String(names[busType]);
    if (busType == 0x7F)
        return QStringLiteral("MaxReserved");
    return {};
}

StorageDeviceInfo DecodeStorageDescriptor(const std::uint8_t* d)
{
    return {DescriptorString(d, fat::Le32(d + 16)), DescriptorString(d, fat::Le32(d + 20)), BusTypeText(fat::Le32(d + 28))};
}

bool QueryStorageDevice(const QString& devicePath, StorageDeviceInfo& info, platform::DriveLayer& drives)
{
    info = {};
    std::array<std::uint8_t, platform::kDescriptorBytes> descriptor{};
    fat::PutLe32(descriptor.data() + 4, std::uint32_t(descriptor.size()));
    if (!drives.QueryStorageProperty(devicePath, descriptor.data()))
        return false;
    info = DecodeStorageDescriptor(descriptor.data());
    return true;
}

EnumerationResult EnumerateFat32Volumes(platform::DriveLayer& drives)
{
    EnumerationResult result;
    std::vector<QString> candidates; // drive text and label, in drive-letter order
    const std::uint32_t present = drives.LogicalDrives();
    for (int i = 0; i < 26; ++i) {
        const QString drive = QString(QLatin1Char(char('A' + i))) + QLatin1Char(':');
        if (!(present & (1u << i)))
            continue;
        const int type = drives.TypeOfDrive(drive + QLatin1Char('\\'));
        if (type != platform::DRIVE_FIXED && type != platform::DRIVE_REMOVABLE)
            continue;
        QByteArray label;
        if (!drives.VolumeLabel(drive + QLatin1Char('\\'), label))
            label.clear();
        candidates.push_back(drive + QString::fromLatin1(label));
    }
    result.anyCandidate = !candidates.empty();

    std::vector<QString> fat32;
    for (const QString& candidate : candidates) {
        std::uint8_t sector[512] = {};
        switch (drives.ReadBootSector(candidate.left(2), sector)) {
        case platform::BootRead::Read: break;
        case platform::BootRead::PermissionDenied: ++result.permissionDenied; continue;
        case platform::BootRead::OpenFailed: continue; // the next candidate may still be readable
        }
        if (fat::HasFat32Label(sector))
            fat32.push_back(candidate);
    }

    for (const QString& entry : fat32) {
        StorageDeviceInfo info;
        if (!QueryStorageDevice(QStringLiteral("\\\\.\\") + entry.left(2), info, drives))
            continue;
        if (info.bus == QLatin1String("USB"))
            result.captions << entry + info.product + QStringLiteral("移动存储");
        else if (entry.size() == 2)
            result.captions << entry + QStringLiteral("本地磁盘");
        else
            result.captions << entry;
    }
    return result;
}
