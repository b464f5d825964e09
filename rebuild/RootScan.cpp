// Phase E: walk the data area and list every cluster that begins with the "." and ".." entries of a
// directory, at any depth and whether or not the directory is still linked anywhere.
#include "rebuild/OperationLog.h"
#include "rebuild/ROOT.h"

#include <algorithm>

namespace {
constexpr std::uint64_t kChunkSectors = 128;

QString Hex4(std::uint16_t v) { return QStringLiteral("%1").arg(v, 4, 16, QLatin1Char('0')).toUpper(); }

// Zeroes the part of chunk (read at byte offset at) that overlaps [begin, end).
void ZeroOverlap(std::vector<std::uint8_t>& chunk, std::uint64_t at, std::uint64_t begin, std::uint64_t end)
{
    const std::uint64_t from = std::max(at, begin), to = std::min(at + chunk.size(), end);
    if (from < to)
        std::fill(chunk.begin() + std::ptrdiff_t(from - at), chunk.begin() + std::ptrdiff_t(to - at), 0);
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
    std::vector<std::uint8_t> chunk(std::size_t(kChunkSectors * bytesPerSector));
    const std::atomic<bool>& stop = *options_.stop;

    for (std::uint64_t pos = dataStartSector_; pos < total; pos += kChunkSectors) {
        if (stop.load(std::memory_order_relaxed))
            break;
        SetGaugeProgress(int(std::min<std::uint64_t>(pos >> shift, INT32_MAX)));
        std::fill(chunk.begin(), chunk.end(), 0);
        const std::uint64_t at = pos * bytesPerSector;
        if (platform::SeekOffset64(readHandle_, at))
            platform::ReadBytes(readHandle_, chunk.data(), chunk.size());
        if (options_.dryRun)
            ZeroOverlap(chunk, at, rootBegin, rootEnd); // as the clearing would have left it
        for (unsigned i = 0; i < slotCount; ++i) {
            if (stop.load(std::memory_order_relaxed))
                break;
            const std::size_t off = i * clusterBytes;
            if (off + 2 * fat::kDirEntryBytes > chunk.size())
                break;
            if (fat::IsDirectorySignature(chunk.data(), off) && fat::Le32(chunk.data() + off + 60) == 0)
                RecordFoundDirectory(pos + std::uint64_t(i) * boot_.SecPerClus, fat::DecodeDirEntry(chunk.data(), off));
        }
    }
    Log(oplog::E2(ResultCount()));
}

void RootPanDuan::RecordFoundDirectory(std::uint64_t sector, const fat::DirEntry& dot)
{
    ++FDirCount;
    SetStatusText(1, QStringLiteral("子目录数量:") + QString::number(FDirCount));
    FRowType = QStringLiteral("2E");
    FRowSector = QString::number(sector);
    FRowCluster = QString::number(fat::FirstCluster(dot.FstClusHI, dot.FstClusLO));
    FRowClusterHi = Hex4(dot.FstClusHI);
    FRowClusterLo = Hex4(dot.FstClusLO);
    ops_.Call<bool>([this](MainWindowOps& ops) { AddResultRow(ops); return true; }, false);
}
