#pragma once
// The kernel's block devices as sysfs shows them: which of them hold a volume of their own, whether they
// are removable, and what the device beneath a volume says it is. Reads only; the tests point it at a fake
// tree in a temporary folder.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>
#include <sys/types.h>
#include <vector>

namespace platform {

// STORAGE_BUS_TYPE values of the device query.
enum BusType : std::uint32_t {
    BusUnknown = 0,
    BusScsi = 1,
    BusAta = 3,
    BusUsb = 7,
    BusSata = 11,
    BusSd = 12,
    BusMmc = 13,
    BusVirtual = 14,
    BusFileBackedVirtual = 15,
    BusNvme = 17,
};

struct BlockVolume {
    QString name;   // "sdb1", "loop0"
    QString node;   // "/dev/sdb1"
    bool removable = false;
};

struct DeviceIdentity {
    QByteArray product;  // as the kernel gives it, blanks kept
    QByteArray revision;
    std::uint32_t bus = BusUnknown;
};

class SysBlock {
public:
    explicit SysBlock(QString sysRoot = QStringLiteral("/sys"), QString devRoot = QStringLiteral("/dev"));

    // Partitions, whole disks without a partition table and loop devices with a backing file, in
    // device-name order; no optical drives, RAM disks or empty slots.
    std::vector<BlockVolume> Volumes() const;
    // The device beneath the block device numbered rdev; nothing when sysfs knows no such device.
    std::optional<DeviceIdentity> Identify(dev_t rdev) const;

private:
    QString sys_;
    QString dev_;
};

// "sda" < "sda1" < "sda2" < "sda10" < "sdb": names compared with their numbers as numbers.
bool DeviceNameLess(const QString& a, const QString& b);

} // namespace platform
