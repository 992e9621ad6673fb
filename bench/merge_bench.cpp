// The whole merge at practice scale, in three shapes (times --scale):
//   large active: an active database of 10,000 patients, 30,000 series and
//     100,000 measurements, an old one of 2,000, 6,000 and 20,000;
//   large old: a fresh active database of 2,000 patients, 6,000 series and
//     18,000 measurements, and years of history of 16,000, 48,000 and 144,000;
//   hidden records: 2,000 active and 4,000 old patients, half of the old
//     patients marked "x" and half of the old series with patient "0", so the
//     renumbering walks pass many records that their filters leave out.
// With the large-active shape, the same old database is also merged into an
// active one of a fifth of the size (2,000 patients), at full size only: how
// time and peak memory grow with the active database that the merge barely
// touches. Peak memory is also set against what the merge touches: the old
// tables it rewrites and what it appends to the active ones.
// Each merges through the two database modules and the merge procedure and
// prints the time of each phase, the time per renumbered and per appended
// record, peak memory against the size of the tables the merge changes, and
// the ratio to a plain copy of both directories made in the same run. Then
// the same at half size, and how the cost grew between the two.
//   bench_merge [--quick] [--scale F] [--repeat N] [--shape NAME] [--keep]
// Each size gets --repeat rounds (3) of a plain copy, the merge of that copy
// and a copy of the result, and the round with the median ratio is shown.
// --quick runs one round at 1/20 scale (the smoke test); --shape runs one
// shape only ("active", "old" or "hidden"); --keep leaves the databases in
// place.
// Each merge and each copy runs in a child process of its own, so that its
// peak memory is its own and the modules start from nothing. The merged
// tables are checked afterwards with pxcheck --rebuild; the exit code is 1
// when the merge failed, rejected records or left a table that does not pass
// the check.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/merge_procedure.h"
#include "app/old_database.h"
#include "bench/bench_support.h"
#include "bench/timed_file_system.h"
#include "database/dm_ra5.h"
#include "database/dm_ra5old.h"
#include "framework/core/application.h"
#include "framework/core/recording_dialogs.h"
#include "tableaccess/batch_move.h"
#include "tableaccess/engine_binding.h"
#include "tableaccess/session.h"
#include "tableaccess/table.h"

namespace fs = std::filesystem;
using bench::Clock;
using bench::seconds;

