#include "base/DateTime.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace base {

namespace {

void Put2(std::string& s, int v) {
    s += static_cast<char>('0' + v / 10 % 10);
    s += static_cast<char>('0' + v % 10);
}

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

}  // namespace

int64_t DaysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const int64_t era = FloorDiv(y, 400);
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int& year, int& month, int& day) {
    z += 719468;
    const int64_t era = FloorDiv(z, 146097);
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2));
}

TSystemTime SystemTimeFromUnixMs(int64_t ms) {
    TSystemTime t;
    int64_t days = FloorDiv(ms, 86400000);
    int64_t msOfDay = ms - days * 86400000;
    CivilFromDays(days, t.Year, t.Month, t.Day);
    t.DayOfWeek = static_cast<int>(((days % 7) + 11) % 7);  // 1970-01-01 was a Thursday
    t.Hour = static_cast<int>(msOfDay / 3600000);
    t.Minute = static_cast<int>(msOfDay / 60000 % 60);
    t.Second = static_cast<int>(msOfDay / 1000 % 60);
    t.Milliseconds = static_cast<int>(msOfDay % 1000);
    return t;
}

int64_t UnixMsFromSystemTime(const TSystemTime& t) {
    return DaysFromCivil(t.Year, t.Month, t.Day) * 86400000 + t.Hour * 3600000LL + t.Minute * 60000LL +
           t.Second * 1000LL + t.Milliseconds;
}

double DayCountFromSystemTime(const TSystemTime& t) {
    return static_cast<double>(UnixMsFromSystemTime(t)) / 86400000.0 + kUnixEpochDayCount;
}

TSystemTime SystemTimeFromDayCount(double d) {
    return SystemTimeFromUnixMs(std::llround((d - kUnixEpochDayCount) * 86400000.0));
}

std::string TimeOfDayText(const TSystemTime& t, const std::string& sep) {
    std::string s;
    s.reserve(12 + 2 * sep.size());
    Put2(s, t.Hour);
    s += sep;
    Put2(s, t.Minute);
    s += sep;
    Put2(s, t.Second);
    s += ',';
    s += static_cast<char>('0' + t.Milliseconds / 100 % 10);
    Put2(s, t.Milliseconds % 100);
    return s;
}

std::string LiveTimeText(const TSystemTime& utc, const std::string& sep) {
    return TimeOfDayText(utc, sep) + " UT";
}

std::string DateText(const TSystemTime& utc) {
    std::string s = "(";
    Put2(s, utc.Day);
    s += '-';
    Put2(s, utc.Month);
    s += '-';
    Put2(s, utc.Year / 100);
    Put2(s, utc.Year % 100);
    s += ')';
    return s;
}

std::string AppTitleText(const TSystemTime& local, const std::string& sep) {
    std::string s;
    Put2(s, local.Hour);
    s += sep;
    Put2(s, local.Minute);
    s += sep;
    Put2(s, local.Second);
    return s + " Tempix ver 1.2";
}

std::string GmtOffsetText(int biasMinutes, const std::string& sep) {
    int magnitude = std::abs(biasMinutes) % 1440;  // "hh:nn" of a fraction of a day
    std::string s = biasMinutes > 0 ? "(GMT -" : "(GMT +";
    Put2(s, magnitude / 60);
    s += sep;
    Put2(s, magnitude % 60);
    return s + ")";
}

}  // namespace base
