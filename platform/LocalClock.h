#pragma once
// The clock as the job reads it: the local date and time for the log, in the system locale's short date
// and long time formats, and the current year in UTC for the health check.

#include <QString>

namespace platform {

struct LogStamp {
    QString date;
    QString time;
};

// Date and time of one instant, so that a line never mixes two readings of the clock.
LogStamp CurrentLogStamp();
int CurrentUtcYear();

} // namespace platform
