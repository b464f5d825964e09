// Phase C: is the root still sound? Judged by the time stamps in the first sector of the root cluster.
#include "platform/LocalClock.h"
#include "rebuild/OperationLog.h"
#include "rebuild/ROOT.h"
#include "rebuild/RootJudge.h"

#include <stdexcept>

bool RootPanDuan::CheckRootCluster()
{
    Log(oplog::C1());
    const int entries = boot_.BytsPerSec / int(fat::kDirEntryBytes);
    ResetGauge(entries - 1);
    if (cluster_.size() < std::size_t(entries) * fat::kDirEntryBytes)
        throw std::runtime_error("root cluster shorter than its first sector");
    const std::function<int()> year = options_.utcYear ? options_.utcYear : platform::CurrentUtcYear;
    const bool sound =
        JudgeRootSector(cluster_.data(), unsigned(entries), year, [this](int i) { SetGaugeProgress(i); });
    if (sound) {
        Log(oplog::C2());
        ShowMessageBox(boxes::SoundText(), boxes::SoundCaption(), mb::Ok | mb::IconWarning);
        return true;
    }
    Log(oplog::C3());
    return false;
}
