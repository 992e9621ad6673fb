// Crash safety of a whole merge. mergetool-cli runs on copies of a prepared
// database pair while a planned fault strikes its N-th file write (the process
// dies, the disk is full, the write fails). Afterwards both databases are
// opened as the next program would open them (which finishes or undoes a cut
// commit), checked as pxcheck checks them (in this process: under Wine each
// program started costs most of a second) and compared record by record with their
// states before and after a clean merge; a merge retried after a failed one
// must leave the active database holding what one clean merge gives.
//
// MERGE_CRASH_LONG=1 in the environment makes every test take every N, for
// all three faults, and adds a pair of a few thousand patients; under the
// sanitizers the larger pair runs only then. MERGE_CRASH_SHORT=1, which the
// Windows stage sets because under Wine every program started costs most of
// a second, runs the small pair as usual and leaves the larger pair to the
// Linux stages.
#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "engine/io/platform.h"
#include "engine/storage/table_check.h"
#include "tests/support/test_support.h"
#include "tests/support/tool_run.h"
#include "tests/tools/merge_snapshot.h"

namespace fs = std::filesystem;

namespace {

using namespace merge_snapshot;

enum class Fault { Die, Full, IO };

const char* FaultName(Fault fault) { return fault == Fault::Die ? "die" : fault == Fault::Full ? "full" : "io"; }

// The engine's text for what the fault makes a write return.
const char* FaultMessage(Fault fault) { return fault == Fault::Full ? "Disk is full" : "Could not write to the file"; }

// N from 1 to `last`, `count` of them spread evenly, both ends included.
std::vector<std::uint64_t> Spread(std::uint64_t last, std::uint64_t count) {
  std::set<std::uint64_t> points;
  if (count >= last) count = last;
  for (std::uint64_t i = 0; i < count; ++i) points.insert(count == 1 ? last : 1 + i * (last - 1) / (count - 1));
  return {points.begin(), points.end()};
}

std::vector<std::uint64_t> Every(std::uint64_t last) { return Spread(last, last); }

bool Set(const char* variable) {
  const char* value = std::getenv(variable);
  return value != nullptr && *value != '\0' && std::string(value) != "0";
}

bool LongRun() { return Set("MERGE_CRASH_LONG"); }
bool ShortRun() { return Set("MERGE_CRASH_SHORT") && !LongRun(); }

class MergeCrashTest : public ::testing::Test {
 protected:
  void TearDown() override {
    px::setEnvironmentVariable("PXENGINE_CONFIG", std::nullopt);
    px::setEnvironmentVariable("MERGETOOL_FAULT_AT", std::nullopt);
  }

  // Creates the pair and merges one copy of it without a fault: the states
  // before and after, and the number of writes a merge makes. The active
  // keys start above the old ones, so no renumbered old key meets an old
  // record that the merge leaves where it is.
  void Prepare(int activePatients, int oldPatients) {
    ASSERT_EQ(Tool("makesample", (pair() / "aktiv").string() + " --patients " + std::to_string(activePatients) +
                                     " --seed 21 --first-key " + std::to_string(20 * oldPatients + 1000))
                  .exitCode, 0);
    ASSERT_EQ(Tool("makesample", (pair() / "alt").string() + " --patients " + std::to_string(oldPatients) + " --seed 22")
                  .exitCode, 0);
    std::vector<std::string> problems;
    activeBefore_ = OpenAndRead(pair() / "aktiv", problems);
    oldBefore_ = OpenAndRead(pair() / "alt", problems);
    CopyPair();
    const px::test::ToolRun clean = Merge("0:die");
    ASSERT_EQ(clean.exitCode, 0) << clean.out;
    const std::size_t at = clean.out.find("write operations: ");
    ASSERT_NE(at, std::string::npos) << clean.out;
    writes_ = std::stoull(clean.out.substr(at + std::strlen("write operations: ")));
    ASSERT_GT(writes_, 0u);
    activeAfter_ = OpenAndRead(run() / "aktiv", problems);
    oldAfter_ = OpenAndRead(run() / "alt", problems);
    ASSERT_TRUE(problems.empty()) << problems.front();
    ASSERT_NE(activeAfter_, activeBefore_);
    ASSERT_NE(oldAfter_, oldBefore_);
    mergedContents_ = Contents(activeAfter_);
  }

