// Calendar arithmetic for the stored Date, Time and Timestamp values:
// dates are day numbers of the proleptic Gregorian calendar with 0001-01-01 = 1,
// times milliseconds since midnight, timestamps milliseconds with day d
// starting at d * 86,400,000 (docs/paradox-format.md section 3).
#pragma once

#include <cstdint>
#include <string>

namespace px {

inline constexpr std::int64_t kMillisecondsPerDay = 86'400'000;

struct CivilDate {
  int year = 1;
  int month = 1;
  int day = 1;
};

std::int32_t dayNumberFromCivil(const CivilDate& date);
CivilDate civilFromDayNumber(std::int32_t dayNumber);

// "YYYY-MM-DD", "HH:MM:SS[.mmm]" and "YYYY-MM-DD HH:MM:SS[.mmm]"; the fraction
// only when it is not zero.
std::string formatDate(std::int32_t dayNumber);
std::string formatTime(std::int32_t milliseconds);
std::string formatTimestamp(double milliseconds);

}  // namespace px
