// Full-table scan: the engine's reader against pxlib on the largest fixture tables.
// Each run opens the table and decodes every field of every record (the engine
// converting text to UTF-8, pxlib handing back its stored bytes). Runs repeat
// until about 1.5 s per table and reader has passed; `--quick` runs each once.
// Prints records/s and MB/s (bytes of the .DB file per second) for both, the
// ratio of the engine's throughput to pxlib's, and a checksum of what was decoded.
//   bench_scan [--quick]
extern "C" {  // pxlib's header declares no C linkage itself
#include <paradox.h>
}

#include <bit>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "engine/storage/table.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr double kTargetSeconds = 1.5;

struct Subject {
  const char* set;
  const char* file;
};

// The largest tables by records (ZIPCODES, pay, Valut, zakazky) and by record size (ANIMFORM).
constexpr Subject kSubjects[] = {
    {"set04", "ZIPCODES.DB"}, {"set05", "pay.DB"}, {"set05", "Valut.DB"},
    {"set08", "zakazky.db"},  {"set07", "ANIMFORM.DB"},
};

struct RunResult {
  bool ok = true;
  std::size_t records = 0;
  std::uint64_t checksum = 0;
};

void mix(std::uint64_t& sum, std::uint64_t v) { sum = (sum ^ v) * 0x100000001B3ull; }

RunResult scanWithEngine(const fs::path& path) {
  RunResult result;
  std::unique_ptr<px::Table> table;
  px::Status s = px::Table::open(px::localFileSystem(), path.parent_path(), path.filename().string(), table);
  if (!s.ok()) {
    std::fprintf(stderr, "engine: %s\n", s.message().c_str());
    result.ok = false;
    return result;
  }
  const std::size_t fields = table->fields().size();
  px::Value value;
  for (std::size_t r = 0; r < table->recordCount(); ++r) {
    const std::uint8_t* record = table->record(r);
    for (std::size_t f = 0; f < fields; ++f) {
      s = table->readValue(record, f, value);
      if (!s.ok()) {
        std::fprintf(stderr, "engine: %s\n", s.message().c_str());
        result.ok = false;
        return result;
      }
      std::visit(
          [&](const auto& v) {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::string>) mix(result.checksum, v.size() + (v.empty() ? 0 : v[0]));
            else if constexpr (std::is_same_v<T, std::int32_t> || std::is_same_v<T, bool>)
              mix(result.checksum, static_cast<std::uint64_t>(v));
            else if constexpr (std::is_same_v<T, double>) mix(result.checksum, std::bit_cast<std::uint64_t>(v));
            else if constexpr (std::is_same_v<T, px::Decimal>) mix(result.checksum, v.text.size());
            else if constexpr (std::is_same_v<T, px::Bytes>) mix(result.checksum, v.size());
            else mix(result.checksum, 0);
          },
          value);
    }
  }
  result.records = table->recordCount();
  return result;
}

void ignoreMessage(pxdoc_t*, int, const char*, void*) {}

RunResult scanWithPxlib(const fs::path& path) {
  RunResult result;
  pxdoc_t* doc = PX_new3(ignoreMessage, nullptr, nullptr, nullptr, nullptr);
  if (PX_open_file(doc, path.c_str()) < 0) {
    std::fprintf(stderr, "pxlib cannot open %s\n", path.c_str());
    PX_delete(doc);
    result.ok = false;
    return result;
  }
  const int fieldCount = PX_get_num_fields(doc);
  const int records = PX_get_num_records(doc);
  const pxfield_t* fields = PX_get_fields(doc);
  std::vector<char> buffer(static_cast<std::size_t>(PX_get_recordsize(doc)));
  for (int r = 0; r < records; ++r) {
    if (!PX_get_record(doc, r, buffer.data())) {
      result.ok = false;
      break;
    }
    char* data = buffer.data();
    for (int f = 0; f < fieldCount; ++f) {
      const int len = fields[f].px_flen;
      char* text = nullptr;
      long l = 0;
      short sh = 0;
      double d = 0;
      char b = 0;
      switch (fields[f].px_ftype) {
        case pxfAlpha:
          if (PX_get_data_alpha(doc, data, len, &text) > 0 && text) {
            const std::size_t n = std::strlen(text);
            mix(result.checksum, n + static_cast<std::uint64_t>(text[0]));
          } else {
            mix(result.checksum, 0);
          }
          break;
        case pxfDate: case pxfLong: case pxfTime: case pxfAutoInc:
          mix(result.checksum, PX_get_data_long(doc, data, len, &l) > 0 ? static_cast<std::uint64_t>(l) : 0);
          break;
        case pxfShort:
          mix(result.checksum, PX_get_data_short(doc, data, len, &sh) > 0 ? static_cast<std::uint64_t>(sh) : 0);
          break;
        case pxfNumber: case pxfCurrency: case pxfTimestamp:
          mix(result.checksum, PX_get_data_double(doc, data, len, &d) > 0 ? std::bit_cast<std::uint64_t>(d) : 0);
          break;
        case pxfLogical:
          mix(result.checksum, PX_get_data_byte(doc, data, len, &b) > 0 ? static_cast<std::uint64_t>(b) : 0);
          break;
        case pxfBCD:
          if (PX_get_data_bcd(doc, reinterpret_cast<unsigned char*>(data), fields[f].px_fdc, &text) > 0 && text)
            mix(result.checksum, std::strlen(text));
          break;
        case pxfBytes:
          if (PX_get_data_bytes(doc, data, len, &text) > 0) mix(result.checksum, static_cast<std::uint64_t>(len));
          break;
        default: {
          int mod = 0, size = 0;
          if (PX_get_data_blob(doc, data, len, &mod, &size, &text) > 0) mix(result.checksum, static_cast<std::uint64_t>(size));
        }
      }
      if (text) doc->free(doc, text);
      data += len;
    }
  }
  result.records = static_cast<std::size_t>(records);
  PX_close(doc);
  PX_delete(doc);
  return result;
}