  // Runs the merge with the fault at each N and checks what it leaves.
  void RunFaults(Fault fault, const std::vector<std::uint64_t>& points) {
    std::map<std::string, int> outcomes;
    for (const std::uint64_t n : points) outcomes[RunOnce(fault, n)]++;
    std::string summary;
    for (const auto& [outcome, count] : outcomes) summary += " " + outcome + " x" + std::to_string(count);
    std::printf("[ %s ] %zu runs of %" PRIu64 " writes:%s\n", FaultName(fault), points.size(), writes_, summary.c_str());
  }

  std::uint64_t writes() const { return writes_; }

 private:
  fs::path pair() const { return dir_.path() / "pair"; }
  fs::path run() const { return dir_.path() / "run"; }

  px::test::ToolRun Tool(const std::string& tool, const std::string& args) {
    return px::test::runTool(tool, args);
  }

  void CopyPair() {
    fs::remove_all(run());
    fs::copy(pair(), run(), fs::copy_options::recursive);
    const std::string config = (run() / "pxengine.conf").string();
    std::ofstream(config) << "[aliases]\nwinvelda5 = " << (run() / "aktiv").string() << "\n";
    px::setEnvironmentVariable("PXENGINE_CONFIG", config.c_str());
  }

  // One merge of the run's pair; an empty plan runs the shipped program as a
  // user would, any other the test build with the planned fault.
  px::test::ToolRun Merge(const std::string& plan) {
    if (plan.empty()) px::setEnvironmentVariable("MERGETOOL_FAULT_AT", std::nullopt);
    else px::setEnvironmentVariable("MERGETOOL_FAULT_AT", plan);
    return Tool(plan.empty() ? "mergetool-cli" : "mergetool-cli-faults", "--old " + (run() / "alt").string() + " --yes");
  }

  void CheckTables(const fs::path& dir, std::vector<std::string>& problems) {
    std::vector<px::TableCheckResult> results;
    const px::Status status = px::checkDirectory(px::localFileSystem(), dir, px::CheckOptions{}, results);
    std::string errors = status.ok() ? "" : "\n" + status.message();
    for (const px::TableCheckResult& result : results) {
      if (!result.status.ok()) errors += "\n" + result.table + ": " + result.status.message();
      for (const px::CheckFinding& finding : result.findings)
        if (finding.severity == px::CheckFinding::Severity::Error) errors += "\n" + finding.file + ": " + finding.text;
    }
    if (!errors.empty()) problems.push_back("the table check of " + dir.filename().string() + ":" + errors);
  }

  // One run with its checks; returns its outcome for the summary.
  std::string RunOnce(Fault fault, std::uint64_t n) {
    const std::string plan = std::to_string(n) + ":" + FaultName(fault);
    CopyPair();
    const px::test::ToolRun first = Merge(plan);
    std::vector<std::string> problems;
    const auto [activeState, oldState] = CheckStates(problems);

    const bool succeeded = first.exitCode == 0;
    const bool claimed = first.out.find("Fertig.") != std::string::npos;
    if (succeeded && (activeState != State::After || oldState != State::After))
      problems.push_back("the run succeeded but did not leave both databases merged");
    if (succeeded != claimed) problems.push_back(claimed ? "a failed run printed \"Fertig.\"" : "a successful run did not finish");
    if (!succeeded && first.out.find(FaultMessage(fault)) == std::string::npos)
      problems.push_back("the failed run does not say what failed");
    if (fault == Fault::Die && n <= writes_ && first.exitCode != 137) problems.push_back("the run did not die");

    std::string outcome = std::string(succeeded ? "ok" : "failed") + ", active " + StateName(activeState) + ", old " +
                          StateName(oldState);
    if (!succeeded && problems.empty()) outcome += MergeAgain(activeState, problems);
    if (!problems.empty()) {
      std::string text;
      for (const std::string& problem : problems) text += "\n- " + problem;
      ADD_FAILURE() << "fault " << plan << " of " << writes_ << " writes (exit " << first.exitCode << "):" << text
                    << "\nfirst run:\n" << first.out;
    }
    return outcome;
  }

