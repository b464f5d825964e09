#include "platform/SysBlock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <sys/sysmacros.h>

namespace platform {
namespace {

// An attribute's content without the line end the kernel adds; nothing else is trimmed.
QByteArray Attribute(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QByteArray text = f.read(4096);
    if (text.endsWith('\n'))
        text.chop(1);
    return text;
}

bool HasPrefix(const QString& name, std::initializer_list<const char*> prefixes)
{
    return std::any_of(prefixes.begin(), prefixes.end(), [&](const char* p) { return name.startsWith(QLatin1String(p)); });
}

bool IsPartition(const QString& dir) { return QFileInfo::exists(dir + QStringLiteral("/partition")); }

QString DiskOf(const QString& dir) { return IsPartition(dir) ? QFileInfo(dir).path() : dir; }

bool HasPartitions(const QString& diskDir)
{
    for (const QString& sub : QDir(diskDir).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        if (IsPartition(diskDir + QLatin1Char('/') + sub))
            return true;
    return false;
}

} // namespace

bool DeviceNameLess(const QString& a, const QString& b)
{
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            qsizetype ei = i, ej = j;
            while (ei < a.size() && a[ei].isDigit())
                ++ei;
            while (ej < b.size() && b[ej].isDigit())
                ++ej;
            const qulonglong x = a.mid(i, ei - i).toULongLong(), y = b.mid(j, ej - j).toULongLong();
            if (x != y)
                return x < y;
            i = ei;
            j = ej;
        } else {
            if (a[i] != b[j])
                return a[i] < b[j];
            ++i;
            ++j;
        }
    }
    return a.size() - i < b.size() - j;
}

SysBlock::SysBlock(QString sysRoot, QString devRoot) : sys_(std::move(sysRoot)), dev_(std::move(devRoot)) {}

std::vector<BlockVolume> SysBlock::Volumes() const
{
    std::vector<BlockVolume> volumes;
    const QString classBlock = sys_ + QStringLiteral("/class/block");
    QStringList names = QDir(classBlock).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System);
    std::sort(names.begin(), names.end(), DeviceNameLess);
    for (const QString& name : names) {
        const QString dir = QFileInfo(classBlock + QLatin1Char('/') + name).canonicalFilePath();
        if (dir.isEmpty())
            continue;
        const QString disk = DiskOf(dir);
        const QString diskName = QFileInfo(disk).fileName();
        if (HasPrefix(diskName, {"ram", "zram", "sr", "fd", "nbd"}))
            continue;
        if (Attribute(disk + QStringLiteral("/device/type")) == "5") // a SCSI optical drive
            continue;
        if (diskName.startsWith(QLatin1String("loop")) && Attribute(disk + QStringLiteral("/loop/backing_file")).isEmpty())
            continue;
        if (!IsPartition(dir) && HasPartitions(dir))
            continue;
        if (Attribute(dir + QStringLiteral("/size")).toULongLong() == 0)
            continue;
        const bool removable = Attribute(disk + QStringLiteral("/removable")) == "1" || disk.contains(QLatin1String("/usb"));
        volumes.push_back({name, dev_ + QLatin1Char('/') + name, removable});
    }
    return volumes;
}

std::optional<DeviceIdentity> SysBlock::Identify(dev_t rdev) const
{
    const QString link = sys_ + QStringLiteral("/dev/block/%1:%2").arg(major(rdev)).arg(minor(rdev));
    const QString dir = QFileInfo(link).canonicalFilePath();
    if (dir.isEmpty())
        return std::nullopt;
    const QString disk = DiskOf(dir);
    const QString name = QFileInfo(disk).fileName();
    const QString device = disk + QStringLiteral("/device/");
    DeviceIdentity id;
    if (disk.contains(QLatin1String("/usb"))) {
        id.bus = BusUsb;
    } else if (name.startsWith(QLatin1String("nvme"))) {
        id.bus = BusNvme;
        id.product = Attribute(device + QStringLiteral("model"));
        id.revision = Attribute(device + QStringLiteral("firmware_rev"));
        return id;
    } else if (name.startsWith(QLatin1String("mmcblk"))) {
        id.bus = Attribute(device + QStringLiteral("type")) == "MMC" ? BusMmc : BusSd;
        id.product = Attribute(device + QStringLiteral("name"));
        id.revision = Attribute(device + QStringLiteral("fwrev"));
        return id;
    } else if (name.startsWith(QLatin1String("loop"))) {
        id.bus = BusFileBackedVirtual;
        return id;
    } else if (name.startsWith(QLatin1String("vd")) || name.startsWith(QLatin1String("xvd")) || name.startsWith(QLatin1String("dm-"))
               || name.startsWith(QLatin1String("md"))) {
        id.bus = BusVirtual;
        return id;
    } else if (disk.contains(QLatin1String("/ata"))) {
        // libata: a SATA link knows its speed, a parallel ATA one does not.
        const QStringList parts = disk.split(QLatin1Char('/'));
        const auto port = std::find_if(parts.begin(), parts.end(), [](const QString& p) {
            return p.startsWith(QLatin1String("ata")) && p.size() > 3 && p[3].isDigit();
        });
        const QByteArray speed = port == parts.end()
            ? QByteArray()
            : Attribute(sys_ + QStringLiteral("/class/ata_link/link") + port->mid(3) + QStringLiteral("/sata_spd"));
        id.bus = !speed.isEmpty() && speed != "<unknown>" ? BusSata : BusAta;
    } else if (QFileInfo::exists(device + QStringLiteral("scsi_level")) || name.startsWith(QLatin1String("sd"))) {
        id.bus = BusScsi;
    } else {
        return std::nullopt;
    }
    id.product = Attribute(device + QStringLiteral("model"));
    id.revision = Attribute(device + QStringLiteral("rev"));
    return id;
}

} // namespace platform
