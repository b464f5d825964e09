// Phase E: walk the data area and list every cluster that begins with the "." and ".." entries of a
// directory, at any depth and whether or not the directory is still linked anywhere.
#include "rebuild/ChunkReader.h"
#include "rebuild/OperationLog.h"
#include "rebuild/ROOT.h"

#include <algorithm>

namespace {
constexpr std::uint64_t kChunkSectors = ChunkReader::kChunkSectors;

QString Hex4(std::uint16_t v)
{
    static const char digits[] = "0123456789ABCDEF";
    const char text[4] = {digits[v >> 12], digits[(v >> 8) & 0xF], digits[(v >> 4) & 0xF], digits[v & 0xF]};
    return QString::fromLatin1(text, 4);
}

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
    const std::size_t chunkBytes = reader.chunkBytes();
    const std::atomic<bool>& stop = *options_.stop;

    for (std::uint64_t pos = dataStartSector_; pos < total; pos += kChunkSectors) {
        if (stop.load(std::memory_order_relaxed))
            break;
        SetGaugeProgress(int(std::min<std::uint64_t>(pos >> shift, INT32_MAX)));
        std::uint8_t* chunk = reader.Chunk(pos);
        if (options_.dryRun) // the root cluster as the clearing would have left it
            ZeroOverlap(chunk, chunkBytes, pos * bytesPerSector, rootBegin, rootEnd);
        for (unsigned i = 0; i < slotCount; ++i) {
            if (stop.load(std::memory_order_relaxed))
                break;
            const std::size_t off = i * clusterBytes;
            if (off + 2 * fat::kDirEntryBytes > chunkBytes)
                break;
            if (fat::IsDirectorySignature(chunk, off) && fat::Le32(chunk + off + 60) == 0
                && !RecordFoundDirectory(pos + std::uint64_t(i) * boot_.SecPerClus, fat::DecodeDirEntry(chunk, off)))
                break;
        }
    }
    FinishPendingRow();
    Log(oplog::E2(ResultCount()));
}

// The row fields are read by AddResultRow on the window's thread: they change only once the row handed
// over before them is in the table. Until then the scan reads on. A Stop pressed while that row was
// added is seen here, as it would have been at the poll right after a row handed over synchronously.
bool RootPanDuan::RecordFoundDirectory(std::uint64_t sector, const fat::DirEntry& dot)
{
    FinishPendingRow();
    if (options_.stop->load(std::memory_order_relaxed))
        return false;
    ++FDirCount;
    SetStatusText(1, QStringLiteral("子目录数量:") + QString::number(FDirCount));
    FRowType = QStringLiteral("2E");
    FRowSector = QString::number(sector);
    FRowCluster = QString::number(fat::FirstCluster(dot.FstClusHI, dot.FstClusLO));
    FRowClusterHi = Hex4(dot.FstClusHI);
    FRowClusterLo = Hex4(dot.FstClusLO);
    pendingRow_ = ops_.Start([this](MainWindowOps& ops) { AddResultRow(ops); });
    return true;
}

void RootPanDuan::FinishPendingRow() { ops_.Finish(pendingRow_); }
