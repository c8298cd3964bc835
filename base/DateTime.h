// Calendar times, their texts, and the day-count time (days since 1899-12-30 00:00).
#pragma once

#include <cstdint>
#include <string>

namespace base {

struct TSystemTime {
    int Year = 0;
    int Month = 0;      // 1..12
    int DayOfWeek = 0;  // 0 = Sunday
    int Day = 0;        // 1..31
    int Hour = 0;
    int Minute = 0;
    int Second = 0;
    int Milliseconds = 0;
};

// Days from 1970-01-01 to the given civil date (proleptic Gregorian), and back.
int64_t DaysFromCivil(int year, int month, int day);
void CivilFromDays(int64_t days, int& year, int& month, int& day);

// Splits milliseconds since 1970-01-01 00:00 into calendar fields.
TSystemTime SystemTimeFromUnixMs(int64_t ms);
int64_t UnixMsFromSystemTime(const TSystemTime& t);

// Day-count time: 0.0 is 1899-12-30 00:00; the fraction is the time of day.
constexpr double kUnixEpochDayCount = 25569.0;
double DayCountFromSystemTime(const TSystemTime& t);
TSystemTime SystemTimeFromDayCount(double d);  // rounded to the nearest millisecond

// "hh:nn:ss,zzz" with the given time separator in place of each colon.
std::string TimeOfDayText(const TSystemTime& t, const std::string& timeSep);
// The live and stopped display text: "hh:nn:ss,zzz UT".
std::string LiveTimeText(const TSystemTime& utc, const std::string& timeSep);
// The current date text: "(dd-mm-yyyy)".
std::string DateText(const TSystemTime& utc);
// The application title: "hh:nn:ss Tempix ver 1.2".
std::string AppTitleText(const TSystemTime& local, const std::string& timeSep);
// "(GMT +01:00)" from a bias in minutes (UTC minus local: positive west of Greenwich).
std::string GmtOffsetText(int biasMinutes, const std::string& timeSep);

}  // namespace base
