// Phase E: walk the data area and list every cluster that begins with the "." and ".." entries of a
// directory, at any depth and whether or not the directory is still linked anywhere.
#include "rebuild/ChunkReader.h"
#include "rebuild/OperationLog.h"
#include "rebuild/ROOT.h"

#include <algorithm>

namespace {
constexpr std::uint64_t kChunkSectors = ChunkReader::kChunkSectors;
// How many found rows may be on their way to the window at once.
constexpr std::size_t kRowsInFlight = 64;

// Zeroes the part of chunk (read at byte offset at) that overlaps [begin, end).
void ZeroOverlap(std::uint8_t* chunk, std::size_t size, std::uint64_t at, std::uint64_t begin, std::uint64_t end)
{
    const std::uint64_t from = std::max(at, begin), to = std::min(at + size, end);
    if (from < to)
        std::fill(chunk + (from - at), chunk + (to - at), 0);
}
} // namespace

void RootPanDuan::ScanSubdirectories()
{
    Log(oplog::E1());
    const std::uint64_t total = boot_.TotSec32;
    // The gauge holds a signed 32-bit range: halve the scale on volumes past it.
    const int shift = total > kChunkSectors + std::uint64_t(INT32_MAX) ? 1 : 0;
    ResetGauge(total >= kChunkSectors ? std::int64_t((total - kChunkSectors) >> shift) : 0);
    ops_.Post([](MainWindowOps& ops) { ops.ClearResults(); });

    const std::uint64_t bytesPerSector = boot_.BytsPerSec;
    const std::size_t clusterBytes = fat::ClusterBytes(boot_);
    const unsigned slotCount = unsigned(kChunkSectors) / boot_.SecPerClus;
    const std::uint64_t rootBegin = fat::RootClusterOffset(boot_), rootEnd = rootBegin + clusterBytes;
    ChunkReader reader(readHandle_, boot_.BytsPerSec, total);
    rowSlots_.assign(kRowsInFlight, {});
    const std::size_t chunkBytes = reader.chunkBytes();
    const std::atomic<bool>& stop = *options_.stop;

    for (std::uint64_t pos = dataStartSector_; pos < total; pos += kChunkSectors) {
        if (stop.load(std::memory_order_relaxed))
            break;
        SetGaugeProgress(int(std::min<std::uint64_t>(pos >> shift, INT32_MAX)));
        if (reader.PastEnd(pos)) {
            // The image or device ends before the boot sector says: the rest reads as zeros and holds no
            // directory. The gauge goes to where the last chunk would have started.
            const std::uint64_t last = pos + (total - 1 - pos) / kChunkSectors * kChunkSectors;
            SetGaugeProgress(int(std::min<std::uint64_t>(last >> shift, INT32_MAX)));
            break;
        }
        std::uint8_t* chunk = reader.Chunk(pos);
        if (options_.dryRun) // the root cluster as the clearing would have left it
            ZeroOverlap(chunk, chunkBytes, pos * bytesPerSector, rootBegin, rootEnd);
        for (unsigned i = 0; i < slotCount; ++i) {
            if (stop.load(std::memory_order_relaxed))
                break;
            const std::size_t off = i * clusterBytes;
            if (off + 2 * fat::kDirEntryBytes > chunkBytes)
                break;
            if (fat::IsDirectorySignature(chunk, off) && fat::Le32(chunk + off + 60) == 0)
                RecordFoundDirectory(pos + std::uint64_t(i) * boot_.SecPerClus, fat::DecodeDirEntry(chunk, off));
        }
    }
    FinishPendingRows(0); // the end line counts every row found
    Log(oplog::E2(ResultCount()));
}

// A few rows may be on their way to the window while the scan reads on: a hand-over between two threads
// takes about a microsecond here, which would otherwise stand between every row and the next read. Each
// row's fields wait in a slot of their own until the window has appended it; the end line waits for all.
void RootPanDuan::RecordFoundDirectory(std::uint64_t sector, const fat::DirEntry& dot)
{
    FinishPendingRows(kRowsInFlight - 1);
    ++FDirCount;
    // The text is made on the window's thread: memory made here and freed there costs both threads a lock.
    ops_.Post([n = FDirCount](MainWindowOps& ops) { ops.SetStatusText(1, QStringLiteral("子目录数量:") + QString::number(n)); });
    FRowType = QStringLiteral("2E");
    FRowSector = QString::number(sector);
    FRowCluster = QString::number(fat::FirstCluster(dot.FstClusHI, dot.FstClusLO));
    FRowClusterHi = ClusterHalfText(dot.FstClusHI);
    FRowClusterLo = ClusterHalfText(dot.FstClusLO);
    // The slot is free again: the row that used it last is in the table.
    RowFields& slot = rowSlots_[std::size_t(FDirCount) % kRowsInFlight];
    slot = {FDirCount, FRowType, FRowSector, FRowCluster, FRowClusterHi, FRowClusterLo};
    pendingRows_.push_back(ops_.Start([&slot](MainWindowOps& ops) { AddResultRow(ops, slot); }));
}

QString RootPanDuan::ClusterHalfText(std::uint16_t v)
{
    static const char digits[] = "0123456789ABCDEF";
    const char text[4] = {digits[v >> 12], digits[(v >> 8) & 0xF], digits[(v >> 4) & 0xF], digits[v & 0xF]};
    return QString::fromLatin1(text, 4);
}

void RootPanDuan::FinishPendingRows(std::size_t keep)
{
    while (pendingRows_.size() > keep) {
        ops_.Finish(pendingRows_.front());
        pendingRows_.pop_front();
    }
}
