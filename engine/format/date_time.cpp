#include "engine/format/date_time.h"

#include <cmath>
#include <cstdio>

namespace px {

namespace {
// Days from 0001-01-01 (day 1) to 1970-01-01 in the proleptic Gregorian calendar.
constexpr std::int64_t kDayNumberOfUnixEpoch = 719163;

// Days since 1970-01-01 for a civil date (the well-known era-based algorithm).
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}
}  // namespace

std::int32_t dayNumberFromCivil(const CivilDate& date) {
  return static_cast<std::int32_t>(daysFromCivil(date.year, static_cast<unsigned>(date.month),
                                                 static_cast<unsigned>(date.day)) +
                                   kDayNumberOfUnixEpoch);
}

CivilDate civilFromDayNumber(std::int32_t dayNumber) {
  std::int64_t z = static_cast<std::int64_t>(dayNumber) - kDayNumberOfUnixEpoch + 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp < 10 ? mp + 3 : mp - 9;
  return {static_cast<int>(y + (m <= 2)), static_cast<int>(m), static_cast<int>(d)};
}

std::string formatDate(std::int32_t dayNumber) {
  const CivilDate c = civilFromDayNumber(dayNumber);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", c.year, c.month, c.day);
  return buf;
}

std::string formatTime(std::int32_t milliseconds) {
  const std::int64_t ms = milliseconds;
  char buf[40];
  if (ms % 1000 != 0)
    std::snprintf(buf, sizeof buf, "%02lld:%02lld:%02lld.%03lld", static_cast<long long>(ms / 3600000),
                  static_cast<long long>(ms / 60000 % 60), static_cast<long long>(ms / 1000 % 60),
                  static_cast<long long>(ms % 1000));
  else
    std::snprintf(buf, sizeof buf, "%02lld:%02lld:%02lld", static_cast<long long>(ms / 3600000),
                  static_cast<long long>(ms / 60000 % 60), static_cast<long long>(ms / 1000 % 60));
  return buf;
}

std::string formatTimestamp(double milliseconds) {
  if (!std::isfinite(milliseconds) || milliseconds < 0 || milliseconds > 1e15) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", milliseconds);
    return buf;
  }
  const auto total = static_cast<std::int64_t>(std::llround(milliseconds));
  const auto day = static_cast<std::int32_t>(total / kMillisecondsPerDay);
  const auto ms = static_cast<std::int32_t>(total % kMillisecondsPerDay);
  return formatDate(day) + " " + formatTime(ms);
}

}  // namespace px
