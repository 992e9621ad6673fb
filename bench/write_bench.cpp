// Merge-sized write workload on a generated table of ~1 KB records: renumber
// every key (records move in key order), append as many new records, commit.
// Prints the time beside a plain copy of the same files (read, write, fsync)
// in the same run, the ratio, and peak memory against the table's size.
//   bench_write [--records N] [--quick]
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "engine/access/database.h"
#include "engine/access/table_creator.h"

namespace fs = std::filesystem;
using bench::check;
using bench::Clock;
using bench::plainCopy;
using bench::seconds;

namespace {

px::TableDefinition definition() {
  using px::FieldType;
  px::TableDefinition s;
  s.fields = {{"ID", FieldType::Alpha, 20},     {"Name", FieldType::Alpha, 60},   {"Remark1", FieldType::Alpha, 255},
              {"Remark2", FieldType::Alpha, 255}, {"Remark3", FieldType::Alpha, 255}, {"Place", FieldType::Alpha, 120},
              {"Flow1", FieldType::Number, 8},   {"Flow2", FieldType::Number, 8},   {"Flow3", FieldType::Number, 8},
              {"Res1", FieldType::Number, 8},    {"Res2", FieldType::Number, 8},    {"Res3", FieldType::Number, 8},
              {"Visit", FieldType::Date, 4},     {"Count", FieldType::Short, 2}};
  s.keyFields = 1;
  s.blockSizeKiB = 16;
  s.sortOrder = "ascii";
  s.codePage = 1252;
  s.indexes = {{"XName", {1}, true, false, false}};
  return s;
}

void fillRecord(px::WritableTable& t, px::Bytes& rec, long key) {
  check(t.setValue(rec, 0, std::to_string(key)), "set ID");
  check(t.setValue(rec, 1, "Patient " + std::to_string(key * 7919 % 100003)), "set Name");
  static const std::string filler(200, 'r');
  check(t.setValue(rec, 2, filler), "set Remark1");
  check(t.setValue(rec, 3, filler), "set Remark2");
  check(t.setValue(rec, 4, filler), "set Remark3");
  check(t.setValue(rec, 5, std::string("Neustadt")), "set Place");
  for (std::size_t f = 6; f < 12; ++f) check(t.setValue(rec, f, static_cast<double>(key % 1000) / 3.0), "set number");
  check(t.setValue(rec, 12, std::int32_t{730000 + static_cast<std::int32_t>(key % 3000)}), "set Visit");
  check(t.setValue(rec, 13, std::int32_t{static_cast<std::int32_t>(key % 100)}), "set Count");
}

std::uintmax_t directoryBytes(const fs::path& dir) {
  std::uintmax_t total = 0;
  for (const auto& e : fs::directory_iterator(dir)) total += e.file_size();
  return total;
}

long peakKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
  long records = 100000;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--quick") records = 5000;
    else if (arg == "--records" && i + 1 < argc) records = std::atol(argv[++i]);
  }
  const fs::path root = fs::temp_directory_path() / ("bench_write_" + std::to_string(::getpid()));
  fs::remove_all(root);
  const fs::path dir = root / "db";
  fs::create_directories(dir);

  // Setup, not timed: the table with `records` records on disk.
  check(px::createTable(px::localFileSystem(), dir, "big", definition()), "create");
  {
    std::unique_ptr<px::Database> db;
    check(px::Database::open(px::localFileSystem(), dir, db), "open");
    px::WritableTable* t = nullptr;
    check(db->table("big", t), "table");
    px::Bytes rec = t->blankRecord();
    for (long k = 1; k <= records; ++k) {
      fillRecord(*t, rec, k);
      check(t->insert(rec), "insert");
    }
    check(db->close(), "setup commit");
  }
  const std::uintmax_t tableBytes = directoryBytes(dir);
  const long baseKiB = peakKiB();

  const double copy = plainCopy(dir, root / "copy");

  const auto start = Clock::now();
  std::unique_ptr<px::Database> db;
  check(px::Database::open(px::localFileSystem(), dir, db), "open");
  std::unique_ptr<px::Cursor> cursor;
  check(db->openCursor("big", {}, cursor), "cursor");
  const double openTime = seconds(start);

  const auto renumberStart = Clock::now();
  px::Bytes rec;
  cursor->moveToEnd();
  long renumbered = 0;
  while (cursor->prior(rec).ok()) {
    px::Value v;
    check(cursor->table().readValue(rec.data(), 0, v), "read key");
    const long key = std::stol(std::get<std::string>(v));
    check(cursor->table().setValue(rec, 0, std::to_string(key + records)), "set key");
    check(cursor->modify(rec), "modify");
    ++renumbered;
  }
  const double renumberTime = seconds(renumberStart);

  const auto appendStart = Clock::now();
  px::Bytes fresh = cursor->table().blankRecord();
  for (long k = 2 * records + 1; k <= 3 * records; ++k) {
    fillRecord(cursor->table(), fresh, k);
    check(cursor->table().insert(fresh), "append");
  }
  const double appendTime = seconds(appendStart);

  const auto commitStart = Clock::now();
  cursor.reset();
  check(db->close(), "commit");
  const double commitTime = seconds(commitStart);
  const double total = seconds(start);
  const std::uintmax_t afterBytes = directoryBytes(dir);
  const long peak = peakKiB();
  const double copyAfter = plainCopy(dir, root / "copy-after");

  std::printf("records: %ld renumbered, %ld appended; table %.1f MB before, %.1f MB after\n", renumbered, records,
              tableBytes / 1e6, afterBytes / 1e6);
  std::printf("open %.3f s, renumber %.3f s, append %.3f s, commit %.3f s, total %.3f s\n", openTime, renumberTime,
              appendTime, commitTime, total);
  std::printf("plain copy of the files before (with fsync): %.3f s; of the files after: %.3f s\n", copy, copyAfter);
  std::printf("ratio total/copy before: %.2f, total/copy after: %.2f (goal: at most 3)\n", total / copy,
              total / copyAfter);
  std::printf("peak memory: %.1f MB (%.1f MB during setup), %.2f x the table after the merge\n", peak / 1024.0,
              baseKiB / 1024.0, peak * 1024.0 / static_cast<double>(afterBytes));
  fs::remove_all(root);
  return renumbered == records ? 0 : 1;
}
