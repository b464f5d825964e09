#include "platform/LocalClock.h"

#include <QDateTime>
#include <QLocale>

namespace platform {

LogStamp CurrentLogStamp()
{
    const QDateTime now = QDateTime::currentDateTime();
    const QLocale locale = QLocale::system();
    return {locale.toString(now.date(), QLocale::ShortFormat), locale.toString(now.time(), QLocale::LongFormat)};
}

int CurrentUtcYear() { return QDateTime::currentDateTimeUtc().date().year(); }

} // namespace platform
