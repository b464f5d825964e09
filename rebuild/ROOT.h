#pragma once
// The rebuild worker: one job on one FAT32 volume, on a thread of its own. It opens the volume, reads the
// boot sector and the root cluster, judges the root, offers a backup, clears the root cluster, scans the
// data area for directory clusters and writes a new root that lists every one it found.

#include "platform/RawVolume.h"
#include "rebuild/OpsChannel.h"
#include "rebuild/UNtfsFat.h"

#include <QThread>
#include <atomic>
#include <deque>
#include <functional>
#include <vector>

// The Stop button's flag: set by Stop, cleared by Start, polled by the scan.
extern std::atomic<bool> StopRequested;

enum class JobOutcome {
    Failed,          // ended on a failure, a refusal, or with nothing to write
    RootSound,       // the root looked sound; nothing written
    RootWritten,     // the new root is on the volume
    DryRunCompleted, // a dry run reached the point where the new root would be written
};

struct JobOptions {
    // Read only: no backup, no clearing, no write-back; the scan sees the root cluster as cleared.
    bool dryRun = false;
    std::atomic<bool>* stop = &StopRequested;
    std::function<int()> utcYear; // the system clock when empty
};

class RootPanDuan : public QThread {
    Q_OBJECT
public:
    // Starts the job at once unless CreateSuspended; the worker deletes itself once the job has ended.
    RootPanDuan(bool CreateSuspended, const QString& drive, OpsRelay* relay, JobOptions options = {});

    // One found directory as the scan filled in the row fields.
    struct RowFields {
        std::int64_t dirCount = 0;
        QString type, sector, cluster, clusterHi, clusterLo;
    };
    // Runs on the window's thread: appends the row, unless no directory has been counted.
    static void AddResultRow(MainWindowOps& ops, const RowFields& row);
    // A cluster half as the high and low cluster columns show it: four upper-case hexadecimal digits.
    static QString ClusterHalfText(std::uint16_t half);

Q_SIGNALS:
    // Emitted from the job's thread once, after the cleanup.
    void JobEnded(JobOutcome outcome);

protected:
    void run() override { Execute(); }

private:
    void Execute();
    bool OpenVolume();                 // phase A
    void ReadBootSectorAndRoot();      // phase B
    bool CheckSupported();
    bool CheckRootCluster();           // phase C: true when the root is sound
    bool CheckNotMounted();
    bool BackupRootCluster();          // phase D
    bool WriteBackupFile(const QString& fileName);
    bool ClearRootCluster();
    void ScanSubdirectories();         // phase E
    void RecordFoundDirectory(std::uint64_t sector, const fat::DirEntry& dot);
    void FinishPendingRows(std::size_t keep);
    void WriteNewRoot();               // phase F
    void Cleanup();

    void Log(const QString& text) const;
    void ResetGauge(std::int64_t maximum) const;
    void SetGaugeProgress(int value) const;
    void SetStatusText(int panel, const QString& text) const;
    int ShowMessageBox(const QString& text, const QString& caption, unsigned flags) const;
    int ResultCount() const;
    QString ResultCell(int row, int subItem) const;

    std::int64_t FDirCount = 0;
    QString FRowType;
    QString FRowSector;
    QString FRowCluster;
    QString FRowClusterHi;
    QString FRowClusterLo;
    const QString FDrive;

    const OpsChannel ops_;
    const JobOptions options_;
    JobOutcome outcome_ = JobOutcome::Failed;
    platform::Handle readHandle_;
    fat::BootSector boot_;
    std::uint32_t dataStartSector_ = 0;
    std::vector<std::uint8_t> cluster_;
    // Rows handed to the window and not yet in its table: their fields stay in rowSlots_ until then.
    std::deque<OpsChannel::Pending> pendingRows_;
    std::vector<RowFields> rowSlots_;
};

Q_DECLARE_METATYPE(JobOutcome)
