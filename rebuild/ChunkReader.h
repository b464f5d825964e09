#pragma once
// Delivers the scan's chunks (128 sectors each) in order. A system call per 64 KiB chunk costs more than
// the copy here, so several chunks are read at once; when such a read comes back short (the end of the
// volume, an unreadable stretch) the chunks it did not fill are read one by one, so each chunk holds exactly
// what reading it alone would have given, and zeros where that read delivers nothing.

#include "platform/RawVolume.h"

#include <cstdint>
#include <vector>

class ChunkReader {
public:
    ChunkReader(platform::Handle& volume, std::uint32_t bytesPerSector, std::uint64_t endSector);

    static constexpr std::uint64_t kChunkSectors = 128;
    std::size_t chunkBytes() const { return chunkBytes_; }

    // The chunk that starts at sector; valid until the next call.
    std::uint8_t* Chunk(std::uint64_t sector);
    // Whether the volume was seen to end at or before sector: every chunk from there on is zeros.
    bool PastEnd(std::uint64_t sector) const { return sector * bytesPerSector_ >= endByte_; }

private:
    void ReadBlock(std::uint64_t sector);
    void ReadSingle(std::size_t index);

    platform::Handle& volume_;
    const std::uint64_t bytesPerSector_;
    const std::uint64_t endSector_;
    const std::size_t chunkBytes_;
    const std::size_t chunksPerBlock_;
    std::vector<std::uint8_t> block_;
    std::uint64_t blockSector_ = 0;
    std::size_t blockChunks_ = 0; // chunks the block stands for
    std::size_t readChunks_ = 0;  // of those, how many hold their bytes
    std::uint64_t endByte_ = UINT64_MAX; // where a read found the end of the volume
};
