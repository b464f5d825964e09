#include "rebuild/VolumeSupport.h"

std::optional<QString> UnsupportedReason(const fat::BootSector& bs, std::uint32_t deviceSectorSize)
{
    if (!bs.FilSysTypeIsFat32)
        return QStringLiteral("不是FAT32卷");
    const unsigned bps = bs.BytsPerSec;
    if (bps != 512 && bps != 1024 && bps != 2048 && bps != 4096)
        return QStringLiteral("每扇区字节数为") + QString::number(bps);
    const unsigned spc = bs.SecPerClus;
    if (spc == 0 || spc > 128 || (spc & (spc - 1)) != 0)
        return QStringLiteral("每簇扇区数为") + QString::number(spc);
    if (bs.NumFATs != 2)
        return QStringLiteral("FAT表个数为") + QString::number(bs.NumFATs);
    if (bs.RootClus != 2)
        return QStringLiteral("根目录起始簇为") + QString::number(bs.RootClus);
    // The whole root cluster must lie inside the volume, or clearing it would write past its end.
    if (fat::DataStartSector(bs) + spc > bs.TotSec32)
        return QStringLiteral("数据区起始扇区超出卷大小");
    if (deviceSectorSize != 0 && bps < deviceSectorSize)
        return QStringLiteral("每扇区字节数小于设备扇区大小");
    return std::nullopt;
}
