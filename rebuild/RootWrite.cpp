// Phase F: a new root cluster with one directory entry per found directory, KVB0, KVB1, ...
#include "rebuild/OperationLog.h"
#include "rebuild/ROOT.h"

namespace {
// The fixed stamps of a rebuilt entry: created 19:57:34 and written 19:57:36 on 7 February 2013.
constexpr std::uint8_t kCrtTimeTenth = 0x8C;
constexpr std::uint16_t kCrtTime = 0x9F31;
constexpr std::uint16_t kWrtTime = 0x9F32;
constexpr std::uint16_t kDate = 0x4247;

// A cluster half from its four hexadecimal digits: the first two give the high byte, the last two the low.
std::uint16_t HalfFromText(const QString& text)
{
    const unsigned high = text.mid(0, 2).toUInt(nullptr, 16), low = text.mid(2, 2).toUInt(nullptr, 16);
    return std::uint16_t((high << 8) | low);
}

fat::DirEntry RebuiltEntry(int index, std::uint16_t hi, std::uint16_t lo)
{
    fat::DirEntry e;
    std::fill(std::begin(e.Name), std::end(e.Name), std::uint8_t(' '));
    const QByteArray name = "KVB" + QByteArray::number(index);
    std::copy_n(name.constData(), std::min<qsizetype>(name.size(), 8), e.Name);
    e.Attr = fat::kAttrDirectory;
    e.CrtTimeTenth = kCrtTimeTenth;
    e.CrtTime = kCrtTime;
    e.CrtDate = kDate;
    e.LstAccDate = kDate;
    e.FstClusHI = hi;
    e.WrtTime = kWrtTime;
    e.WrtDate = kDate;
    e.FstClusLO = lo;
    return e;
}
} // namespace

void RootPanDuan::WriteNewRoot()
{
    Log(oplog::F1());
    const int rows = ResultCount();
    const std::size_t clusterBytes = fat::ClusterBytes(boot_);
    if (rows == 0) {
        ShowMessageBox(boxes::NoRowsText(), boxes::NoRowsCaption(), mb::Ok | mb::IconWarning);
        return;
    }
    if (std::size_t(rows) * fat::kDirEntryBytes > clusterBytes) {
        ShowMessageBox(boxes::TooManyText(), boxes::TooManyCaption(), mb::Ok | mb::IconWarning);
        return;
    }
    ResetGauge(rows - 1);
    std::vector<std::uint8_t> image(clusterBytes, 0);
    for (int k = 0; k < rows; ++k) {
        SetGaugeProgress(k);
        const fat::DirEntry e = RebuiltEntry(k, HalfFromText(ResultCell(k, 3)), HalfFromText(ResultCell(k, 4)));
        fat::EncodeDirEntry(e, image.data() + std::size_t(k) * fat::kDirEntryBytes);
    }
    if (options_.dryRun) {
        outcome_ = JobOutcome::DryRunCompleted;
        return;
    }
    platform::Handle volume;
    bool ok = false;
    try {
        volume = platform::OpenVolumeForWrite(FDrive);
        ok = volume.valid() && platform::SeekOffset64(volume, fat::RootClusterOffset(boot_))
            && platform::WriteBytes(volume, image.data(), image.size());
    } catch (...) {
        ok = false;
    }
    Log(ok ? oplog::F2() : oplog::F3());
    platform::CloseVolume(volume);
    if (ok)
        outcome_ = JobOutcome::RootWritten;
}