namespace {

// What one merge child reports back through its pipe.
struct MergeFigures {
  double open = 0;       // creating the modules (the active views open) and opening the old views
  double scan = 0;       // from the start of the merge to the first renumbering
  double patients = 0, sessions = 0, data = 0;
  double append = 0;
  double write = 0;      // both databases written
  double close = 0;      // modules destroyed, session ended
  double total = 0;
  double reading = 0, writing = 0, replacing = 0;  // of the total, in the file system
  std::uint64_t bytesWritten = 0;
  MergeReport::Append moved[3];
  long renumbered[3] = {0, 0, 0};
  int failed = 0;        // 1: the merge threw; 2: a module showed an error
  char message[240] = {};
};

// The two databases of a shape at scale 1.
struct Shape {
  const char* name;         // for --shape
  const char* title;
  long activePatients, oldPatients;
  double hiddenPatients = 0.03, lostSeries = 0.01;  // makesample's defaults
  bool tenThirds = false;  // 10/3 measurements per series, not makesample's 3
};

const Shape kShapes[] = {
    {"active", "large active database, small old one", 10000, 2000, 0.03, 0.01, true},
    {"old", "small active database, large old one", 2000, 16000},
    {"hidden", "half of the old patients and series left out by the filters", 2000, 4000, 0.5, 0.5},
};
// The large-active shape's old database with an active one of a fifth of its size.
const Shape kFifthActive = {"active-fifth", "the same old database, an active one of a fifth of the size", 2000, 2000,
                            0.03, 0.01, true};
// The active keys start above the old key range, so that the keys that the
// old records keep (patients marked "x", series without a patient) never
// meet the renumbered ones.
constexpr long kActiveFirstKey = 1000000;

struct Run {
  const Shape* shape = nullptr;
  double scale = 1;
  fs::path root, active, old;
  std::uintmax_t activeBytes = 0, oldBytes = 0, touchedBytes = 0;
  std::uintmax_t oldTouchedBytes = 0;  // the old tables that the merge rewrites
  std::uintmax_t appendedBytes = 0;    // how much the active directory grew
  MergeFigures merge;
  double copy = 0, copyAfter = 0;
  long peakKiB = 0;
  std::size_t checkErrors = 0;  // of the table check of both merged databases
};

std::uintmax_t directoryBytes(const fs::path& dir) {
  std::uintmax_t total = 0;
  for (const auto& e : fs::directory_iterator(dir)) total += e.file_size();
  return total;
}

// The files of the tables the merge opens for change: patients, series,
// measurements on both sides and the counter table.
std::uintmax_t touchedBytes(const fs::path& dir) {
  std::uintmax_t total = 0;
  for (const auto& e : fs::directory_iterator(dir)) {
    std::string stem = e.path().stem().string();
    for (char& c : stem) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (stem == "patient" || stem == "session" || stem == "data" || stem == "index") total += e.file_size();
  }
  return total;
}

// Errors that the table check (pxcheck --rebuild) finds in the tables of a
// directory, the indexes rebuilt and compared with the files; each error
// line goes to stderr. A check that fails without an error line counts one.
std::size_t checkErrors(const fs::path& dir) {
  const std::string command = std::string(PX_PXCHECK) + " --rebuild '" + dir.string() + "'";
  FILE* out = popen(command.c_str(), "r");
  if (out == nullptr) return 1;
  std::size_t errors = 0;
  char line[4096];
  while (std::fgets(line, sizeof line, out) != nullptr) {
    if (std::strncmp(line, "error: ", 7) != 0) continue;
    ++errors;
    std::fputs(line, stderr);
  }
  const int status = pclose(out);
  return errors == 0 && status != 0 ? 1 : errors;
}

void makeSample(const fs::path& dir, const Shape& shape, bool old, double scale, int seed) {
  // The large-active shape has 10/3 measurements per series (100,000 at full
  // size), the others makesample's 3.
  const bool tenThirds = shape.tenThirds;
  const long patients = std::lround((old ? shape.oldPatients : shape.activePatients) * scale);
  std::string command = std::string(PX_MAKESAMPLE) + " '" + dir.string() + "' --patients " +
                        std::to_string(patients) + " --series-per-patient 3 --measurements-per-series " +
                        (tenThirds ? "3.3333333" : "3") + " --first-key " +
                        std::to_string(old ? 1 : kActiveFirstKey) + " --seed " + std::to_string(seed);
  if (old) {
    char shares[96];
    std::snprintf(shares, sizeof shares, " --hidden-patients %g --lost-series %g", shape.hiddenPatients,
                  shape.lostSeries);
    command += shares;
  }
  command += " > /dev/null";
  if (std::system(command.c_str()) != 0) {
    std::fprintf(stderr, "makesample failed: %s\n", command.c_str());
    std::exit(1);
  }
}

// Runs `work` in a child; returns the child's peak resident memory in KiB.
template <typename Work>
long inChild(Work work) {
  std::fflush(stdout);
  std::fflush(stderr);
  const pid_t pid = ::fork();
  if (pid < 0) {
    std::perror("fork");
    std::exit(1);
  }
  if (pid == 0) {
    work();
    std::fflush(stdout);
    ::_exit(0);
  }
  int status = 0;
  rusage usage{};
  if (::wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "child process failed\n");
    std::exit(1);
  }
  return usage.ru_maxrss;
}

template <typename T>
void writeAll(int fd, const T& value) {
  if (::write(fd, &value, sizeof value) != static_cast<ssize_t>(sizeof value)) ::_exit(3);
}
template <typename T>
bool readAll(int fd, T& value) {
  return ::read(fd, &value, sizeof value) == static_cast<ssize_t>(sizeof value);
}

