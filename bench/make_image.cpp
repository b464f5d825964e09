// Makes the benchmark volume: a FAT32 image (mkfs.fat) whose data area is filled with file-like bytes
// and holds many directory clusters spread evenly over it, with the root cluster zeroed.
//   rootwell-bench-image PATH SIZE_MIB DIRECTORIES
#include "rebuild/UNtfsFat.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s PATH SIZE_MIB DIRECTORIES\n", argv[0]);
        return 2;
    }
    const std::string path = argv[1];
    const unsigned long long mib = std::strtoull(argv[2], nullptr, 10);
    const unsigned long long dirs = std::strtoull(argv[3], nullptr, 10);
    ::unlink(path.c_str());
    const std::string mkfs = "mkfs.fat -F 32 -S 512 -s 8 -i 5EED0001 -C '" + path + "' " + std::to_string(mib * 1024)
        + " >/dev/null";
    if (std::system(mkfs.c_str()) != 0) {
        std::fprintf(stderr, "mkfs.fat failed\n");
        return 1;
    }
    const int fd = ::open(path.c_str(), O_RDWR);
    std::vector<std::uint8_t> boot(512);
    if (fd < 0 || ::pread(fd, boot.data(), boot.size(), 0) != 512)
        return 1;
    const fat::BootSector bs = fat::DecodeBootSector(boot.data());
    const std::uint64_t clusterBytes = fat::ClusterBytes(bs);
    const std::uint64_t dataStart = fat::RootClusterOffset(bs);
    const std::uint64_t clusters = (std::uint64_t(bs.TotSec32) * bs.BytsPerSec - dataStart) / clusterBytes;
    const std::uint64_t step = (clusters - 1) / dirs;

    // Fill the data area 8 MiB at a time; directory clusters are laid into each buffer before it is written.
    std::mt19937_64 random(42);
    const std::uint64_t block = 8u << 20;
    std::vector<std::uint8_t> buffer(block);
    for (std::uint64_t at = dataStart; at < std::uint64_t(bs.TotSec32) * bs.BytsPerSec; at += block) {
        for (std::size_t i = 0; i < buffer.size(); i += 8) {
            const std::uint64_t v = random();
            std::copy_n(reinterpret_cast<const std::uint8_t*>(&v), 8, buffer.data() + i);
        }
        for (std::uint64_t off = 0; off < block; off += clusterBytes) {
            const std::uint64_t index = (at + off - dataStart) / clusterBytes; // 0 is cluster 2, the root
            if (index == 0) {
                std::fill_n(buffer.data() + off, clusterBytes, 0);
            } else if (index % step == 0 && index / step <= dirs) {
                std::fill_n(buffer.data() + off, clusterBytes, 0);
                fat::DirEntry dot, dotdot;
                std::fill(std::begin(dot.Name), std::end(dot.Name), ' ');
                std::fill(std::begin(dotdot.Name), std::end(dotdot.Name), ' ');
                dot.Name[0] = dotdot.Name[0] = dotdot.Name[1] = '.';
                dot.Attr = dotdot.Attr = fat::kAttrDirectory;
                dot.FstClusHI = fat::ClusterHigh(std::uint32_t(index + 2));
                dot.FstClusLO = fat::ClusterLow(std::uint32_t(index + 2));
                fat::EncodeDirEntry(dot, buffer.data() + off);
                fat::EncodeDirEntry(dotdot, buffer.data() + off + 32);
            }
        }
        const std::uint64_t end = std::uint64_t(bs.TotSec32) * bs.BytsPerSec;
        const std::size_t count = std::size_t(std::min(block, end - at));
        if (::pwrite(fd, buffer.data(), count, off_t(at)) != ssize_t(count))
            return 1;
    }
    ::close(fd);
    std::printf("%s: %llu MiB, %llu clusters of %llu bytes, %llu directory clusters\n", path.c_str(), mib,
                (unsigned long long)clusters, (unsigned long long)clusterBytes, dirs);
    return 0;
}
