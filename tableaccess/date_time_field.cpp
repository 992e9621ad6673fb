#include "tableaccess/date_time_field.h"

#include <cstdio>

#include "engine/format/date_time.h"
#include "framework/core/exceptions.h"

namespace {

std::string DateText(std::int32_t dayNumber) {
  const px::CivilDate date = px::civilFromDayNumber(dayNumber);
  char text[16];
  std::snprintf(text, sizeof text, "%02d.%02d.%04d", date.day, date.month, date.year);
  return text;
}

// Reads "DD.MM.YYYY" and an optional " HH:MM[:SS]"; false for anything else.
bool ParseDateTime(const std::string& text, bool allowTime, std::int32_t& dayNumber, std::int64_t& milliseconds) {
  int day = 0, month = 0, year = 0, hour = 0, minute = 0, second = 0, used = 0;
  if (std::sscanf(text.c_str(), "%2d.%2d.%4d%n", &day, &month, &year, &used) != 3) return false;
  std::size_t rest = static_cast<std::size_t>(used);
  if (rest < text.size()) {
    if (!allowTime) return false;
    int more = 0;
    const int got = std::sscanf(text.c_str() + rest, " %2d:%2d%n:%2d%n", &hour, &minute, &more, &second, &more);
    if (got < 2 || rest + static_cast<std::size_t>(more) != text.size()) return false;
    if (hour > 23 || minute > 59 || second > 59 || hour < 0 || minute < 0 || second < 0) return false;
  }
  if (year < 1 || month < 1 || month > 12 || day < 1) return false;
  const px::CivilDate date{year, month, day};
  dayNumber = px::dayNumberFromCivil(date);
  const px::CivilDate back = px::civilFromDayNumber(dayNumber);
  if (back.day != day || back.month != month || back.year != year) return false;  // 31.02. and the like
  milliseconds = ((hour * 60LL + minute) * 60LL + second) * 1000LL;
  return true;
}

}  // namespace

std::string TDateField::AsString() const {
  px::Value value;
  if (!GetData(value)) return {};
  if (const auto* day = std::get_if<std::int32_t>(&value)) return DateText(*day);
  return {};
}

void TDateField::SetAsString(const std::string& text) {
  if (text.empty()) {
    Clear();
    return;
  }
  std::int32_t day = 0;
  std::int64_t ms = 0;
  if (!ParseDateTime(text, false, day, ms)) throw EConvertError("'" + text + "' is not a valid date");
  SetData(px::Value(day));
}

std::string TDateTimeField::AsString() const {
  px::Value value;
  if (!GetData(value)) return {};
  const auto* stamp = std::get_if<double>(&value);
  if (stamp == nullptr) return {};
  const auto total = static_cast<std::int64_t>(*stamp);
  const auto day = static_cast<std::int32_t>(total / px::kMillisecondsPerDay);
  const std::int64_t seconds = (total % px::kMillisecondsPerDay) / 1000;
  char text[32];
  std::snprintf(text, sizeof text, "%s %02lld:%02lld:%02lld", DateText(day).c_str(), static_cast<long long>(seconds / 3600),
                static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
  return text;
}

void TDateTimeField::SetAsString(const std::string& text) {
  if (text.empty()) {
    Clear();
    return;
  }
  std::int32_t day = 0;
  std::int64_t ms = 0;
  if (!ParseDateTime(text, true, day, ms)) throw EConvertError("'" + text + "' is not a valid date and time");
  SetData(px::Value(static_cast<double>(day) * px::kMillisecondsPerDay + static_cast<double>(ms)));
}