// The merge as the command line runs it, in this process.
MergeFigures mergeHere(const Run& run) {
  MergeFigures f;
  const fs::path config = run.root / "pxengine.conf";
  std::ofstream(config) << "[aliases]\nwinvelda5 = " << run.active.string() << "\n";
  ::setenv("PXENGINE_CONFIG", config.c_str(), 1);
  TRecordingDialogs dialogs;
  TDialogsScope scope(dialogs);
  bench::TimedFileSystem files;
  binding::UseFileSystem(files);

  const auto start = Clock::now();
  try {
    Application.CreateForm(dmRA5old);
    Application.CreateForm(dmRA5);
    if (!dialogs.shown.empty()) {
      f.failed = 2;
      std::snprintf(f.message, sizeof f.message, "%s", dialogs.shown.front().text.c_str());
      return f;
    }
    const MergeTables tables = CreateMergeTables(Application, *dmRA5, *dmRA5old);
    BindOldDatabase(*dmRA5old, run.old.string());
    OpenOldDatabase(*dmRA5old);
    CheckOldKeys(*dmRA5old);
    f.open = seconds(start);

    // Each phase lasts until the next one starts; the last until the merge returns.
    Clock::time_point mark = Clock::now();
    double* current = &f.scan;
    MergeProgress progress;
    progress.phaseStarted = [&](MergePhase phase) {
      *current = seconds(mark);
      mark = Clock::now();
      switch (phase) {
        case MergePhase::Patients: current = &f.patients; break;
        case MergePhase::Sessions: current = &f.sessions; break;
        case MergePhase::Data: current = &f.data; break;
        case MergePhase::Appending: current = &f.append; break;
        case MergePhase::Writing: current = &f.write; break;
      }
    };
    const MergeReport report = RunMerge(tables, progress);
    *current = seconds(mark);
    f.moved[0] = report.patients;
    f.moved[1] = report.sessions;
    f.moved[2] = report.data;
    f.renumbered[0] = static_cast<long>(report.renumberedPatients);
    f.renumbered[1] = static_cast<long>(report.renumberedSessions);
    f.renumbered[2] = static_cast<long>(report.renumberedData);

    const auto closing = Clock::now();
    Application.Shutdown();
    EndDefaultSession();
    f.close = seconds(closing);
  } catch (const std::exception& e) {
    f.failed = 1;
    std::snprintf(f.message, sizeof f.message, "%s", e.what());
  }
  f.total = seconds(start);
  f.reading = files.reading;
  f.writing = files.writing;
  f.replacing = files.replacing;
  f.bytesWritten = files.bytesWritten;
  return f;
}

// One size: the databases made once, then `repeat` rounds of a plain copy of
// both directories (which gives each round fresh files to merge), the merge
// of that copy, and a plain copy of the merged directories.
std::vector<Run> measure(const fs::path& base, const Shape& shape, double scale, int repeat) {
  const fs::path root = base / (std::string(shape.name) + "-" + std::to_string(scale));
  const fs::path made = root / "made";
  fs::remove_all(root);
  // Setup, not timed.
  makeSample(made / "aktiv", shape, false, scale, 11);
  makeSample(made / "alt", shape, true, scale, 12);
  // What makesample left to write back would otherwise be written during the measurements.
  ::sync();

  std::vector<Run> rounds;
  for (int i = 0; i < repeat; ++i) {
    Run run;
    run.shape = &shape;
    run.scale = scale;
    run.root = root / "work";
    run.active = run.root / "aktiv";
    run.old = run.root / "alt";
    fs::remove_all(run.root);
    ::sync();
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0) std::exit(1);
    inChild([&] {
      const double copy = bench::plainCopy(made / "aktiv", run.active) + bench::plainCopy(made / "alt", run.old);
      writeAll(pipeEnds[1], copy);
    });
    if (!readAll(pipeEnds[0], run.copy)) std::exit(1);
    run.activeBytes = directoryBytes(run.active);
    run.oldBytes = directoryBytes(run.old);
    run.oldTouchedBytes = touchedBytes(run.old);
    run.touchedBytes = touchedBytes(run.active) + run.oldTouchedBytes;
    run.peakKiB = inChild([&] { writeAll(pipeEnds[1], mergeHere(run)); });
    if (!readAll(pipeEnds[0], run.merge)) std::exit(1);
    const std::uintmax_t activeAfter = directoryBytes(run.active);
    run.appendedBytes = activeAfter > run.activeBytes ? activeAfter - run.activeBytes : 0;
    // The merged directories copied as well: the disk may be faster or
    // slower after the merge's writes than before them.
    inChild([&] {
      const double copy =
          bench::plainCopy(run.active, root / "after" / "aktiv") + bench::plainCopy(run.old, root / "after" / "alt");
      writeAll(pipeEnds[1], copy);
    });
    if (!readAll(pipeEnds[0], run.copyAfter)) std::exit(1);
    fs::remove_all(root / "after");
    run.checkErrors = checkErrors(run.active) + checkErrors(run.old);
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
    rounds.push_back(run);
  }
  return rounds;
}

// The I/O floor: a plain copy of both directories, before and after the
// merge (the disk is often slower after a burst of writes), averaged.
double floorOf(const Run& r) { return (r.copy + r.copyAfter) / 2; }
double ratio(const Run& r) { return r.merge.total / floorOf(r); }

