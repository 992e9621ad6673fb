// Cursor workloads of a merge: a filtered scan of a 100,000-record table
// ("Gender<>'x'"-style text filter evaluated by the engine) and a batch move of
// 100,000 records into a second database, committed. Both are printed beside
// a plain copy of the same files (read, write, fsync) in the same run.
//   bench_access [--records N] [--quick]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "bench/bench_support.h"
#include "engine/access/batch_move.h"
#include "engine/access/database.h"
#include "engine/access/filter_tree.h"
#include "engine/access/table_creator.h"

namespace fs = std::filesystem;
using bench::check;
using bench::Clock;
using bench::plainCopy;
using bench::seconds;

namespace {

px::TableDefinition patientDefinition() {
  using px::FieldType;
  px::TableDefinition s;
  s.fields = {{"ID", FieldType::Alpha, 20},      {"Name", FieldType::Alpha, 60},    {"SocSecNum", FieldType::Alpha, 32},
              {"Adresse1", FieldType::Alpha, 50}, {"Adresse2", FieldType::Alpha, 50}, {"DOB", FieldType::Alpha, 20},
              {"Gender", FieldType::Alpha, 12},   {"Insurance", FieldType::Alpha, 40}, {"LastVisit", FieldType::Date, 4},
              {"Remark", FieldType::Memo, 70},    {"FieldN1", FieldType::Number, 8}};
  s.keyFields = 1;
  s.blockSizeKiB = 4;
  s.indexes = {{"XName", {1}, true, false, false}};
  return s;
}

void fill(const fs::path& dir, long first, long count) {
  check(px::createTable(px::localFileSystem(), dir, "patient", patientDefinition()), "create");
  std::unique_ptr<px::Database> db;
  check(px::Database::open(px::localFileSystem(), dir, db), "open");
  px::WritableTable* t = nullptr;
  check(db->table("patient", t), "table");
  px::Bytes r = t->blankRecord();
  for (long k = first; k < first + count; ++k) {
    check(t->setValue(r, 0, std::to_string(k)), "ID");
    check(t->setValue(r, 1, "Patient " + std::to_string(k * 7919 % 100003)), "Name");
    check(t->setValue(r, 3, std::string("Hauptstraße 1")), "Adresse1");
    check(t->setValue(r, 6, std::string(k % 10 == 0 ? "x" : (k % 2 ? "w" : "m"))), "Gender");
    check(t->setValue(r, 8, std::int32_t{730000 + static_cast<std::int32_t>(k % 4000)}), "LastVisit");
    check(t->setValue(r, 9, k % 4 == 0 ? px::Value(std::string(150, 'b')) : px::Value(px::Null{})), "Remark");
    check(t->insert(r), "insert");
  }
  check(db->close(), "commit");
}

}  // namespace

int main(int argc, char** argv) {
  long records = 100000;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--quick") records = 5000;
    else if (arg == "--records" && i + 1 < argc) records = std::atol(argv[++i]);
  }
  const fs::path root = fs::temp_directory_path() / ("bench_access_" + std::to_string(::getpid()));
  fs::remove_all(root);
  fs::create_directories(root / "old");
  fs::create_directories(root / "active");
  fill(root / "old", 1, records);
  fill(root / "active", records + 1, records);
  const double copyOld = plainCopy(root / "old", root / "copy-old");

  // Filtered scan: open, compile the filter, walk every admitted record.
  auto start = Clock::now();
  std::unique_ptr<px::Database> oldDb;
  check(px::Database::open(px::localFileSystem(), root / "old", oldDb), "open old");
  std::unique_ptr<px::Cursor> source;
  check(oldDb->openCursor("patient", {}, source), "cursor");
  px::FilterProgram program;
  auto tree = px::FilterNode::compare(px::FilterOp::Ne, px::FilterNode::fieldRef(7, "Gender"), px::FilterNode::text("x"));
  check(px::FilterProgram::compile(*tree, source->table(), program), "filter");
  check(source->activateFilter(source->addFilter([&](const std::uint8_t* rec) { return program.admits(rec); }), true),
        "activate");
  px::Bytes rec;
  long admitted = 0;
  source->moveToBegin();
  while (source->next(rec).ok()) ++admitted;
  const double scan = seconds(start);

  // Batch move of the admitted records into the active database, committed.
  start = Clock::now();
  std::unique_ptr<px::Database> activeDb;
  check(px::Database::open(px::localFileSystem(), root / "active", activeDb), "open active");
  std::unique_ptr<px::Cursor> destination;
  check(activeDb->openCursor("patient", {}, destination), "destination");
  px::BatchMoveCounts counts;
  check(px::batchMoveAppend(*source, *destination, {}, counts), "batch move");
  const double move = seconds(start);
  const auto commitStart = Clock::now();
  destination.reset();
  check(activeDb->close(), "commit active");
  const double commit = seconds(commitStart);
  const double moveTotal = seconds(start);
  const double copyActive = plainCopy(root / "active", root / "copy-active");

  std::printf("filtered scan: %ld records, %ld admitted, %.3f s (%.0f records/s)\n", records, admitted, scan,
              records / scan);
  std::printf("batch move: %zu moved, %zu key violations, %zu problems; move %.3f s, commit %.3f s, total %.3f s\n",
              counts.moved, counts.keyViolations, counts.problems, move, commit, moveTotal);
  std::printf("plain copy (with fsync): old database %.3f s, active database after the move %.3f s\n", copyOld,
              copyActive);
  std::printf("ratio scan/copy old: %.2f; batch move total/copy active: %.2f\n", scan / copyOld, moveTotal / copyActive);
  fs::remove_all(root);
  return counts.moved == static_cast<std::size_t>(admitted) ? 0 : 1;
}
