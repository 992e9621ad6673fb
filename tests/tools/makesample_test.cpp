// makesample as the merge's tests and benchmarks use it: a sample that the
// checker passes and an independent reader reads, holding the cases the merge
// must handle (hidden patients, references "0", key gaps) with a counter
// record that fits its keys; the same seed gives the same files; bad
// arguments and existing tables are refused without writing anything.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "engine/storage/table.h"
#include "tests/support/pxlib_reader.h"
#include "tests/support/test_support.h"
#include "tests/support/tool_run.h"

namespace {

namespace fs = std::filesystem;
using px::test::TempDir;
using px::test::ToolRun;

ToolRun makesample(const std::string& args) { return px::test::runTool("makesample", args); }

std::string quoted(const fs::path& path) { return "'" + path.string() + "'"; }

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::vector<std::string> filesIn(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// A table read with the engine, with its values by field name.
class Sample {
 public:
  Sample(const fs::path& dir, const std::string& name) {
    px::Status s = px::Table::open(px::localFileSystem(), dir, name, table_);
    EXPECT_TRUE(s.ok()) << name << ": " << s.message();
  }
  const px::Table& table() const { return *table_; }
  std::size_t size() const { return table_->recordCount(); }

  px::Value value(std::size_t record, const std::string& field) const {
    px::Value v;
    px::Status s = table_->readValue(record, position(field), v);
    EXPECT_TRUE(s.ok()) << field << ": " << s.message();
    return v;
  }
  std::string text(std::size_t record, const std::string& field) const {
    const px::Value v = value(record, field);
    return px::isNull(v) ? std::string() : std::get<std::string>(v);
  }
  std::int64_t number(std::size_t record, const std::string& field) const { return std::stoll(text(record, field)); }
  px::Bytes blob(std::size_t record, const std::string& field) const {
    px::Bytes out;
    px::Status s = table_->readBlobBytes(table_->record(record), position(field), out);
    EXPECT_TRUE(s.ok()) << field << ": " << s.message();
    return out;
  }

 private:
  std::size_t position(const std::string& field) const {
    for (std::size_t i = 0; i < table_->fields().size(); ++i) {
      std::string name;
      if (table_->fieldName(i, name).ok() && name == field) return i;
    }
    ADD_FAILURE() << "no field " << field;
    return 0;
  }
  std::unique_ptr<px::Table> table_;
};

std::vector<std::int64_t> keysOf(const Sample& t, const std::string& field) {
  std::vector<std::int64_t> keys;
  for (std::size_t i = 0; i < t.size(); ++i) keys.push_back(t.number(i, field));
  std::sort(keys.begin(), keys.end());
  return keys;
}

// Keys from `first` on that are not one run of consecutive numbers.
void expectKeysWithGaps(const std::vector<std::int64_t>& keys, std::int64_t first, const char* what) {
  ASSERT_GE(keys.size(), 2u) << what;
  EXPECT_EQ(keys.front(), first) << what;
  EXPECT_EQ(std::adjacent_find(keys.begin(), keys.end()), keys.end()) << what << ": duplicate keys";
  EXPECT_GT(keys.back() - keys.front() + 1, static_cast<std::int64_t>(keys.size())) << what << ": no gap";
}

TEST(Makesample, SmallSampleIsCheckedReadableAndHoldsTheMergeCases) {
  TempDir dir;
  const fs::path db = dir.path() / "db";  // created by the tool
  ToolRun r = makesample(quoted(db) + " --patients 60 --seed 3");
  ASSERT_EQ(r.exitCode, 0) << r.out;
  EXPECT_TRUE(contains(r.out, "60 patients, 180 series, 540 measurements")) << r.out;

  ToolRun check = px::test::runTool("pxcheck", "--rebuild " + quoted(db));
  EXPECT_EQ(check.exitCode, 0) << check.out;
  for (const char* table : {"patient", "session", "data", "index", "tech", "system", "allerg"})
    EXPECT_TRUE(contains(check.out, std::string(table) + ".DB: ok\n")) << check.out;

  const Sample patients(db, "patient"), series(db, "session"), data(db, "data"), counter(db, "index");
  const Sample allerg(db, "allerg");
  const std::map<std::string, std::size_t> expected = {{"patient", 60}, {"session", 180}, {"data", 540},
                                                       {"index", 1}};
  for (const auto& [name, count] : expected) EXPECT_EQ(Sample(db, name).size(), count) << name;
  // pxlib reads every table with the engine's record count and, where the
  // first field is text, the same values (stored bytes; keys are digits).
  for (const char* name : {"patient", "session", "data", "index", "tech", "system", "allerg"}) {
    const Sample ours(db, name);
    EXPECT_GE(ours.size(), 1u) << name;
    if (!px::test::pxlibReads()) continue;
    const px::test::PxlibTable view = px::test::readWithPxlib(db / (std::string(name) + ".DB"));
    EXPECT_EQ(view.records, static_cast<int>(ours.size())) << name;
    EXPECT_EQ(view.fields.size(), ours.table().fields().size()) << name;
    if (std::string(name) == "index" || view.fields.empty()) continue;
    std::vector<std::string> stored, read;
    for (std::size_t i = 0; i < ours.size(); ++i) {
      const char* text = reinterpret_cast<const char*>(ours.table().record(i));
      stored.emplace_back(text, strnlen(text, static_cast<std::size_t>(ours.table().fields()[0].size)));
    }
    for (const auto& row : view.rows) read.push_back(row.at(view.fields[0].name));
    EXPECT_EQ(read, stored) << name;
  }

  // Hidden patients, a few of them.
  std::size_t hidden = 0;
  for (std::size_t i = 0; i < patients.size(); ++i) hidden += patients.text(i, "Gender") == "x";
  EXPECT_GE(hidden, 1u);
  EXPECT_LE(hidden, patients.size() / 5);

  const std::vector<std::int64_t> patientKeys = keysOf(patients, "ID");
  const std::vector<std::int64_t> seriesKeys = keysOf(series, "SessionID");
  const std::vector<std::int64_t> dataKeys = keysOf(data, "DataID");
  expectKeysWithGaps(patientKeys, 1, "patients");
  expectKeysWithGaps(seriesKeys, 1, "series");
  expectKeysWithGaps(dataKeys, 1, "measurements");

  // References: to an existing parent, or "0" for a few.
  auto referencesOf = [](const Sample& t, const std::string& field, const std::vector<std::int64_t>& parents) {
    std::size_t zeros = 0;
    for (std::size_t i = 0; i < t.size(); ++i) {
      const std::string ref = t.text(i, field);
      if (ref == "0") ++zeros;
      else EXPECT_TRUE(std::binary_search(parents.begin(), parents.end(), std::stoll(ref))) << field << " " << ref;
    }
    return zeros;
  };
  const std::size_t lostPatients = referencesOf(series, "Patient", patientKeys);
  const std::size_t lostSeries = referencesOf(data, "SessionID", seriesKeys);
  EXPECT_GE(lostPatients, 1u);
  EXPECT_LE(lostPatients, series.size() / 10);
  EXPECT_GE(lostSeries, 1u);
  EXPECT_LE(lostSeries, data.size() / 10);

  // The counters stand one above the greatest keys; pxlib reads the same.
  EXPECT_EQ(std::get<std::int32_t>(counter.value(0, "LastPatient")), patientKeys.back() + 1);
  EXPECT_EQ(std::get<std::int32_t>(counter.value(0, "LastSession")), seriesKeys.back() + 1);
  EXPECT_EQ(std::get<std::int32_t>(counter.value(0, "LastData")), dataKeys.back() + 1);
  if (px::test::pxlibReads()) {
    const px::test::PxlibTable counterView = px::test::readWithPxlib(db / "index.DB");
    ASSERT_EQ(counterView.rows.size(), 1u);
    EXPECT_EQ(counterView.rows[0].at("LastData"), std::to_string(dataKeys.back() + 1));
    EXPECT_EQ(counterView.rows[0].at("LastSession"), std::to_string(seriesKeys.back() + 1));
    EXPECT_EQ(counterView.rows[0].at("LastPatient"), std::to_string(patientKeys.back() + 1));
  }

  // The catalogue has both kinds the views select.
  std::set<std::string> kinds;
  for (std::size_t i = 0; i < allerg.size(); ++i) kinds.insert(allerg.text(i, "Field1"));
  EXPECT_EQ(kinds, (std::set<std::string>{"A", "S"}));
}

TEST(Makesample, SharesOfHiddenPatientsAndLostSeriesFollowTheOptions) {
  TempDir dir;
  ToolRun r = makesample(quoted(dir.path()) + " --patients 200 --hidden-patients 0.5 --lost-series 0.5 --seed 5");
  ASSERT_EQ(r.exitCode, 0) << r.out;
  const Sample patients(dir.path(), "patient"), series(dir.path(), "session");
  std::size_t hidden = 0, lost = 0;
  for (std::size_t i = 0; i < patients.size(); ++i) hidden += patients.text(i, "Gender") == "x";
  for (std::size_t i = 0; i < series.size(); ++i) lost += series.text(i, "Patient") == "0";
  EXPECT_GT(hidden, patients.size() * 2 / 5);
  EXPECT_LT(hidden, patients.size() * 3 / 5);
  EXPECT_GT(lost, series.size() * 2 / 5);
  EXPECT_LT(lost, series.size() * 3 / 5);
}

TEST(Makesample, CurvesAndRemarksLiveInRecordAndBlobFile) {
  TempDir dir;
  ToolRun r = makesample(quoted(dir.path()) + " --patients 40 --seed 11");
  ASSERT_EQ(r.exitCode, 0) << r.out;
  const Sample data(dir.path(), "data");
  std::size_t small = 0, large = 0, curves = 0;
  for (std::size_t i = 0; i < data.size(); ++i) {
    for (const char* side : {"Left", "Right"}) {
      const px::Bytes curve = data.blob(i, std::string("Data") + side);
      const px::Value measured = data.value(i, side);
      ASSERT_TRUE(std::holds_alternative<bool>(measured));
      EXPECT_EQ(!curve.empty(), std::get<bool>(measured)) << "record " << i << " " << side;
      if (curve.empty()) continue;
      ++curves;
      // A sample count, then the samples.
      ASSERT_GE(curve.size(), 2u);
      EXPECT_EQ(curve.size(), 2u + 2u * (curve[0] | curve[1] << 8)) << "record " << i;
      small += curve.size() < 240;
      large += curve.size() > 2000;
    }
  }
  EXPECT_GT(curves, data.size());
  EXPECT_GE(small, 1u);
  EXPECT_GE(large, 1u);

  std::size_t longRemarks = 0;
  const Sample patients(dir.path(), "patient");
  for (std::size_t i = 0; i < patients.size(); ++i) longRemarks += patients.text(i, "Remark").size() > 60;
  EXPECT_GE(longRemarks, 1u);
}

// The stored bytes of the first name with an umlaut, in the table's code page.
std::string storedUmlautName(const Sample& patients) {
  for (std::size_t i = 0; i < patients.size(); ++i) {
    const std::string name = patients.text(i, "Name");
    if (name.find("ü") == std::string::npos) continue;
    std::string stored;
    EXPECT_TRUE(patients.table().encodeText(name, stored).ok());
    return stored;
  }
  return {};
}

TEST(Makesample, FirstKeyAndSortOrderWithTheirCodePage) {
  TempDir dir;
  ToolRun r = makesample(quoted(dir.path()) + " --patients 30 --first-key 5000 --sort-order ascii --seed 4");
  ASSERT_EQ(r.exitCode, 0) << r.out;
  const Sample patients(dir.path(), "patient"), series(dir.path(), "session"), counter(dir.path(), "index");
  EXPECT_EQ(patients.table().header().sortOrderName, "ascii");
  EXPECT_EQ(patients.table().codePageNumber(), 850);
  EXPECT_EQ(keysOf(patients, "ID").front(), 5000);
  EXPECT_EQ(keysOf(series, "SessionID").front(), 5000);
  EXPECT_EQ(std::get<std::int32_t>(counter.value(0, "LastPatient")), keysOf(patients, "ID").back() + 1);
  const std::string dos = storedUmlautName(patients);
  ASSERT_FALSE(dos.empty());
  EXPECT_NE(dos.find('\x81'), std::string::npos);  // ü in code page 850

  TempDir ansi;
  ASSERT_EQ(makesample(quoted(ansi.path()) + " --patients 30 --seed 4").exitCode, 0);
  const Sample ansiPatients(ansi.path(), "patient");
  EXPECT_EQ(ansiPatients.table().header().sortOrderName, "ANSIINTL");
  EXPECT_EQ(ansiPatients.table().codePageNumber(), 1252);
  const std::string windows = storedUmlautName(ansiPatients);
  ASSERT_FALSE(windows.empty());
  EXPECT_NE(windows.find('\xFC'), std::string::npos);  // ü in code page 1252
}

TEST(Makesample, AveragesWithDecimalsAndAnEmptyDatabase) {
  TempDir dir;
  ToolRun r = makesample(quoted(dir.path()) +
                         " --patients 10 --series-per-patient 2.5 --measurements-per-series 0.5 --seed 9");
  ASSERT_EQ(r.exitCode, 0) << r.out;
  EXPECT_EQ(Sample(dir.path(), "session").size(), 25u);
  EXPECT_EQ(Sample(dir.path(), "data").size(), 13u);  // 12.5 rounds up

  TempDir empty;
  r = makesample(quoted(empty.path()) + " --patients 0 --first-key 100");
  ASSERT_EQ(r.exitCode, 0) << r.out;
  const Sample counter(empty.path(), "index");
  EXPECT_EQ(Sample(empty.path(), "patient").size(), 0u);
  EXPECT_EQ(Sample(empty.path(), "data").size(), 0u);
  ASSERT_EQ(counter.size(), 1u);
  // With no records the counters name the first key the tables would give.
  EXPECT_EQ(std::get<std::int32_t>(counter.value(0, "LastPatient")), 100);
  EXPECT_EQ(std::get<std::int32_t>(counter.value(0, "LastData")), 100);
  EXPECT_EQ(px::test::runTool("pxcheck", quoted(empty.path())).exitCode, 0);
}

TEST(Makesample, SameSeedSameBytes) {
  TempDir a, b, c;
  const std::string options = " --patients 80 --seed 42";
  ASSERT_EQ(makesample(quoted(a.path()) + options).exitCode, 0);
  ASSERT_EQ(makesample(quoted(b.path()) + options).exitCode, 0);
  ASSERT_EQ(makesample(quoted(c.path()) + " --patients 80 --seed 43").exitCode, 0);
  const std::vector<std::string> files = filesIn(a.path());
  ASSERT_EQ(files, filesIn(b.path()));
  EXPECT_EQ(files.size(), 23u);
  for (const std::string& file : files)
    EXPECT_EQ(px::test::readBytes(a.path() / file), px::test::readBytes(b.path() / file)) << file;
  EXPECT_NE(px::test::readBytes(a.path() / "patient.DB"), px::test::readBytes(c.path() / "patient.DB"));
  EXPECT_NE(px::test::readBytes(a.path() / "data.MB"), px::test::readBytes(c.path() / "data.MB"));
}

TEST(Makesample, ExistingTablesAreNeverOverwritten) {
  TempDir dir;
  px::test::writeBytes(dir.path() / "Session.db", {'o', 'l', 'd'});
  px::test::writeBytes(dir.path() / "notes.txt", {'n'});
  ToolRun r = makesample(quoted(dir.path()));
  EXPECT_EQ(r.exitCode, 1) << r.out;
  EXPECT_TRUE(contains(r.out, "Session.db")) << r.out;
  EXPECT_TRUE(contains(r.out, "nothing was written")) << r.out;
  EXPECT_EQ(filesIn(dir.path()), (std::vector<std::string>{"Session.db", "notes.txt"}));
  EXPECT_EQ(px::test::readBytes(dir.path() / "Session.db"), (std::vector<unsigned char>{'o', 'l', 'd'}));

  // A second run on a finished sample refuses too and leaves it as it was.
  TempDir done;
  ASSERT_EQ(makesample(quoted(done.path()) + " --patients 5").exitCode, 0);
  const auto before = px::test::readBytes(done.path() / "patient.DB");
  r = makesample(quoted(done.path()) + " --patients 7");
  EXPECT_EQ(r.exitCode, 1) << r.out;
  EXPECT_EQ(px::test::readBytes(done.path() / "patient.DB"), before);

  // A file where the directory should be.
  r = makesample(quoted(dir.path() / "notes.txt"));
  EXPECT_EQ(r.exitCode, 1) << r.out;
  EXPECT_TRUE(contains(r.out, "is not a directory")) << r.out;
}

TEST(Makesample, BadArgumentsAreUsageErrors) {
  TempDir dir;
  const std::string target = quoted(dir.path() / "new");
  struct Case {
    std::string args;
    std::string message;
  };
  for (const Case& c : std::vector<Case>{{"", "no directory given"},
                                         {target + " --patients", "--patients needs a value"},
                                         {target + " --patients abc", "--patients needs a number"},
                                         {target + " --patients -3", "--patients needs a number"},
                                         {target + " --patients 12x", "'12x'"},
                                         {target + " --series-per-patient 1e9", "from 0 to 100, not '1e9'"},
                                         {target + " --measurements-per-series nan", "--measurements-per-series"},
                                         {target + " --first-key 0", "--first-key needs a number from 1"},
                                         {target + " --seed -1", "--seed"},
                                         {target + " --hidden-patients 1.5", "--hidden-patients needs a number from 0 to 1"},
                                         {target + " --lost-series -0.1", "--lost-series needs a number from 0 to 1"},
                                         {target + " --sort-order intl", "ascii or ANSIINTL"},
                                         {target + " --colour blue", "unknown option --colour"},
                                         {target + " " + target, "more than one directory"}}) {
    ToolRun r = makesample(c.args);
    EXPECT_EQ(r.exitCode, 2) << c.args << "\n" << r.out;
    EXPECT_TRUE(contains(r.out, c.message)) << c.args << "\n" << r.out;
    EXPECT_TRUE(contains(r.out, "usage: makesample DIR")) << c.args << "\n" << r.out;
  }
  EXPECT_FALSE(fs::exists(dir.path() / "new"));

  // Keys that would not fit the 32-bit counters: refused before any table exists.
  ToolRun r = makesample(target + " --patients 100 --first-key 2147483600");
  EXPECT_EQ(r.exitCode, 1) << r.out;
  EXPECT_TRUE(contains(r.out, "keys would pass")) << r.out;
  EXPECT_FALSE(fs::exists(dir.path() / "new"));
}

}  // namespace