// The round whose ratio to the copy is the median one.
const Run& median(const std::vector<Run>& rounds) {
  std::vector<const Run*> sorted;
  for (const Run& r : rounds) sorted.push_back(&r);
  std::sort(sorted.begin(), sorted.end(), [](const Run* a, const Run* b) { return ratio(*a) < ratio(*b); });
  return *sorted[sorted.size() / 2];
}

double perRecord(double seconds, long records) { return records > 0 ? seconds / static_cast<double>(records) * 1e6 : 0; }
long appended(const MergeFigures& m) { return m.moved[0].moved + m.moved[1].moved + m.moved[2].moved; }
double renumbering(const MergeFigures& m) { return m.patients + m.sessions + m.data; }
long renumbered(const MergeFigures& m) { return m.renumbered[0] + m.renumbered[1] + m.renumbered[2]; }
double memoryRatio(const Run& r) { return r.peakKiB * 1024.0 / static_cast<double>(r.touchedBytes); }
// What the merge touches: the old tables it rewrites and the bytes it appends.
double mergeTouched(const Run& r) { return static_cast<double>(r.oldTouchedBytes + r.appendedBytes); }

void print(const std::vector<Run>& rounds) {
  const Run& r = median(rounds);
  const MergeFigures& m = r.merge;
  std::printf("%s, scale %.3g: active %.1f MB, old %.1f MB; tables changed %.1f MB\n", r.shape->title, r.scale,
              r.activeBytes / 1e6, r.oldBytes / 1e6, r.touchedBytes / 1e6);
  std::printf("  renumbered %ld patients, %ld series, %ld measurements; appended %d, %d, %d\n", m.renumbered[0],
              m.renumbered[1], m.renumbered[2], m.moved[0].moved, m.moved[1].moved, m.moved[2].moved);
  std::printf("  rounds, copy before/merge/copy after:");
  for (const Run& round : rounds) std::printf(" %.2f/%.2f/%.2f s", round.copy, round.merge.total, round.copyAfter);
  std::printf("; the median one:\n");
  std::printf("  open %.3f s, key scan %.3f s, renumber patients %.3f s, series %.3f s, measurements %.3f s,\n"
              "  append %.3f s, write %.3f s, close %.3f s; total %.3f s\n",
              m.open, m.scan, m.patients, m.sessions, m.data, m.append, m.write, m.close, m.total);
  std::printf("  per record: renumbering %.2f us (patients %.2f, series %.2f, measurements %.2f), appending %.2f us\n",
              perRecord(renumbering(m), renumbered(m)), perRecord(m.patients, m.renumbered[0]),
              perRecord(m.sessions, m.renumbered[1]), perRecord(m.data, m.renumbered[2]),
              perRecord(m.append, appended(m)));
  std::printf("  of which reading files %.3f s, writing %.1f MB (with fsync) %.3f s, renaming and syncing %.3f s\n",
              m.reading, m.bytesWritten / 1e6, m.writing, m.replacing);
  std::printf("  plain copy of both directories (with fsync): %.3f s before, %.3f s after the merge;\n"
              "  ratio total/copy %.2f (goal: at most 2)\n",
              r.copy, r.copyAfter, ratio(r));
  std::printf("  peak memory %.1f MB, %.2f x the tables changed (goal: at most 1.5)\n", r.peakKiB / 1024.0,
              memoryRatio(r));
  std::printf("  what the merge touches: old tables %.1f MB + appended %.1f MB = %.1f MB; peak memory %.2f x that\n",
              r.oldTouchedBytes / 1e6, r.appendedBytes / 1e6, mergeTouched(r) / 1e6,
              r.peakKiB * 1024.0 / mergeTouched(r));
}

// The same old database merged into an active one five times the size: what
// grew with the active database alone.
void printActiveGrowth(const std::vector<Run>& large, const std::vector<Run>& fifth) {
  const Run& l = median(large);
  const Run& f = median(fifth);
  auto grown = [](double a, double b) { return b > 0 ? a / b : 0; };
  std::printf("%s, scale %.3g: active %.1f MB, old %.1f MB\n", f.shape->title, f.scale, f.activeBytes / 1e6,
              f.oldBytes / 1e6);
  std::printf("  open %.3f s, renumbering %.3f s, append %.3f s, write %.3f s; total %.3f s; peak memory %.1f MB\n",
              f.merge.open, renumbering(f.merge), f.merge.append, f.merge.write, f.merge.total, f.peakKiB / 1024.0);
  std::printf("  same old database, active %.2f x larger (%.1f / %.1f MB): total %.2f x (%.3f / %.3f s), open %.2f x,"
              " write %.2f x, peak memory %.2f x (%.1f / %.1f MB; %+.1f MB)\n",
              grown(static_cast<double>(l.activeBytes), static_cast<double>(f.activeBytes)), l.activeBytes / 1e6,
              f.activeBytes / 1e6, grown(l.merge.total, f.merge.total), l.merge.total, f.merge.total,
              grown(l.merge.open, f.merge.open), grown(l.merge.write, f.merge.write),
              grown(static_cast<double>(l.peakKiB), static_cast<double>(f.peakKiB)), l.peakKiB / 1024.0,
              f.peakKiB / 1024.0, (l.peakKiB - f.peakKiB) / 1024.0);
}

