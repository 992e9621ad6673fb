// Changes to a generated database pair for the tests of a failing merge: a
// record that the old views hide, placed at the key that the renumbering
// gives a record half way through one walk, so the merge fails there with a
// key violation; and the removal of that record, after which the merge must
// go through once and cleanly. Done through the engine on closed databases.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/access/database.h"
#include "engine/format/integer_text.h"

namespace merge_collisions {

// One walk of the merge: its old table, the key field, the field the old
// view's filter reads, the value that hides a record there, and the counter
// whose value is the walk's offset.
struct Walk {
  const char* name;
  const char* table;
  const char* key;
  const char* filterField;
  const char* hidden;
  const char* counter;
};

inline const Walk kWalks[] = {
    {"patients", "patient", "ID", "Gender", "x", "LastPatient"},
    {"series", "session", "SessionID", "Patient", "0", "LastSession"},
    {"measurements", "data", "DataID", "SessionID", "0", "LastData"},
};

inline std::size_t FieldIndex(const px::WritableTable& table, const std::string& name) {
  for (std::size_t i = 0; i < table.fields().size(); ++i) {
    if (table.fields()[i].name == name) return i;
  }
  ADD_FAILURE() << table.table().data().name() << " has no field " << name;
  return 0;
}

inline std::string Text(const px::WritableTable& table, const std::uint8_t* record, std::size_t field) {
  px::Value value;
  if (!table.readValue(record, field, value).ok() || px::isNull(value)) return "";
  if (const auto* text = std::get_if<std::string>(&value)) return *text;
  if (const auto* number = std::get_if<std::int32_t>(&value)) return std::to_string(*number);
  return "";
}

// The active database's counter of `walk`.
inline void ReadCounter(const std::filesystem::path& active, const Walk& walk, std::int32_t& counter) {
  std::unique_ptr<px::Database> db;
  ASSERT_TRUE(px::Database::open(px::localFileSystem(), active, db).ok());
  px::WritableTable* index = nullptr;
  ASSERT_TRUE(db->table("index", index).ok());
  const std::vector<px::WritableTable::RecordId> ids = index->orderedIds();
  ASSERT_EQ(ids.size(), 1u);
  const std::string text = Text(*index, index->record(ids[0]), FieldIndex(*index, walk.counter));
  ASSERT_TRUE(px::parseIntegerText(text, counter)) << walk.counter << " reads '" << text << "'";
  ASSERT_TRUE(db->close().ok());
}

// Adds to the old table of `walk` a copy of its middle shown record, hidden
// and keyed where the renumbering moves that middle record; returns that key.
inline void AddCollisionHalfWay(const std::filesystem::path& old, const Walk& walk, std::int32_t offset,
                                std::string& collidingKey) {
  std::unique_ptr<px::Database> db;
  ASSERT_TRUE(px::Database::open(px::localFileSystem(), old, db).ok());
  px::WritableTable* table = nullptr;
  ASSERT_TRUE(db->table(walk.table, table).ok());
  const std::size_t key = FieldIndex(*table, walk.key);
  const std::size_t filtered = FieldIndex(*table, walk.filterField);
  // Records the view shows: positive whole numbers sort after "0" as text,
  // and a patient shows unless marked "x".
  std::vector<px::WritableTable::RecordId> shown;
  for (const px::WritableTable::RecordId id : table->orderedIds()) {
    const std::string value = Text(*table, table->record(id), filtered);
    std::int32_t number = 0;
    const bool showsUp = std::string(walk.hidden) == "x" ? value != "x"
                                                         : px::parseIntegerText(value, number) && number > 0 &&
                                                               value.front() != '0' && value.front() != ' ';
    if (showsUp) shown.push_back(id);
  }
  ASSERT_GE(shown.size(), 3u) << walk.table;
  const px::WritableTable::RecordId middle = shown[shown.size() / 2];
  std::int32_t middleKey = 0;
  ASSERT_TRUE(px::parseIntegerText(Text(*table, table->record(middle), key), middleKey));
  collidingKey = std::to_string(static_cast<std::int64_t>(middleKey) + offset);
  px::Bytes record(table->record(middle), table->record(middle) + table->header().recordSize);
  // Without the blob values, which belong to the record copied.
  for (const px::FieldDescriptor& field : table->fields()) {
    if (px::isBlobType(field.type)) std::fill_n(record.begin() + field.offset, field.size, std::uint8_t{0});
  }
  ASSERT_TRUE(table->setValue(record, key, collidingKey).ok());
  ASSERT_TRUE(table->setValue(record, filtered, std::string(walk.hidden)).ok());
  ASSERT_TRUE(table->insert(record).ok()) << collidingKey << " is taken already";
  ASSERT_TRUE(db->close().ok());
}

// Removes the record of `key` from the old table of `walk`.
inline void RemoveRecord(const std::filesystem::path& old, const Walk& walk, const std::string& keyText) {
  std::unique_ptr<px::Database> db;
  ASSERT_TRUE(px::Database::open(px::localFileSystem(), old, db).ok());
  std::unique_ptr<px::Cursor> cursor;
  ASSERT_TRUE(db->openCursor(walk.table, px::CursorOptions{}, cursor).ok());
  const std::size_t key = FieldIndex(cursor->table(), walk.key);
  px::Bytes record;
  bool removed = false;
  while (!removed && cursor->next(record).ok()) {
    if (Text(cursor->table(), record.data(), key) != keyText) continue;
    ASSERT_TRUE(cursor->removeCurrent().ok());
    removed = true;
  }
  ASSERT_TRUE(removed) << walk.table << " has no record " << keyText;
  cursor.reset();
  ASSERT_TRUE(db->close().ok());
}

}  // namespace merge_collisions