struct Measurement {
  bool ok = true;
  int runs = 0;
  double seconds = 0;
  std::size_t records = 0;  // per run
  std::uint64_t checksum = 0;
};

template <typename Scan>
Measurement measure(Scan scan, const fs::path& path, bool quick) {
  Measurement m;
  // One untimed run first: it warms the page cache and sizes the repetitions.
  auto start = Clock::now();
  RunResult first = scan(path);
  const double once = std::chrono::duration<double>(Clock::now() - start).count();
  if (!first.ok) {
    m.ok = false;
    return m;
  }
  m.records = first.records;
  m.checksum = first.checksum;
  m.runs = quick ? 1 : std::max(1, static_cast<int>(std::ceil(kTargetSeconds / std::max(once, 1e-6))));
  start = Clock::now();
  for (int i = 0; i < m.runs; ++i) {
    // Every run must decode the same values; comparing also keeps the work observable.
    const RunResult r = scan(path);
    m.ok = m.ok && r.ok && r.checksum == first.checksum;
  }
  m.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  return m;
}

double perSecond(double amount, double seconds) { return seconds > 0 ? amount / seconds : 0; }

}  // namespace

int main(int argc, char** argv) {
  bool quick = false;
  for (int i = 1; i < argc; ++i) {
    if (std::string_view(argv[i]) == "--quick") {
      quick = true;
    } else {
      std::fprintf(stderr, "usage: bench_scan [--quick]\n");
      return 2;
    }
  }
  const fs::path root = PX_FIXTURE_DIR;
  std::printf("%-12s %8s | %12s %9s | %12s %9s | %7s\n", "table", "records", "engine rec/s", "MB/s", "pxlib rec/s",
              "MB/s", "ratio");
  double oursSeconds = 0, theirsSeconds = 0;
  double bytesDone = 0;  // per run of every table, counted once per reader
  double recordsDone = 0;
  std::uint64_t checksum = 0;
  bool ok = true;
  for (const Subject& subject : kSubjects) {
    const fs::path path = root / subject.set / subject.file;
    const double fileBytes = static_cast<double>(fs::file_size(path));
    const Measurement ours = measure(scanWithEngine, path, quick);
    const Measurement theirs = measure(scanWithPxlib, path, quick);
    if (!ours.ok || !theirs.ok || ours.records != theirs.records) {
      std::fprintf(stderr, "%s: scan failed, runs differed, or the readers disagree on the record count\n", subject.file);
      ok = false;
      continue;
    }
    const double oursPerRun = ours.seconds / ours.runs;
    const double theirsPerRun = theirs.seconds / theirs.runs;
    std::printf("%-12s %8zu | %12.0f %9.1f | %12.0f %9.1f | %6.2fx\n", subject.file, ours.records,
                perSecond(static_cast<double>(ours.records), oursPerRun), perSecond(fileBytes, oursPerRun) / 1e6,
                perSecond(static_cast<double>(theirs.records), theirsPerRun), perSecond(fileBytes, theirsPerRun) / 1e6,
                theirsPerRun / oursPerRun);
    oursSeconds += oursPerRun;
    theirsSeconds += theirsPerRun;
    bytesDone += fileBytes;
    recordsDone += static_cast<double>(ours.records);
    mix(checksum, ours.checksum);
    mix(checksum, theirs.checksum);
  }
  std::printf("%-12s %8.0f | %12.0f %9.1f | %12.0f %9.1f | %6.2fx\n", "overall", recordsDone,
              perSecond(recordsDone, oursSeconds), perSecond(bytesDone, oursSeconds) / 1e6,
              perSecond(recordsDone, theirsSeconds), perSecond(bytesDone, theirsSeconds) / 1e6,
              oursSeconds > 0 ? theirsSeconds / oursSeconds : 0);
  std::printf("checksum %016llx%s\n", static_cast<unsigned long long>(checksum), quick ? " (quick: one run each)" : "");
  return ok ? 0 : 1;
}
