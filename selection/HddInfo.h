#pragma once
// The machine's FAT32 volumes for the selection dialog, and the storage device query that labels them.

#include "platform/Drives.h"

#include <QString>
#include <QStringList>

struct StorageDeviceInfo {
    QString product;
    QString revision;
    QString bus;
};

// Asks the device beneath a volume ("\\.\E:") for its product, revision and bus. False when it cannot be
// opened or does not answer; the texts are then empty.
bool QueryStorageDevice(const QString& devicePath, StorageDeviceInfo& info, platform::DriveLayer& drives = platform::Drives());
// The bus text of a STORAGE_BUS_TYPE value.
QString BusTypeText(std::uint32_t busType);
// The texts of a filled descriptor, bounded by its Size field and the buffer's end.
StorageDeviceInfo DecodeStorageDescriptor(const std::uint8_t* descriptor);

struct EnumerationResult {
    bool anyCandidate = false;  // a fixed or removable drive exists
    QStringList captions;       // the FAT32 volumes, in drive-letter order, each caption beginning with its drive text
    int permissionDenied = 0;   // candidates left out because this user may not open them
};
EnumerationResult EnumerateFat32Volumes(platform::DriveLayer& drives = platform::Drives());

// Fills the selection dialog's list with the machine's FAT32 volumes; false when there is no fixed or
// removable drive at all.
bool EnumFat32Volumes();
