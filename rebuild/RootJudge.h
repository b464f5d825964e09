#pragma once
// The health check's verdict on the first sector of the root cluster, judged by the years of the entries'
// time stamps. Pure: the clock and the gauge come in as functions.

#include <cstdint>
#include <functional>

// Converts DOS date and time pairs to years, carrying the last valid year over invalid pairs.
class CarriedYear {
public:
    int Convert(std::uint16_t date, std::uint16_t time);
    int value() const { return year_; }

private:
    int year_ = 1601;
};

bool IsValidDosDateTime(std::uint16_t date, std::uint16_t time);

// True when the root looks sound. Examines entryCount entries of 32 bytes from the start of sector;
// each entry that is not a long-name entry replaces the verdict, so the last one decides.
// onEntry(i) is called before entry i is examined; utcYear is read for each entry.
bool JudgeRootSector(const std::uint8_t* sector, unsigned entryCount, const std::function<int()>& utcYear,
                     const std::function<void(int)>& onEntry = {});
