#pragma once
// FAT32 on-disk records: the boot sector fields the rebuild uses, the geometry derived from them,
// the 32-byte directory entry and the DOS date and time words. Pure code on byte buffers, no I/O.
// All multi-byte fields are little-endian.

#include <cstddef>
#include <cstdint>

namespace fat {

constexpr std::size_t kBootSectorBytes = 512;
constexpr std::size_t kDirEntryBytes = 32;

inline std::uint16_t Le16(const std::uint8_t* p) { return std::uint16_t(p[0] | (p[1] << 8)); }
inline std::uint32_t Le32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[3]) << 24);
}
inline void PutLe16(std::uint8_t* p, std::uint16_t v)
{
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
}
inline void PutLe32(std::uint8_t* p, std::uint32_t v)
{
    PutLe16(p, std::uint16_t(v));
    PutLe16(p + 2, std::uint16_t(v >> 16));
}

struct BootSector {
    std::uint16_t BytsPerSec = 0; // offset 11: bytes per sector
    std::uint8_t SecPerClus = 0;  // offset 13: sectors per cluster
    std::uint16_t RsvdSecCnt = 0; // offset 14: reserved sectors before the first FAT
    std::uint8_t NumFATs = 0;     // offset 16: number of FATs (the rebuild insists on 2)
    std::uint32_t TotSec32 = 0;   // offset 32: sectors in the volume
    std::uint32_t FATSz32 = 0;    // offset 36: sectors per FAT
    std::uint32_t RootClus = 0;   // offset 44: first cluster of the root directory (the rebuild insists on 2)
    std::uint32_t VolID = 0;      // offset 67: volume serial number
    bool FilSysTypeIsFat32 = false; // offsets 82..86 hold exactly "FAT32"
};

// Decodes the first 512 bytes of a volume.
BootSector DecodeBootSector(const std::uint8_t* sector);

// True when bytes 82..86 of the boot sector are "FAT32"; the three bytes after them are not looked at.
bool HasFat32Label(const std::uint8_t* sector);

// BPB_RsvdSecCnt + 2 * BPB_FATSz32, without wrapping (the sum can exceed 32 bits on a broken boot sector).
std::uint64_t DataStartSector(const BootSector& bs);
// BPB_BytsPerSec * BPB_SecPerClus.
std::uint32_t ClusterBytes(const BootSector& bs);
// Byte offset of the first data cluster (the root cluster): DataStartSector * BPB_BytsPerSec, 64-bit.
std::uint64_t RootClusterOffset(const BootSector& bs);

struct DirEntry {
    std::uint8_t Name[11] = {};        // 0: base name (8) and extension (3), space filled
    std::uint8_t Attr = 0;             // 11: 0x10 directory, 0x0F long-name entry
    std::uint8_t NTRes = 0;            // 12
    std::uint8_t CrtTimeTenth = 0;     // 13: sub-second part of the creation time
    std::uint16_t CrtTime = 0;         // 14
    std::uint16_t CrtDate = 0;         // 16
    std::uint16_t LstAccDate = 0;      // 18
    std::uint16_t FstClusHI = 0;       // 20: high half of the first cluster
    std::uint16_t WrtTime = 0;         // 22
    std::uint16_t WrtDate = 0;         // 24
    std::uint16_t FstClusLO = 0;       // 26: low half of the first cluster
    std::uint32_t FileSize = 0;        // 28
};

constexpr std::uint8_t kAttrDirectory = 0x10;
constexpr std::uint8_t kAttrLongName = 0x0F;

DirEntry DecodeDirEntry(const std::uint8_t* buffer, std::size_t offset);
void EncodeDirEntry(const DirEntry& entry, std::uint8_t* out32);

inline std::uint32_t FirstCluster(std::uint16_t hi, std::uint16_t lo) { return (std::uint32_t(hi) << 16) | lo; }
inline std::uint16_t ClusterHigh(std::uint32_t cluster) { return std::uint16_t(cluster >> 16); }
inline std::uint16_t ClusterLow(std::uint32_t cluster) { return std::uint16_t(cluster & 0xFFFF); }

struct DosDate { int year; int month; int day; };
struct DosTime { int hours; int minutes; int seconds; };
DosDate DecodeDosDate(std::uint16_t word);
DosTime DecodeDosTime(std::uint16_t word);

// The dot entry's and dot-dot entry's name bytes 0..7 at offset and offset + 32.
// The caller guarantees that offset + 40 lies within the buffer.
bool IsDirectorySignature(const std::uint8_t* buffer, std::size_t offset);

} // namespace fat
