#pragma once
// FAT32 image files made at test time with mkfs.fat and filled with mtools, and the checks an
// independent reader makes of them.

#include "rebuild/UNtfsFat.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>
#include <utility>
#include <vector>

struct ImageRecipe {
    int sectorSize = 512;
    int sectorsPerCluster = 1;
    qint64 sizeKiB = 0; // 0: the smallest size at which mtools still reads the volume as FAT32
    QStringList directories;                          // made in order, e.g. "A", "A/B"
    std::vector<std::pair<QString, QByteArray>> files; // path and content
};

struct ProcessResult {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};
// Runs a program with MTOOLS_SKIP_CHECK set; stdin is closed.
ProcessResult RunProgram(const QString& program, const QStringList& arguments, const QByteArray& input = {});

class FatImage {
public:
    // Makes the image at path; fails the calling test (returns nothing) when a tool fails.
    static std::optional<FatImage> Make(const QString& path, const ImageRecipe& recipe);
    // Wraps an existing image.
    static FatImage Open(const QString& path);

    const QString& path() const { return path_; }
    fat::BootSector boot() const;
    std::uint64_t rootOffset() const { return fat::RootClusterOffset(boot()); }
    std::uint32_t clusterBytes() const { return fat::ClusterBytes(boot()); }
    std::uint32_t dataStartSector() const { return std::uint32_t(fat::DataStartSector(boot())); }

    QByteArray Read(std::uint64_t offset, std::size_t count) const;
    void Write(std::uint64_t offset, const QByteArray& bytes) const;
    QByteArray RootCluster() const { return Read(rootOffset(), clusterBytes()); }
    void ZeroRoot() const { Write(rootOffset(), QByteArray(int(clusterBytes()), '\0')); }
    // Random bytes that the health check judges unsound, as an overwritten root.
    void GarbageRoot(quint32 seed) const;

    // A digest of every byte outside [maskBegin, maskEnd), holes read as zeros, fast on sparse images.
    QByteArray Digest(std::uint64_t maskBegin = 0, std::uint64_t maskEnd = 0) const;
    QByteArray DigestOutsideRoot() const { return Digest(rootOffset(), rootOffset() + clusterBytes()); }

    // mdir's bare listing of a directory ("::/" for the root): one name per line.
    QStringList List(const QString& dir) const;
    std::optional<QByteArray> ReadFile(const QString& path) const;

private:
    explicit FatImage(QString path) : path_(std::move(path)) {}
    QString path_;
};