// How the cost grew from half to full size.
void printGrowth(const std::vector<Run>& full, const std::vector<Run>& half) {
  const Run& f = median(full);
  const Run& h = median(half);
  auto grown = [](double a, double b) { return b > 0 ? a / b : 0; };
  std::printf("  full / half: total %.2f, copy %.2f, renumbering %.2f, appending %.2f, writing %.2f, peak memory %.2f"
              " (linear: about 2)\n",
              grown(f.merge.total, h.merge.total), grown(floorOf(f), floorOf(h)),
              grown(renumbering(f.merge), renumbering(h.merge)), grown(f.merge.append, h.merge.append),
              grown(f.merge.write, h.merge.write), grown(static_cast<double>(f.peakKiB), static_cast<double>(h.peakKiB)));
}

bool sound(const Run& r) {
  const MergeFigures& m = r.merge;
  if (m.failed != 0) {
    std::fprintf(stderr, "the merge failed: %s\n", m.message);
    return false;
  }
  if (r.checkErrors != 0) {
    std::fprintf(stderr, "the table check found %zu errors in the merged databases\n", r.checkErrors);
    return false;
  }
  for (int i = 0; i < 3; ++i) {
    if (m.moved[i].keyViolations != 0 || m.moved[i].problems != 0 || m.moved[i].moved <= 0) {
      std::fprintf(stderr, "append %d: %d moved, %d key violations, %d problems\n", i, m.moved[i].moved,
                   m.moved[i].keyViolations, m.moved[i].problems);
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  double scale = 1;
  int repeat = 3;
  bool keep = false;
  std::string only;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--quick") {
      scale = 0.05;
      repeat = 1;
    } else if (arg == "--scale" && i + 1 < argc) {
      scale = std::atof(argv[++i]);
    } else if (arg == "--repeat" && i + 1 < argc) {
      repeat = std::atoi(argv[++i]);
    } else if (arg == "--shape" && i + 1 < argc) {
      only = argv[++i];
    } else if (arg == "--keep") {
      keep = true;
    } else {
      std::fprintf(stderr, "usage: bench_merge [--quick] [--scale F] [--repeat N] [--shape active|old|hidden] [--keep]\n");
      return 2;
    }
  }
  std::vector<const Shape*> shapes;
  for (const Shape& shape : kShapes)
    if (only.empty() || only == shape.name) shapes.push_back(&shape);
  if (shapes.empty()) {
    std::fprintf(stderr, "--shape is active, old or hidden, not '%s'\n", only.c_str());
    return 2;
  }
  if (!(scale > 0) || repeat < 1) {
    std::fprintf(stderr, "--scale needs a positive number, --repeat a whole number from 1\n");
    return 2;
  }
  const fs::path base = fs::temp_directory_path() / ("bench_merge_" + std::to_string(::getpid()));
  bool ok = true;
  for (const Shape* shape : shapes) {
    const std::vector<Run> full = measure(base, *shape, scale, repeat);
    print(full);
    const std::vector<Run> half = measure(base, *shape, scale / 2, repeat);
    print(half);
    printGrowth(full, half);
    for (const std::vector<Run>* rounds : {&full, &half})
      for (const Run& r : *rounds) ok = sound(r) && ok;
    if (shape == &kShapes[0]) {
      const std::vector<Run> fifth = measure(base, kFifthActive, scale, repeat);
      printActiveGrowth(full, fifth);
      for (const Run& r : fifth) ok = sound(r) && ok;
    }
    // A shape's databases are not needed once it is measured.
    if (!keep) fs::remove_all(base);
  }
  if (keep) std::printf("databases kept in %s\n", base.c_str());
  return ok ? 0 : 1;
}
