#pragma once
// The drive layer of a Linux machine: its block devices that hold a volume (partitions, disks without a
// partition table, loop devices with a backing file) and the image files the user added, each under the
// drive text the drive map gave it the first time it was seen.

#include "platform/Drives.h"
#include "platform/SysBlock.h"

#include <map>

namespace platform {

class LinuxDrives : public DriveLayer {
public:
    explicit LinuxDrives(SysBlock sys = SysBlock());

    // Maps the block devices present now; an image file is mapped when the user adds it.
    std::uint32_t LogicalDrives() override;
    int TypeOfDrive(const QString& rootPath) override;
    bool VolumeLabel(const QString& rootPath, QByteArray& label) override;
    BootRead ReadBootSector(const QString& drive, std::uint8_t* sector) override;
    bool QueryStorageProperty(const QString& devicePath, std::uint8_t* descriptor) override;

private:
    SysBlock sys_;
    std::map<QString, bool> removable_; // by drive text, as sysfs said when the drive was last seen
};

// The label libblkid reads on the volume at path; false when there is none or it cannot be read.
bool ProbeLabel(const QString& path, QByteArray& label);

// Fills a storage descriptor (kDescriptorBytes) as a device answers the standard property query.
void FillDescriptor(std::uint8_t* descriptor, const DeviceIdentity& id);

} // namespace platform
