#include "rebuild/ROOT.h"

#include "platform/MountTable.h"
#include "rebuild/OperationLog.h"
#include "rebuild/VolumeSupport.h"

#include <stdexcept>

std::atomic<bool> StopRequested{false};

RootPanDuan::RootPanDuan(bool CreateSuspended, const QString& drive, OpsRelay* relay, JobOptions options)
    : FDrive(drive), ops_(relay), options_(std::move(options))
{
    qRegisterMetaType<JobOutcome>();
    connect(this, &QThread::finished, this, &QObject::deleteLater);
    if (!CreateSuspended)
        start();
}

void RootPanDuan::Execute()
{
    outcome_ = JobOutcome::Failed;
    try {
        FDirCount = 0;
        if (OpenVolume()) {
            ReadBootSectorAndRoot();
            if (CheckSupported()) {
                if (CheckRootCluster()) {
                    outcome_ = JobOutcome::RootSound;
                } else if (CheckNotMounted() && (options_.dryRun || (BackupRootCluster() && ClearRootCluster()))) {
                    ScanSubdirectories();
                    WriteNewRoot();
                }
            }
        }
    } catch (...) {
        // Reported already where it could be; the cleanup below ends every path.
    }
    Cleanup();
    Q_EMIT JobEnded(outcome_);
}

bool RootPanDuan::OpenVolume()
{
    try {
        Log(oplog::A1(FDrive));
        readHandle_ = platform::OpenVolumeForRead(FDrive);
        if (!readHandle_.valid()) {
            Log(oplog::A3(FDrive));
            return false;
        }
        Log(oplog::A2(FDrive));
        return true;
    } catch (...) {
        Log(oplog::A3(FDrive));
        return false;
    }
}

void RootPanDuan::ReadBootSectorAndRoot()
{
    Log(oplog::B1());
    std::vector<std::uint8_t> sector(fat::kBootSectorBytes, 0);
    // A failed or short read leaves zeros: the job judges what it got.
    if (platform::SeekOffset64(readHandle_, 0))
        platform::ReadBytes(readHandle_, sector.data(), sector.size());
    boot_ = fat::DecodeBootSector(sector.data());
    dataStartSector_ = std::uint32_t(fat::DataStartSector(boot_));
    cluster_.assign(fat::ClusterBytes(boot_), 0);
    if (platform::SeekOffset64(readHandle_, fat::RootClusterOffset(boot_)))
        platform::ReadBytes(readHandle_, cluster_.data(), cluster_.size());
    Log(oplog::B2());
}

bool RootPanDuan::CheckSupported()
{
    const auto reason = UnsupportedReason(boot_, platform::LogicalSectorSize(readHandle_));
    if (!reason)
        return true;
    Log(oplog::Unsupported(*reason));
    ShowMessageBox(boxes::UnsupportedText(*reason), boxes::UnsupportedCaption(), mb::Ok | mb::IconWarning);
    return false;
}

bool RootPanDuan::CheckNotMounted()
{
    const auto mountPoint = platform::MountPointOf(FDrive);
    if (!mountPoint)
        return true;
    Log(oplog::Mounted(*mountPoint));
    ShowMessageBox(boxes::MountedText(*mountPoint), boxes::MountedCaption(), mb::Ok | mb::IconWarning);
    return false;
}

void RootPanDuan::Cleanup()
{
    FinishPendingRows(0); // they read this worker's row slots
    SetStatusText(0, QStringLiteral("就绪"));
    cluster_.clear();
    cluster_.shrink_to_fit();
    platform::CloseVolume(readHandle_);
}

void RootPanDuan::AddResultRow(MainWindowOps& ops, const RowFields& row)
{
    if (row.dirCount == 0)
        return;
    ops.AddResultRow({QString::number(row.dirCount), row.type, row.sector, row.cluster, row.clusterHi, row.clusterLo});
}

void RootPanDuan::Log(const QString& text) const
{
    const QString line = oplog::Line(text);
    ops_.Post([line](MainWindowOps& ops) { ops.AppendLogLine(line); });
}

void RootPanDuan::ResetGauge(std::int64_t maximum) const
{
    // A gauge cannot take a maximum below its minimum 0: the job ends there.
    if (maximum < 0 || maximum > INT32_MAX)
        throw std::range_error("gauge maximum out of range");
    ops_.Post([m = int(maximum)](MainWindowOps& ops) { ops.ResetGauge(m); });
}

void RootPanDuan::SetGaugeProgress(int value) const
{
    ops_.Post([value](MainWindowOps& ops) { ops.SetGaugeProgress(value); });
}

void RootPanDuan::SetStatusText(int panel, const QString& text) const
{
    ops_.Post([panel, text](MainWindowOps& ops) { ops.SetStatusText(panel, text); });
}

int RootPanDuan::ShowMessageBox(const QString& text, const QString& caption, unsigned flags) const
{
    // Cut off from the window, a question is answered No.
    const int fallback = (flags & mb::ButtonsMask) == mb::YesNo ? mb::IdNo : mb::IdOk;
    return ops_.Call([&](MainWindowOps& ops) { return ops.ShowMessageBox(text, caption, flags); }, fallback);
}

int RootPanDuan::ResultCount() const
{
    return ops_.Call([](MainWindowOps& ops) { return ops.ResultCount(); }, 0);
}

QString RootPanDuan::ResultCell(int row, int subItem) const
{
    return ops_.Call([&](MainWindowOps& ops) { return ops.ResultCell(row, subItem); }, QString());
}
