#include "rebuild/UNtfsFat.h"

#include <cstring>

namespace fat {

bool HasFat32Label(const std::uint8_t* sector) { return std::memcmp(sector + 82, "FAT32", 5) == 0; }

BootSector DecodeBootSector(const std::uint8_t* s)
{
    BootSector bs;
    bs.BytsPerSec = Le16(s + 11);
    bs.SecPerClus = s[13];
    bs.RsvdSecCnt = Le16(s + 14);
    bs.NumFATs = s[16];
    bs.TotSec32 = Le32(s + 32);
    bs.FATSz32 = Le32(s + 36);
    bs.RootClus = Le32(s + 44);
    bs.VolID = Le32(s + 67);
    bs.FilSysTypeIsFat32 = HasFat32Label(s);
    return bs;
}

std::uint64_t DataStartSector(const BootSector& bs) { return std::uint64_t(bs.RsvdSecCnt) + 2 * std::uint64_t(bs.FATSz32); }

std::uint32_t ClusterBytes(const BootSector& bs) { return std::uint32_t(bs.BytsPerSec) * bs.SecPerClus; }

std::uint64_t RootClusterOffset(const BootSector& bs) { return DataStartSector(bs) * bs.BytsPerSec; }

DirEntry DecodeDirEntry(const std::uint8_t* buffer, std::size_t offset)
{
    const std::uint8_t* p = buffer + offset;
    DirEntry e;
    std::memcpy(e.Name, p, 11);
    e.Attr = p[11];
    e.NTRes = p[12];
    e.CrtTimeTenth = p[13];
    e.CrtTime = Le16(p + 14);
    e.CrtDate = Le16(p + 16);
    e.LstAccDate = Le16(p + 18);
    e.FstClusHI = Le16(p + 20);
    e.WrtTime = Le16(p + 22);
    e.WrtDate = Le16(p + 24);
    e.FstClusLO = Le16(p + 26);
    e.FileSize = Le32(p + 28);
    return e;
}

void EncodeDirEntry(const DirEntry& e, std::uint8_t* p)
{
    std::memcpy(p, e.Name, 11);
    p[11] = e.Attr;
    p[12] = e.NTRes;
    p[13] = e.CrtTimeTenth;
    PutLe16(p + 14, e.CrtTime);
    PutLe16(p + 16, e.CrtDate);
    PutLe16(p + 18, e.LstAccDate);
    PutLe16(p + 20, e.FstClusHI);
    PutLe16(p + 22, e.WrtTime);
    PutLe16(p + 24, e.WrtDate);
    PutLe16(p + 26, e.FstClusLO);
    PutLe32(p + 28, e.FileSize);
}

DosDate DecodeDosDate(std::uint16_t w) { return {1980 + (w >> 9), (w >> 5) & 0x0F, w & 0x1F}; }

DosTime DecodeDosTime(std::uint16_t w) { return {w >> 11, (w >> 5) & 0x3F, (w & 0x1F) * 2}; }

bool IsDirectorySignature(const std::uint8_t* buffer, std::size_t offset)
{
    static const std::uint8_t dot[8] = {0x2E, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20};
    static const std::uint8_t dotdot[8] = {0x2E, 0x2E, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20};
    return std::memcmp(buffer + offset, dot, 8) == 0 && std::memcmp(buffer + offset + 32, dotdot, 8) == 0;
}

} // namespace fat
