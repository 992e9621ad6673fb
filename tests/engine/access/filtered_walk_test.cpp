// A filtered cursor walked from the last record back while each record's key
// is raised: records the filter hides pile up between the records not yet
// visited and those already raised. Each step must still find the right
// record, and the walk must not pass over the hidden ones again and again.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <vector>

#include "engine/access/cursor.h"
#include "engine/access/database.h"
#include "engine/format/integer_text.h"
#include "tests/support/test_support.h"

namespace px {
namespace {

constexpr std::size_t kKeyField = 0, kNameField = 2;
const std::string kHidden = "x";

// autenticacao (set06) emptied and filled with `names` by key; filtered
// cursors hide the records named "x".
class FilteredWalk : public ::testing::Test {
 protected:
  void fill(const std::map<std::int32_t, std::string>& names) {
    dir_.copySet("set06");
    ASSERT_TRUE(Database::open(localFileSystem(), dir_.path(), db_).ok());
    ASSERT_TRUE(db_->openCursor("autenticacao", {}, other_).ok());
    Bytes r;
    while (other_->next(r).ok()) ASSERT_TRUE(other_->removeCurrent().ok());
    for (const auto& [key, name] : names) ASSERT_TRUE(other_->insert(recordOf(key, name)).ok());
    ASSERT_TRUE(db_->openCursor("autenticacao", {}, walker_).ok());
    filter_ = walker_->addFilter([this](const std::uint8_t* record) {
      ++evaluations_;
      return nameOf(record) != kHidden;
    });
    ASSERT_TRUE(walker_->activateFilter(filter_, true).ok());
  }
  Bytes recordOf(std::int32_t key, const std::string& name) const {
    Bytes r = other_->table().blankRecord();
    EXPECT_TRUE(other_->table().setValue(r, kKeyField, std::to_string(key)).ok());
    EXPECT_TRUE(other_->table().setValue(r, kNameField, name).ok());
    return r;
  }
  std::string text(const std::uint8_t* record, std::size_t field) const {
    Value v;
    EXPECT_TRUE(other_->table().readValue(record, field, v).ok());
    return isNull(v) ? "" : std::get<std::string>(v);
  }
  std::string nameOf(const std::uint8_t* record) const { return text(record, kNameField); }
  std::int32_t keyOf(const std::uint8_t* record) const {
    std::int32_t key = 0;
    EXPECT_TRUE(parseIntegerText(text(record, kKeyField), key));
    return key;
  }

