#pragma once
// The drive layer over the drive map: every volume the map knows is a drive.

#include "platform/Drives.h"

namespace platform {

class LinuxDrives : public DriveLayer {
public:
    std::uint32_t LogicalDrives() override;
    int TypeOfDrive(const QString& rootPath) override;
    bool VolumeLabel(const QString& rootPath, QByteArray& label) override;
    BootRead ReadBootSector(const QString& drive, std::uint8_t* sector) override;
    bool QueryStorageProperty(const QString& devicePath, std::uint8_t* descriptor) override;
};

} // namespace platform
