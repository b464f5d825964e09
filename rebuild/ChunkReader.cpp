#include "rebuild/ChunkReader.h"

#include <algorithm>

namespace {
constexpr std::size_t kBlockBytes = 1 << 20;
}

ChunkReader::ChunkReader(platform::Handle& volume, std::uint32_t bytesPerSector, std::uint64_t endSector)
    : volume_(volume), bytesPerSector_(bytesPerSector), endSector_(endSector),
      chunkBytes_(std::size_t(kChunkSectors * bytesPerSector)),
      chunksPerBlock_(std::max<std::size_t>(1, kBlockBytes / std::max<std::size_t>(1, chunkBytes_))),
      block_(chunksPerBlock_ * chunkBytes_)
{
}

std::uint8_t* ChunkReader::Chunk(std::uint64_t sector)
{
    if (blockChunks_ == 0 || sector < blockSector_ || sector >= blockSector_ + blockChunks_ * kChunkSectors
        || (sector - blockSector_) % kChunkSectors != 0)
        ReadBlock(sector);
    const std::size_t index = std::size_t((sector - blockSector_) / kChunkSectors);
    if (index >= readChunks_)
        ReadSingle(index);
    return block_.data() + index * chunkBytes_;
}

void ChunkReader::ReadBlock(std::uint64_t sector)
{
    blockSector_ = sector;
    const std::uint64_t left = sector < endSector_ ? (endSector_ - sector + kChunkSectors - 1) / kChunkSectors : 1;
    blockChunks_ = std::size_t(std::min<std::uint64_t>(chunksPerBlock_, left));
    const std::size_t want = blockChunks_ * chunkBytes_;
    std::size_t got = 0;
    if (platform::SeekOffset64(volume_, sector * bytesPerSector_))
        got = platform::ReadBytes(volume_, block_.data(), want);
    if (volume_.atEnd)
        endByte_ = std::min(endByte_, sector * bytesPerSector_ + got);
    // Chunks past a short read are read one by one, as they are asked for.
    readChunks_ = got / chunkBytes_;
}

void ChunkReader::ReadSingle(std::size_t index)
{
    std::uint8_t* chunk = block_.data() + index * chunkBytes_;
    const std::uint64_t sector = blockSector_ + index * kChunkSectors;
    std::size_t got = 0;
    if (platform::SeekOffset64(volume_, sector * bytesPerSector_))
        got = platform::ReadBytes(volume_, chunk, chunkBytes_);
    if (volume_.atEnd)
        endByte_ = std::min(endByte_, sector * bytesPerSector_ + got);
    std::fill(chunk + got, chunk + chunkBytes_, 0);
    readChunks_ = index + 1;
}