  test::TempDir dir_;
  std::unique_ptr<Database> db_;
  std::unique_ptr<Cursor> other_, walker_;
  int filter_ = 0;
  std::size_t evaluations_ = 0;
};

// Once as a plain walk, once going back to the bookmark before each change
// and each step, as a view does that keeps its own place.
class FilteredWalkRepositioned : public FilteredWalk, public ::testing::WithParamInterface<bool> {};

TEST_P(FilteredWalkRepositioned, RaisingEveryKeyVisitsEachShownRecordOnceAndPassesTheHiddenOnesOnce) {
  const bool backToBookmark = GetParam();
  std::map<std::int32_t, std::string> names;
  std::set<std::int32_t> shown;
  for (std::int32_t k = 1; k <= 400; ++k) {
    names[k] = k % 7 == 3 ? kHidden : "name " + std::to_string(k);
    if (names[k] != kHidden) shown.insert(k);
  }
  ASSERT_NO_FATAL_FAILURE(fill(names));
  evaluations_ = 0;
  std::set<std::int32_t> visited;
  Bytes r;
  walker_->moveToEnd();
  while (walker_->prior(r).ok()) {
    const std::int32_t key = keyOf(r.data());
    EXPECT_TRUE(visited.insert(key).second) << key << " visited twice";
    Cursor::Bookmark mark;
    ASSERT_TRUE(walker_->bookmark(mark).ok());
    if (backToBookmark) {
      ASSERT_TRUE(walker_->gotoBookmark(mark).ok());
    }
    ASSERT_TRUE(walker_->currentLocked(r).ok());
    ASSERT_TRUE(other_->table().setValue(r, kKeyField, std::to_string(key + 100000)).ok());
    ASSERT_TRUE(walker_->modify(r).ok());
    if (backToBookmark) {
      ASSERT_TRUE(walker_->gotoBookmark(mark).ok());
    }
  }
  EXPECT_EQ(visited, shown);
  // Each record is judged about once; passing the 57 hidden ones at every
  // step would take over 10,000 judgements.
  EXPECT_LE(evaluations_, 2 * names.size());

  // The hidden records kept their keys, every shown one was raised.
  std::set<std::int32_t> hiddenAfter, raisedAfter;
  other_->moveToBegin();
  while (other_->next(r).ok()) (nameOf(r.data()) == kHidden ? hiddenAfter : raisedAfter).insert(keyOf(r.data()));
  std::set<std::int32_t> raised;
  for (std::int32_t k : shown) raised.insert(k + 100000);
  EXPECT_EQ(raisedAfter, raised);
  EXPECT_EQ(hiddenAfter.size(), names.size() - shown.size());
  EXPECT_LT(*hiddenAfter.rbegin(), 401);
}

INSTANTIATE_TEST_SUITE_P(WalkAndBookmarks, FilteredWalkRepositioned, ::testing::Bool());

// Shown 10 20 30 40 90 100, hidden 50 60 70 80: the walk raises 100, 90 and
// 40, passing the hidden four once on its way to 40.
class FilteredWalkAfterChange : public FilteredWalk {
 protected:
  // The key the walker steps to once it has raised 100, 90 and 40 and
  // `change` has run.
  std::int32_t nextStepAfter(const std::function<void()>& change) {
    std::map<std::int32_t, std::string> names;
    for (std::int32_t k : {10, 20, 30, 40, 90, 100}) names[k] = "shown";
    for (std::int32_t k : {50, 60, 70, 80}) names[k] = kHidden;
    fill(names);
    Bytes r;
    walker_->moveToEnd();
    for (std::int32_t expected : {100, 90, 40}) {
      EXPECT_TRUE(walker_->prior(r).ok());
      EXPECT_EQ(keyOf(r.data()), expected);
      EXPECT_TRUE(other_->table().setValue(r, kKeyField, std::to_string(expected + 1000)).ok());
      EXPECT_TRUE(walker_->modify(r).ok());
    }
    change();
    if (!walker_->prior(r).ok()) return -1;
    return keyOf(r.data());
  }
  // Moves the other cursor onto the record with `key`.
  void otherOn(std::int32_t key) {
    Bytes r;
    other_->moveToBegin();
    while (other_->next(r).ok())
      if (keyOf(r.data()) == key) return;
    ADD_FAILURE() << "no record " << key;
  }
};

TEST_F(FilteredWalkAfterChange, NothingChangedStepsOverTheHiddenOnes) {
  EXPECT_EQ(nextStepAfter([] {}), 30);
}

TEST_F(FilteredWalkAfterChange, AHiddenRecordShownMeanwhileIsFound) {
  EXPECT_EQ(nextStepAfter([&] {
              otherOn(60);
              Bytes r;
              ASSERT_TRUE(other_->current(r).ok());
              ASSERT_TRUE(other_->table().setValue(r, kNameField, std::string("shown")).ok());
              ASSERT_TRUE(other_->modify(r).ok());
            }),
            60);
}

TEST_F(FilteredWalkAfterChange, ARecordAddedAmongTheHiddenOnesIsFound) {
  EXPECT_EQ(nextStepAfter([&] { ASSERT_TRUE(other_->insert(recordOf(65, "shown")).ok()); }), 65);
}

TEST_F(FilteredWalkAfterChange, RemovingTheHiddenOnesLeavesTheWalkOnItsWay) {
  EXPECT_EQ(nextStepAfter([&] {
              for (std::int32_t key : {80, 50}) {
                otherOn(key);
                ASSERT_TRUE(other_->removeCurrent().ok());
              }
            }),
            30);
}

TEST_F(FilteredWalkAfterChange, TheWalkersOwnFilterSwitchedOffShowsThemAll) {
  EXPECT_EQ(nextStepAfter([&] {
              const int all = walker_->addFilter([](const std::uint8_t*) { return true; });
              ASSERT_TRUE(walker_->activateFilter(all, true).ok());
              ASSERT_TRUE(walker_->dropFilter(filter_).ok());
            }),
            80);
}

// The walk interleaved with changes that must make the cursor forget what it
// passed over: its own record moved anywhere or hidden, records near it shown
// or hidden, records added and removed, all through another cursor. Every
// step is checked against a plain search of the table's order.
TEST_F(FilteredWalk, EveryStepMatchesAPlainSearchWhateverChangesInBetween) {
  std::mt19937 rng(7);
  std::map<std::int32_t, std::string> names;
  while (names.size() < 200) {
    const auto key = static_cast<std::int32_t>(rng() % 5000);
    names[key] = rng() % 5 < 2 ? kHidden : "n" + std::to_string(key);
  }
  ASSERT_NO_FATAL_FAILURE(fill(names));
  RecordOrdering* order = nullptr;
  ASSERT_TRUE(walker_->table().ordering("", order).ok());
  const WritableTable& table = walker_->table();
  const auto& ids = order->ids();

  bool atEnd = true;
  Cursor::RecordId current = 0;
  auto expectedPrior = [&]() -> std::optional<Cursor::RecordId> {
    auto it = atEnd ? ids.end() : ids.find(current);
    while (it != ids.begin()) {
      --it;
      if (nameOf(table.record(*it)) != kHidden) return *it;
    }
    return std::nullopt;
  };
  auto expectedNext = [&]() -> std::optional<Cursor::RecordId> {
    for (auto it = std::next(ids.find(current)); it != ids.end(); ++it)
      if (nameOf(table.record(*it)) != kHidden) return *it;
    return std::nullopt;
  };
  // Mostly a record just below the walker, among those it has just passed
  // over or is about to pass; never the walker's own.
  auto someOtherRecord = [&]() -> std::optional<Cursor::RecordId> {
    if (rng() % 4 == 0 || atEnd) {
      std::vector<Cursor::RecordId> all(ids.begin(), ids.end());
      all.erase(std::remove(all.begin(), all.end(), current), all.end());
      if (all.empty()) return std::nullopt;
      return all[rng() % all.size()];
    }
    auto it = ids.find(current);
    for (unsigned back = 1 + rng() % 6; back > 0 && it != ids.begin(); --back) --it;
    if (*it == current) return std::nullopt;
    return *it;
  };
  auto change = [&](const Bytes& record, std::size_t field, const std::string& value) {
    Bytes r = record;
    EXPECT_TRUE(other_->table().setValue(r, field, value).ok());
    return r;
  };

  walker_->moveToEnd();
  std::size_t steps = 0;
  for (int round = 0; round < 3000; ++round) {
    Bytes r;
    const auto expected = expectedPrior();
    const Status s = walker_->prior(r);
    ASSERT_EQ(s.ok(), expected.has_value()) << "round " << round << ": " << s.message();
    if (!s.ok()) {
      walker_->moveToEnd();
      atEnd = true;
      continue;
    }
    Cursor::Bookmark mark;
    ASSERT_TRUE(walker_->bookmark(mark).ok());
    ASSERT_EQ(mark.id, *expected) << "round " << round;
    current = mark.id;
    atEnd = false;
    ++steps;

    // The walker's own record: mostly raised above the rest, as the merge
    // does; sometimes moved anywhere or hidden.
    const std::int32_t key = keyOf(r.data());
    const unsigned own = rng() % 10;
    Status modified;
    if (own < 7) modified = walker_->modify(change(r, kKeyField, std::to_string(key + 100000)));
    else if (own == 7) modified = walker_->modify(change(r, kKeyField, std::to_string(rng() % 5000)));
    else if (own == 8) modified = walker_->modify(change(r, kNameField, kHidden));
    ASSERT_TRUE(modified.ok() || modified.code() == rc::kKeyViolation) << modified.message();

    // The walker moved: back to its bookmark (as a view does before each
    // step), onto another record, or one step on.
    const unsigned move = rng() % 20;
    if (move < 8) {
      ASSERT_TRUE(walker_->gotoBookmark(mark).ok());
    } else if (move == 8) {
      const auto id = someOtherRecord();
      if (id) {
        ASSERT_TRUE(walker_->gotoBookmark(Cursor::Bookmark{*id}).ok());
        current = *id;
      }
    } else if (move == 9) {
      const auto next = expectedNext();
      const Status s = walker_->next(r);
      ASSERT_EQ(s.ok(), next.has_value()) << "round " << round << ": " << s.message();
      if (!s.ok()) {
        walker_->moveToEnd();
        atEnd = true;
        continue;
      }
      ASSERT_TRUE(walker_->bookmark(mark).ok());
      ASSERT_EQ(mark.id, *next) << "round " << round;
      current = mark.id;
    }

    // Now and then a change through the other cursor before the next step.
    const unsigned action = rng() % 10;
    if (action < 3) {
      const auto id = someOtherRecord();
      if (!id) continue;
      ASSERT_TRUE(other_->gotoBookmark(Cursor::Bookmark{*id}).ok());
      ASSERT_TRUE(other_->current(r).ok());
      ASSERT_TRUE(other_->modify(change(r, kNameField, nameOf(r.data()) == kHidden ? "shown" : kHidden)).ok());
    } else if (action == 3) {
      const Status added = other_->insert(recordOf(static_cast<std::int32_t>(rng() % 5000), rng() % 2 ? kHidden : "new"));
      ASSERT_TRUE(added.ok() || added.code() == rc::kKeyViolation) << added.message();
    } else if (action == 4) {
      const auto id = someOtherRecord();
      if (!id) continue;
      ASSERT_TRUE(other_->gotoBookmark(Cursor::Bookmark{*id}).ok());
      ASSERT_TRUE(other_->removeCurrent().ok());
    }
  }
  EXPECT_GT(steps, 2000u);
}

}  // namespace
}  // namespace px
