#pragma once
// A FAT32 image in a temporary folder with a drive text of its own for as long as the test holds it.

#include "platform/DriveMap.h"
#include "support/FatImage.h"

#include <QTemporaryDir>
#include <memory>

struct TestVolume {
    std::unique_ptr<QTemporaryDir> dir;
    std::optional<FatImage> image;
    QString drive;

    TestVolume() = default;
    TestVolume(TestVolume&&) = default;
    TestVolume& operator=(TestVolume&&) = default;
    ~TestVolume()
    {
        if (!drive.isEmpty())
            platform::DriveMap::Release(drive);
    }
    bool ok() const { return image.has_value() && !drive.isEmpty(); }
    // After the test changed the boot sector or the size: the volume is seen anew under its drive text.
    bool Remap() { return platform::DriveMap::Assign(image->path()) == drive; }
    QString file(const QString& name) const { return dir->filePath(name); }
};

inline TestVolume MakeVolume(const ImageRecipe& recipe)
{
    TestVolume v;
    v.dir = std::make_unique<QTemporaryDir>();
    v.image = FatImage::Make(v.dir->filePath(QStringLiteral("volume.img")), recipe);
    if (v.image)
        v.drive = platform::DriveMap::Assign(v.image->path());
    return v;
}
