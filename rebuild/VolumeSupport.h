#pragma once
// Which volumes the job can rebuild safely. Anything else is refused before a byte is written: the job
// assumes two FATs, the root at cluster 2 and whole clusters of whole sectors.

#include "rebuild/UNtfsFat.h"

#include <QString>
#include <optional>

// The reason a volume is refused, or nothing when it is supported. deviceSectorSize is the logical sector
// size of a block device, 0 for an image file.
std::optional<QString> UnsupportedReason(const fat::BootSector& bs, std::uint32_t deviceSectorSize);
