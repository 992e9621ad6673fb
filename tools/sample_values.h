// Synthetic values for the sample database: a seeded random source that gives
// the same sequence on every platform, German names and addresses, dates,
// remarks, measurement curves and the rows of the catalogue tables.
// Nothing here knows about tables; makesample puts the values into records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "engine/format/value.h"

namespace sample {

// splitmix64: small, fast and fully specified, so a seed means the same
// values everywhere (the standard distributions are not portable).
class Random {
 public:
  // Streams of one seed are independent of each other.
  Random(std::uint64_t seed, std::uint64_t stream);

  std::uint64_t next();
  std::size_t below(std::size_t n);                         // 0 .. n-1; 0 when n is 0
  std::int64_t between(std::int64_t low, std::int64_t high);  // both inclusive
  double uniform();                                         // [0, 1)
  double around(double mean, double spread);                // mean * (1 +- spread), uniform
  bool chance(double p);

 private:
  std::uint64_t state_;
};

// The sample covers visits from 1996-01-02 to 2005-12-30 (day numbers with
// 0001-01-01 = 1), and its files carry the stamp of 2006-01-16 09:00 UTC.
inline constexpr std::int32_t kFirstDay = 728660;
inline constexpr std::int32_t kLastDay = 732310;
inline constexpr std::uint32_t kStampSeconds = 1137402000;

double timestamp(std::int32_t day, std::int64_t minuteOfDay);
std::int32_t dayOf(double timestamp);
double hundredths(double value);

struct Person {
  std::string name;  // "Surname, Given name"
  bool male;
};
Person person(Random& r);
std::string insuranceNumber(Random& r);
std::string street(Random& r);
std::string town(Random& r);
// "ddmmyyyy", as the date mask stores it without its separators: a patient
// between 6 and 85 at the first visit.
std::string birthDate(Random& r, std::int32_t firstVisit);
std::string insurance(Random& r);
std::string referral(Random& r);
// A free-text remark with probability `share`, else "". Some are longer
// than any memo keeps inside the record.
std::string remark(Random& r, double share);
std::string seriesTitle(Random& r);
std::string batch(Random& r);
double curveColour(Random& r);

// One step of a series' protocol: what the measurement is called, how its
// flows stand to the series' rest flows, and what was applied.
struct Step {
  std::string_view description;
  double factor;
  bool withAllergen;
  bool withSolvent;
};
Step step(bool provocation, int position);

// A recorded flow curve: a 16-bit little-endian sample count, then that many
// signed 16-bit samples. Most take a few hundred bytes to 1 KB, some fewer
// than 240 (aborted recordings), some several KB (long recordings).
px::Bytes curve(Random& r, double flow);

// The catalogue tables.
struct Technician {
  std::string_view id, name;
  bool priority;
  std::string_view remarks, password, field1;
};
struct Practice {
  std::string_view system, practice, doctor, address1, address2, address3, number, comPort;
};
struct CatalogueItem {
  std::string_view name, description, factory, orderNo;
  char kind;  // 'A' allergen, 'S' solvent
};
std::span<const Technician> technicians();
std::span<const Practice> practices();
std::span<const CatalogueItem> catalogue();

std::string doctorId(Random& r);
std::size_t allergenCount();
std::string allergen(std::size_t i);  // REQUIRES: i < allergenCount()
std::string solvent(Random& r);

}  // namespace sample
