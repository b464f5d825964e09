#pragma once
// Whether a volume of the drive map is mounted anywhere on the machine: its block device (or a partition
// of it) appears in the mount table, or, for an image file, a loop device backed by that file does.

#include <QString>
#include <optional>

namespace platform {

// The mount point of the first mount found, or nothing.
std::optional<QString> MountPointOf(const QString& drive);

// Where the mount table and the block device tree are read; the tests point these at fakes.
void SetMountSourcesForTesting(const QString& mountInfoPath, const QString& sysBlockPath);

} // namespace platform
