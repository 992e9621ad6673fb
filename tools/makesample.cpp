// makesample: writes a complete synthetic measurement database (the seven
// tables with their indexes and one counter record) for trying out and
// measuring the merge. Everything follows from the options, so one seed
// always gives the same files.
//   makesample DIR [--patients N] [--series-per-patient M]
//              [--measurements-per-series K] [--first-key K0] [--seed S]
//              [--sort-order ascii|ANSIINTL] [--hidden-patients H]
//              [--lost-series L]
// M and K are averages and may have decimals: the database gets round(N * M)
// series and round(series * K) measurements. Keys are decimal text from K0
// on, with gaps. H is the share of patients marked "x" (0.03), L the share
// of series written with patient "0" (0.01). Exit code 0 on success, 1 when the database cannot be
// written (existing tables are never overwritten), 2 on a usage error.
#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cctype>
#include <filesystem>
#include <iomanip>
#include <iostream>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

#include "database/table_schemas.h"
#include "engine/io/path_text.h"
#include "engine/io/platform.h"
#include "engine/access/database.h"
#include "engine/format/date_time.h"
#include "engine/storage/table_creator.h"
#include "tools/sample_values.h"

namespace fs = std::filesystem;
using sample::Random;

namespace {

constexpr const char* kUsage =
    "usage: makesample DIR [--patients N] [--series-per-patient M] [--measurements-per-series K]\n"
    "                  [--first-key K0] [--seed S] [--sort-order ascii|ANSIINTL]\n"
    "                  [--hidden-patients H] [--lost-series L]\n";

// Keys and counters are read as 32-bit integers; the counter is the greatest
// key plus one, so that must fit as well.
constexpr std::int64_t kGreatestCounter = std::numeric_limits<std::int32_t>::max();
constexpr std::int64_t kMostRecords = 5'000'000;

struct Options {
  fs::path dir;
  std::int64_t patients = 100;
  double seriesPerPatient = 3;
  double measurementsPerSeries = 3;
  std::int64_t firstKey = 1;
  std::uint64_t seed = 1;
  std::string sortOrder = "ANSIINTL";
  double hiddenPatients = 0.03;
  double lostSeries = 0.01;
};

struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The shortest text that reads back as the number ("100", not "100.000000").
template <typename T>
std::string shown(T value) {
  char text[32];
  auto [end, ec] = std::to_chars(text, text + sizeof text, value);
  return ec == std::errc() ? std::string(text, end) : std::string();
}

template <typename T>
T parseNumber(const std::string& option, const std::string& text, T least, T most) {
  T value{};
  const char* end = text.data() + text.size();
  auto [p, ec] = std::from_chars(text.data(), end, value);
  // The negated test also refuses "nan".
  if (ec != std::errc() || p != end || text.empty() || !(value >= least && value <= most))
    throw UsageError(option + " needs a number from " + shown(least) + " to " + shown(most) + ", not '" + text + "'");
  return value;
}

Options parseOptions(const std::vector<std::string>& args) {
  Options o;
  bool haveDir = false;
  const std::size_t argc = args.size();
  for (std::size_t i = 1; i < argc; ++i) {
    const std::string& arg = args[i];
    if (!arg.starts_with("--")) {
      if (haveDir) throw UsageError("more than one directory given ('" + arg + "')");
      o.dir = px::pathFromUtf8(arg);
      haveDir = true;
      continue;
    }
    if (i + 1 >= argc) throw UsageError(arg + " needs a value");
    const std::string& value = args[++i];
    if (arg == "--patients") o.patients = parseNumber<std::int64_t>(arg, value, 0, 1'000'000);
    else if (arg == "--series-per-patient") o.seriesPerPatient = parseNumber<double>(arg, value, 0, 100);
    else if (arg == "--measurements-per-series") o.measurementsPerSeries = parseNumber<double>(arg, value, 0, 100);
    else if (arg == "--first-key") o.firstKey = parseNumber<std::int64_t>(arg, value, 1, kGreatestCounter - 1);
    else if (arg == "--hidden-patients") o.hiddenPatients = parseNumber<double>(arg, value, 0, 1);
    else if (arg == "--lost-series") o.lostSeries = parseNumber<double>(arg, value, 0, 1);
    else if (arg == "--seed") o.seed = parseNumber<std::uint64_t>(arg, value, 0, ~std::uint64_t{0});
    else if (arg == "--sort-order") {
      if (value == "ascii" || value == "ANSIINTL") o.sortOrder = value;
      else throw UsageError("--sort-order is ascii or ANSIINTL, not '" + value + "'");
    } else {
      throw UsageError("unknown option " + arg);
    }
  }
  if (!haveDir) throw UsageError("no directory given");
  return o;
}

// The "ascii" driver belongs to a DOS code page, the ANSI one to 1252.
StorageOptions storageFor(const Options& o) {
  StorageOptions s;
  s.sortOrder = o.sortOrder;
  s.codePage = o.sortOrder == "ascii" ? 850 : 1252;
  return s;
}

bool isFamilyExtension(std::string ext) {
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (ext == ".db" || ext == ".px" || ext == ".mb" || ext == ".val" || ext == ".tv" || ext == ".fam") return true;
  return ext.size() == 4 && (ext[1] == 'x' || ext[1] == 'y');
}

// Creates the directory, or refuses one that already holds a file of any of
// the seven tables, before anything is written.
void prepareDirectory(const fs::path& dir) {
  if (fs::exists(dir) && !fs::is_directory(dir)) throw std::runtime_error(dir.string() + " is not a directory");
  fs::create_directories(dir);
  for (const fs::directory_entry& entry : fs::directory_iterator(dir)) {
    const fs::path name = entry.path().filename();
    if (!isFamilyExtension(name.extension().string())) continue;
    if (const TableSchema* schema = FindSchema(name.stem().string()))
      throw std::runtime_error(dir.string() + " already holds " + name.string() + " of table " +
                               std::string(schema->tableName) + "; nothing was written");
  }
}

void check(const px::Status& s, const std::string& what) {
  if (!s.ok()) throw std::runtime_error(what + ": " + s.message());
}

// Fills one record at a time by field name and inserts it.
class RecordWriter {
 public:
  RecordWriter(px::Database& db, const TableSchema& schema) : schema_(schema) {
    check(db.table(schema.tableName, table_), std::string(schema.tableName));
    for (std::size_t i = 0; i < schema.fields.size(); ++i) positions_.emplace(std::string(schema.fields[i].name), i);
    record_ = table_->blankRecord();
  }

