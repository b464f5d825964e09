#include "rebuild/RootJudge.h"

#include "rebuild/UNtfsFat.h"

namespace {
bool IsLeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int year, int month)
{
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}
} // namespace

bool IsValidDosDateTime(std::uint16_t date, std::uint16_t time)
{
    const fat::DosDate d = fat::DecodeDosDate(date);
    const fat::DosTime t = fat::DecodeDosTime(time);
    return d.month >= 1 && d.month <= 12 && d.day >= 1 && d.day <= DaysInMonth(d.year, d.month) && t.hours <= 23
        && t.minutes <= 59 && t.seconds <= 58;
}

int CarriedYear::Convert(std::uint16_t date, std::uint16_t time)
{
    if (IsValidDosDateTime(date, time))
        year_ = fat::DecodeDosDate(date).year;
    return year_;
}

bool JudgeRootSector(const std::uint8_t* sector, unsigned entryCount, const std::function<int()>& utcYear,
                     const std::function<void(int)>& onEntry)
{
    bool sound = false;
    CarriedYear carried;
    for (unsigned i = 0; i < entryCount; ++i) {
        if (onEntry)
            onEntry(int(i));
        const fat::DirEntry e = fat::DecodeDirEntry(sector, i * fat::kDirEntryBytes);
        if (e.Attr == fat::kAttrLongName)
            continue;
        const int yc = carried.Convert(e.CrtDate, e.CrtTime);
        // The access stamp has no time word of its own: the creation date stands in its place.
        const int ya = carried.Convert(e.LstAccDate, e.CrtDate);
        const int yw = carried.Convert(e.WrtDate, e.WrtTime);
        const int y = utcYear();
        sound = yc > 2000 && yc <= y && ya > 2000 && ya <= y && yw > 2000 && yw <= y && yc >= ya && yc >= yw;
    }
    return sound;
}