  // Opens and checks both databases of the run; each must be wholly as before
  // or wholly as after the merge.
  std::pair<State, State> CheckStates(std::vector<std::string>& problems) {
    const Snapshot active = OpenAndRead(run() / "aktiv", problems);
    const Snapshot old = OpenAndRead(run() / "alt", problems);
    CheckTables(run() / "aktiv", problems);
    CheckTables(run() / "alt", problems);
    const State activeState = StateOf(active, activeBefore_, activeAfter_);
    const State oldState = StateOf(old, oldBefore_, oldAfter_);
    if (activeState == State::Neither)
      problems.push_back("the active database is neither as before nor as after: " + FirstDifference(active, activeAfter_));
    if (oldState == State::Neither)
      problems.push_back("the old database is neither as before nor as after: " + FirstDifference(old, oldAfter_));
    // Both are written in one step: the active one holding the old records
    // while the old one keeps its keys would have a second merge append them
    // again; the old one renumbered alone would have it renumber them twice.
    if (activeState != oldState && activeState != State::Neither && oldState != State::Neither)
      problems.push_back(std::string("the active database is ") + StateName(activeState) + " the merge, the old one " +
                         StateName(oldState));
    return {activeState, oldState};
  }

  // The administrator runs the merge again after a failed one; the active
  // database must then hold what one merge gives, nothing twice, nothing lost.
  std::string MergeAgain(State activeState, std::vector<std::string>& problems) {
    const px::test::ToolRun second = Merge("");
    const Snapshot retried = OpenAndRead(run() / "aktiv", problems);
    CheckTables(run() / "aktiv", problems);
    CheckTables(run() / "alt", problems);
    if (activeState == State::Before && second.exitCode != 0)
      problems.push_back("the merge after the failed one fails:\n" + second.out);
    const std::multiset<std::string> contents = Contents(retried);
    if (contents != mergedContents_)
      problems.push_back("after the second merge the active database differs from one merge's result:" +
                         ContentsDifference(contents, mergedContents_) + "\nsecond merge:\n" + second.out);
    CheckCounters(retried, problems);
    return second.exitCode == 0 ? ", merged again" : ", second merge refused";
  }

  px::test::TempDir dir_;
  Snapshot activeBefore_, oldBefore_, activeAfter_, oldAfter_;
  std::multiset<std::string> mergedContents_;
  std::uint64_t writes_ = 0;
};

TEST_F(MergeCrashTest, SmallPairSurvivesACrashAtEveryWrite) {
  ASSERT_NO_FATAL_FAILURE(Prepare(24, 16));
  RunFaults(Fault::Die, Every(writes()));
  // One past the last write strikes nothing: the count covered every write.
  RunFaults(Fault::Die, {writes() + 1});
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

TEST_F(MergeCrashTest, SmallPairSurvivesAFullDiskOrAnIOErrorAtASpreadOfWrites) {
  ASSERT_NO_FATAL_FAILURE(Prepare(24, 16));
  const std::uint64_t points = LongRun() ? writes() : writes() / (kSanitized ? 4 : 2);
  RunFaults(Fault::Full, Spread(writes(), points));
  RunFaults(Fault::IO, Spread(writes(), points));
}

TEST_F(MergeCrashTest, LargerPairSurvivesFaultsAtASpreadOfWrites) {
  if (kSanitized && !LongRun()) GTEST_SKIP() << "too slow under the sanitizers; MERGE_CRASH_LONG=1 runs it";
  if (ShortRun())
    GTEST_SKIP() << "a short run (MERGE_CRASH_SHORT, the Windows stage: under Wine every program started costs most "
                    "of a second); the Linux stages run it, MERGE_CRASH_LONG=1 runs it here";
  ASSERT_NO_FATAL_FAILURE(Prepare(300, 200));
  const std::uint64_t points = LongRun() ? writes() : 25;
  RunFaults(Fault::Die, Spread(writes(), points));
  RunFaults(Fault::Full, Spread(writes(), LongRun() ? points : 8));
  RunFaults(Fault::IO, Spread(writes(), LongRun() ? points : 8));
}

TEST_F(MergeCrashTest, LargePairSurvivesACrashAtEveryWrite) {
  if (!LongRun()) GTEST_SKIP() << "a long run: MERGE_CRASH_LONG=1";
  ASSERT_NO_FATAL_FAILURE(Prepare(4000, 2000));
  RunFaults(Fault::Die, Every(writes()));
}

}  // namespace