  void set(const std::string& fieldName, const px::Value& value) {
    auto it = positions_.find(fieldName);
    if (it == positions_.end())
      throw std::logic_error(std::string(schema_.tableName) + " has no field " + fieldName);
    check(table_->setValue(record_, it->second, value), std::string(schema_.tableName) + "." + fieldName);
  }
  void set(const std::string& fieldName, const char* text) { set(fieldName, px::Value(std::string(text))); }
  void setKey(const std::string& fieldName, std::int64_t key) { set(fieldName, px::Value(std::to_string(key))); }

  void insert() {
    check(table_->insert(record_), std::string(schema_.tableName));
    std::fill(record_.begin(), record_.end(), 0);
    ++written_;
  }
  std::size_t written() const { return written_; }

 private:
  const TableSchema& schema_;
  px::WritableTable* table_ = nullptr;
  std::unordered_map<std::string, std::size_t> positions_;
  px::Bytes record_;
  std::size_t written_ = 0;
};

// What the tables hold, decided before any record is written: keys,
// references and dates, so that each patient's last visit follows from
// its series.
struct Plan {
  struct Patient {
    std::int64_t key;
    std::int32_t since;  // day number of the first visit
    std::int32_t lastVisit = 0;
    bool hidden = false;  // Gender "x"
  };
  struct Series {
    std::int64_t key;
    std::size_t patient;      // index into patients
    bool lostPatient = false;  // written with Patient "0"
    double created;            // timestamp
    bool provocation;
    std::size_t allergen;
    double baseRight, baseLeft;  // flows at 150 before any provocation
  };
  struct Measurement {
    std::int64_t key;
    std::size_t series;
    int position;  // within its series
    bool lostSeries = false;  // written with SessionID "0"
  };
  std::vector<Patient> patients;
  std::vector<Series> series;
  std::vector<Measurement> measurements;
};

// Ascending keys from `first` on. Most follow on by one; a few gaps stand
// for deleted records, and there is at least one gap when n >= 2.
std::vector<std::int64_t> makeKeys(Random& r, std::size_t n, std::int64_t first) {
  std::vector<std::int64_t> keys;
  keys.reserve(n);
  std::int64_t key = first;
  bool gap = false;
  for (std::size_t i = 0; i < n; ++i) {
    keys.push_back(key);
    std::int64_t step = 1;
    if (r.chance(0.004)) step += r.between(50, 500);
    else if (r.chance(0.06) || (!gap && i + 2 == n)) step += r.between(1, 9);
    gap = gap || step > 1;
    key += step;
  }
  if (!keys.empty() && keys.back() >= kGreatestCounter)
    throw std::runtime_error("the keys would pass " + std::to_string(kGreatestCounter - 1) +
                             "; choose a smaller --first-key or fewer records");
  return keys;
}

// Marks a share of the items, and one chosen item when none was marked and
// there are at least two (so that small samples hold the case too).
template <typename Item, typename Mark>
void markSome(Random& r, std::vector<Item>& items, double share, Mark mark) {
  bool any = false;
  for (Item& item : items)
    if (r.chance(share)) {
      mark(item);
      any = true;
    }
  if (!any && items.size() >= 2) mark(items[r.below(items.size())]);
}

Plan makePlan(const Options& o) {
  Plan plan;
  Random r(o.seed, 1);
  const std::int32_t first = sample::kFirstDay, span = sample::kLastDay - sample::kFirstDay;
  const std::size_t nPatients = static_cast<std::size_t>(o.patients);
  const auto nSeries = static_cast<std::size_t>(std::llround(static_cast<double>(o.patients) * o.seriesPerPatient));
  const auto nData = static_cast<std::size_t>(std::llround(static_cast<double>(nSeries) * o.measurementsPerSeries));
  if (static_cast<std::int64_t>(nSeries + nData) > kMostRecords)
    throw std::runtime_error("more than " + std::to_string(kMostRecords) + " series and measurements asked for");
  if (nSeries > 0 && nPatients == 0) throw std::runtime_error("series need patients");

  for (std::int64_t key : makeKeys(r, nPatients, o.firstKey)) {
    const double f = (static_cast<double>(plan.patients.size()) + 0.5) / static_cast<double>(nPatients);
    const auto since = static_cast<std::int32_t>(first + f * span - static_cast<double>(r.between(2, 30)));
    plan.patients.push_back({key, std::max(first, since)});
  }
  markSome(r, plan.patients, o.hiddenPatients, [](Plan::Patient& p) { p.hidden = true; });

  // Series in time order; each belongs to a patient already registered.
  for (std::int64_t key : makeKeys(r, nSeries, o.firstKey)) {
    const std::size_t i = plan.series.size();
    const double f = (static_cast<double>(i) + 0.5) / static_cast<double>(nSeries);
    const auto day = static_cast<std::int32_t>(first + f * span);
    const std::size_t eligible = std::clamp<std::size_t>((i + 1) * nPatients / nSeries + 1, 1, nPatients);
    Plan::Series s{key, r.below(eligible), false, sample::timestamp(day, r.between(8 * 60, 18 * 60)),
                   r.chance(0.5), r.below(sample::allergenCount()), r.around(420, 0.35), r.around(400, 0.35)};
    plan.series.push_back(s);
  }
  markSome(r, plan.series, o.lostSeries, [](Plan::Series& s) { s.lostPatient = true; });
  for (const Plan::Series& s : plan.series) {
    Plan::Patient& p = plan.patients[s.patient];
    if (!s.lostPatient) p.lastVisit = std::max(p.lastVisit, sample::dayOf(s.created));
  }

  // Measurements are taken in a series' session, so they come grouped by
  // series; how many each series gets varies.
  std::vector<std::size_t> owners(nData);
  for (std::size_t& owner : owners) owner = r.below(nSeries);
  std::sort(owners.begin(), owners.end());
  const std::vector<std::int64_t> dataKeys = makeKeys(r, nData, o.firstKey);
  for (std::size_t i = 0; i < nData; ++i) {
    const int position = i > 0 && owners[i - 1] == owners[i] ? plan.measurements.back().position + 1 : 0;
    plan.measurements.push_back({dataKeys[i], owners[i], position});
  }
  markSome(r, plan.measurements, 0.01, [](Plan::Measurement& m) { m.lostSeries = true; });
  return plan;
}

// The flow and resistance block of one measurement (prefix "" in data.db,
// "ml" and "mk" in session.db) from the two flows at 150. A side that was
// not measured stays blank, and so do the sums and totals that need it.
void writeMeasurementValues(RecordWriter& w, Random& r, const std::string& prefix, double right, double left,
                            bool hasRight, bool hasLeft) {
  static constexpr int kLevels[] = {75, 150, 300};
  static constexpr const char* kLevelNames[] = {"075", "150", "300"};
  for (int l = 0; l < 3; ++l) {
    const std::string level = kLevelNames[l];
    const double scale = l == 0 ? r.around(0.62, 0.05) : l == 1 ? 1.0 : r.around(1.38, 0.05);
    const double fr = std::round(right * scale), fl = std::round(left * scale);
    if (hasRight) w.set(prefix + "FlowR" + level, fr);
    if (hasLeft) w.set(prefix + "FlowL" + level, fl);
    if (hasRight && hasLeft) w.set(prefix + "FlowS" + level, fr + fl);
    if (hasRight && fr > 0) w.set(prefix + "ResR" + level, sample::hundredths(kLevels[l] / fr));
    if (hasLeft && fl > 0) w.set(prefix + "ResL" + level, sample::hundredths(kLevels[l] / fl));
    if (hasRight && hasLeft && fr + fl > 0) w.set(prefix + "ResT" + level, sample::hundredths(kLevels[l] / (fr + fl)));
  }
  for (const char* name : {"FlowIRa", "FlowIRb", "FlowILa", "FlowILb"})
    if (name[5] == 'R' ? hasRight : hasLeft) w.set(prefix + name, static_cast<std::int32_t>(r.between(5, 160)));
}

void writePatients(RecordWriter& w, const Plan& plan, Random& r) {
  for (const Plan::Patient& p : plan.patients) {
    const sample::Person person = sample::person(r);
    w.setKey("ID", p.key);
    // A patient entered without a name carries its key as name.
    w.set("Name", r.chance(0.01) ? std::to_string(p.key) : person.name);
    if (!r.chance(0.05)) w.set("SocSecNum", sample::insuranceNumber(r));
    w.set("Adresse1", sample::street(r));
    w.set("Adresse2", sample::town(r));
    w.set("DOB", sample::birthDate(r, p.since));
    w.set("Height", std::to_string(r.between(person.male ? 165 : 152, person.male ? 198 : 184)));
    w.set("Weight", std::to_string(r.between(person.male ? 60 : 45, person.male ? 125 : 105)));
    w.set("Gender", p.hidden ? "x" : person.male ? "männlich" : "weiblich");
    w.set("Insurance", sample::insurance(r));
    if (p.lastVisit > 0) {
      w.set("LastVisit", p.lastVisit);
      if (r.chance(0.4)) w.set("NextVisit", static_cast<std::int32_t>(p.lastVisit + r.between(90, 400)));
    }
    if (std::string remark = sample::remark(r, 0.4); !remark.empty()) w.set("Remark", remark);
    w.set("MD", sample::doctorId(r));
    if (r.chance(0.1)) w.set("Field1", sample::referral(r));
    if (r.chance(0.2)) w.set("Field2", r.chance(0.5) ? "Kasse" : "Privat");
    if (r.chance(0.2)) w.set("FieldN1", static_cast<double>(r.between(1, 12)));
    w.set("Update", std::max(p.since, p.lastVisit));
    w.insert();
  }
}

void writeSeries(RecordWriter& w, const Plan& plan, Random& r) {
  for (const Plan::Series& s : plan.series) {
    w.setKey("SessionID", s.key);
    w.setKey("Patient", s.lostPatient ? 0 : plan.patients[s.patient].key);
    const std::string allergen(sample::allergen(s.allergen));
    w.set("Title", s.provocation ? "Provokation " + allergen : std::string(sample::seriesTitle(r)));
    w.set("Creation", s.created);
    w.set("Creator", sample::doctorId(r));
    w.set("MeasType", s.provocation ? "NPT" : "RMM");
    if (std::string remark = sample::remark(r, 0.5); !remark.empty()) w.set("Remark", remark);
    // Before: the rest values of both sides.
    w.set("mlCreationRight", s.created + 60'000.0 * static_cast<double>(r.between(1, 4)));
    w.set("mlCreationLeft", s.created + 60'000.0 * static_cast<double>(r.between(5, 9)));
    if (r.chance(0.6)) w.set("mlDataLeft", sample::curve(r, s.baseLeft));
    if (r.chance(0.6)) w.set("mlDataRight", sample::curve(r, s.baseRight));
    writeMeasurementValues(w, r, "ml", s.baseRight, s.baseLeft, true, true);
    w.set("mlRatio", sample::hundredths(s.baseRight / s.baseLeft));
    if (s.provocation) {
      // After: the values once the allergen has taken effect.
      const double dropRight = r.around(0.7, 0.25), dropLeft = r.around(0.75, 0.25);
      w.set("mkAllerg", allergen);
      w.set("mkCreationLeft", s.created + 60'000.0 * static_cast<double>(r.between(20, 40)));
      w.set("mkCreationRight", s.created + 60'000.0 * static_cast<double>(r.between(41, 60)));
      if (r.chance(0.7)) w.set("mkDataLeft", sample::curve(r, s.baseLeft * dropLeft));
      if (r.chance(0.7)) w.set("mkDataRight", sample::curve(r, s.baseRight * dropRight));
      writeMeasurementValues(w, r, "mk", s.baseRight * dropRight, s.baseLeft * dropLeft, true, true);
      w.set("mkRatio", sample::hundredths(dropRight * s.baseRight / (dropLeft * s.baseLeft)));
      w.set("mkFlowDecR", std::round(100 * (1 - dropRight)));
      w.set("mkFlowDecL", std::round(100 * (1 - dropLeft)));
    }
    w.set("Update", sample::dayOf(s.created));
    w.insert();
  }
}

void writeMeasurements(RecordWriter& w, const Plan& plan, Random& r) {
  for (const Plan::Measurement& m : plan.measurements) {
    const Plan::Series& s = plan.series[m.series];
    w.setKey("DataID", m.key);
    w.setKey("SessionID", m.lostSeries ? 0 : s.key);
    const sample::Step step = sample::step(s.provocation, m.position);
    const double taken = s.created + 60'000.0 * (5.0 * m.position + static_cast<double>(r.between(1, 4)));
    const bool right = !r.chance(0.15), left = !right || !r.chance(0.15);
    if (left) w.set("CreationLeft", taken + 60'000.0);
    if (right) w.set("CreationRight", taken);
    w.set("Description", std::string(step.description));
    if (step.withAllergen) {
      w.set("Allerg", std::string(sample::allergen(s.allergen)));
      w.set("AllergCharge", sample::batch(r));
    } else if (step.withSolvent) {
      w.set("Allerg", std::string(sample::solvent(r)));
    }
    w.set("MeasType", s.provocation ? "Nasaler Provokationstest" : "Rhinomanometrie");
    if (r.chance(0.15)) w.set("Remark", sample::remark(r, 1.0));
    const double flowRight = s.baseRight * step.factor * r.around(1, 0.05);
    const double flowLeft = s.baseLeft * step.factor * r.around(1, 0.05);
    if (left) w.set("DataLeft", sample::curve(r, flowLeft));
    if (right) w.set("DataRight", sample::curve(r, flowRight));
    w.set("Update", sample::dayOf(taken));
    w.set("Left", left);
    w.set("Right", right);
    if (!r.chance(0.05)) w.set("Anzeige", r.chance(0.8));
    writeMeasurementValues(w, r, "", flowRight, flowLeft, right, left);
    if (right) w.set("FlowDecR", std::round(100 * (1 - flowRight / s.baseRight)));
    if (left) w.set("FlowDecL", std::round(100 * (1 - flowLeft / s.baseLeft)));
    w.set("color", sample::curveColour(r));
    w.insert();
  }
}

// The counters stand one above the greatest key of each table, as the merge
// leaves them; an empty table's counter is the first key it would give.
void writeCounter(RecordWriter& w, const Plan& plan, const Options& o) {
  auto next = [&](const auto& items) {
    return static_cast<std::int32_t>(items.empty() ? o.firstKey : items.back().key + 1);
  };
  w.set("LastPatient", next(plan.patients));
  w.set("LastSession", next(plan.series));
  w.set("LastData", next(plan.measurements));
  if (!plan.series.empty()) w.set("LastDate", sample::dayOf(plan.series.back().created));
  w.insert();
}

void writeCatalogues(RecordWriter& tech, RecordWriter& system, RecordWriter& allerg, Random& r) {
  auto some = [&r](std::int32_t from) { return static_cast<std::int32_t>(from + r.between(0, 300)); };
  for (const sample::Technician& t : sample::technicians()) {
    tech.set("TechID", std::string(t.id));
    tech.set("Name", std::string(t.name));
    tech.set("Priority", t.priority);
    tech.set("NewsPractice", sample::timestamp(some(sample::kLastDay - 400), r.between(480, 1080)));
    tech.set("NewsSoftware", sample::timestamp(some(sample::kLastDay - 400), r.between(480, 1080)));
    if (r.chance(0.5)) tech.set("NewsPersonal", sample::timestamp(some(sample::kLastDay - 400), r.between(480, 1080)));
    if (!t.remarks.empty()) tech.set("Remarks", std::string(t.remarks));
    if (!t.password.empty()) tech.set("Pwd", std::string(t.password));
    tech.set("Field1", std::string(t.field1));
    tech.set("Update", some(sample::kLastDay - 400));
    tech.insert();
  }
  for (const sample::Practice& p : sample::practices()) {
    system.set("System", std::string(p.system));
    system.set("Practice", std::string(p.practice));
    system.set("Doctor", std::string(p.doctor));
    system.set("Address1", std::string(p.address1));
    system.set("Address2", std::string(p.address2));
    system.set("Address3", std::string(p.address3));
    system.set("Number", std::string(p.number));
    system.set("ComPort", std::string(p.comPort));
    system.set("FieldD1", sample::kFirstDay);
    system.set("Update", some(sample::kLastDay - 400));
    system.insert();
  }
  for (const sample::CatalogueItem& item : sample::catalogue()) {
    allerg.set("Name", std::string(item.name));
    allerg.set("Description", std::string(item.description));
    allerg.set("Factory", std::string(item.factory));
    allerg.set("OrderNo", std::string(item.orderNo));
    allerg.set("Field1", std::string(1, item.kind));
    allerg.set("Update", some(sample::kFirstDay));
    allerg.insert();
  }
}

struct Written {
  std::size_t patients = 0, series = 0, measurements = 0;
};

Written writeDatabase(const Options& o, const Plan& plan, std::vector<fs::path>& created) {
  const StorageOptions storage = storageFor(o);
  // Fixed stamps: the same options give the same bytes.
  const px::CreationStamps stamps = px::CreationStamps::at(sample::kStampSeconds);
  for (const TableSchema* schema : AllSchemas()) {
    const px::TableDefinition definition = ToTableDefinition(*schema, storage);
    const std::string name(schema->baseName());
    check(px::createTable(px::localFileSystem(), o.dir, name, definition, stamps), std::string(schema->tableName));
    for (const std::string& file : px::familyFileNames(name, definition)) created.push_back(o.dir / file);
  }

  std::unique_ptr<px::Database> db;
  check(px::Database::open(px::localFileSystem(), o.dir, db), o.dir.string());
  RecordWriter patients(*db, PatientSchema()), series(*db, SessionSchema()), data(*db, DataSchema());
  RecordWriter counter(*db, CounterSchema()), tech(*db, TechSchema()), system(*db, SystemSchema());
  RecordWriter allerg(*db, AllergSchema());
  // Each table draws from its own stream, so the catalogues do not shift
  // when the clinical tables grow.
  Random forPatients(o.seed, 2), forSeries(o.seed, 3), forData(o.seed, 4), forCatalogues(o.seed, 5);
  writePatients(patients, plan, forPatients);
  writeSeries(series, plan, forSeries);
  writeMeasurements(data, plan, forData);
  writeCounter(counter, plan, o);
  writeCatalogues(tech, system, allerg, forCatalogues);
  check(db->close(), "writing " + o.dir.string());
  return {patients.written(), series.written(), data.written()};
}

}  // namespace

int main(int argc, char** argv) {
  px::useUtf8Console();
  Options o;
  try {
    o = parseOptions(px::commandLineArguments(argc, argv));
  } catch (const UsageError& e) {
    std::cerr << "makesample: " << e.what() << "\n" << kUsage;
    return 2;
  }
  std::vector<fs::path> created;
  try {
    const auto start = std::chrono::steady_clock::now();
    const Plan plan = makePlan(o);
    prepareDirectory(o.dir);
    const Written w = writeDatabase(o, plan, created);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::cout << "makesample: " << w.patients << " patients, " << w.series << " series, " << w.measurements
              << " measurements in " << o.dir.string() << " (" << o.sortOrder << ", code page "
              << storageFor(o).codePage << ", seed " << o.seed << ") in " << std::fixed
              << std::setprecision(2) << seconds << " s\n";
    return 0;
  } catch (const std::exception& e) {
    // A database half written is of no use: take back the files made here.
    std::error_code ignored;
    for (const fs::path& file : created) fs::remove(file, ignored);
    std::cerr << "makesample: " << e.what() << "\n";
    return 1;
  }
}
