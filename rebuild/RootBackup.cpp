// Phase D: offer a backup of the root cluster, then clear it on the volume.
#include "rebuild/OperationLog.h"
#include "rebuild/ROOT.h"

#include <QFile>

bool RootPanDuan::BackupRootCluster()
{
    Log(oplog::D1());
    if (ShowMessageBox(boxes::BackupText(), boxes::BackupCaption(), mb::YesNo | mb::IconInformation) != mb::IdYes)
        return true;
    const auto name = ops_.Call([](MainWindowOps& ops) { return ops.ChooseBackupFileName(); },
                                std::optional<QString>());
    if (!name || name->isEmpty()) {
        ShowMessageBox(boxes::NoNameText(), boxes::NoNameCaption(), mb::Ok | mb::IconWarning);
        return true;
    }
    return WriteBackupFile(*name);
}

// The file is named after the chosen name and the root's sector, so backups of different volumes
// never overwrite each other. It is on stable storage before the root is cleared.
bool RootPanDuan::WriteBackupFile(const QString& chosen)
{
    const QString path = chosen + QStringLiteral("根目录所在扇区") + QString::number(dataStartSector_);
    platform::Handle file;
    bool ok = false;
    try {
        file = platform::CreateFileForWrite(path);
        ok = file.valid() && platform::SeekToEnd(file) && platform::WriteBytes(file, cluster_.data(), cluster_.size())
            && platform::FlushToStorage(file, path);
    } catch (...) {
        ok = false;
    }
    const bool created = file.valid();
    platform::CloseVolume(file);
    if (!ok) {
        // A partial file must not pass for a backup later.
        if (created)
            QFile::remove(path);
        return false;
    }
    Log(oplog::D2(path));
    return true;
}

bool RootPanDuan::ClearRootCluster()
{
    Log(oplog::D3());
    platform::Handle volume;
    bool ok = false;
    try {
        volume = platform::OpenVolumeForWrite(FDrive);
        if (volume.valid()) {
            cluster_.assign(cluster_.size(), 0);
            ok = platform::SeekOffset64(volume, fat::RootClusterOffset(boot_))
                && platform::WriteBytes(volume, cluster_.data(), cluster_.size());
        }
    } catch (...) {
        ok = false;
    }
    platform::CloseVolume(volume);
    if (ok)
        Log(oplog::D4());
    return ok;
}
