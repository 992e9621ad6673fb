// An index tree file (.PX, .Ynn, .YGn) held in memory. Loading walks the tree
// from its root (never the block chain, whose order differs) and checks that
// every level is well formed; it yields the leaf entries in key order.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/format/table_header.h"
#include "engine/format/value.h"
#include "engine/io/file_system.h"
#include "engine/status.h"

namespace px {

struct TreeEntry {
  Bytes key;                // the key fields as stored
  std::uint16_t block = 0;  // data block (leaves) or child tree block
  std::uint16_t count = 0;  // records below the entry
};

class IndexTree {
 public:
  Status load(FileSystem& fs, const std::filesystem::path& path);
  Status parse(Bytes bytes, const std::string& name);

  const std::string& name() const { return name_; }
  const TableHeader& header() const { return header_; }
  const Bytes& rawHeader() const { return rawHeader_; }
  std::size_t keySize() const { return header_.recordSize - 6u; }
  const std::vector<TreeEntry>& leaves() const { return leaves_; }
  std::uint32_t totalEntries() const { return totalEntries_; }

  // Checks the leaves against the blocks of the file they index: one entry per
  // block in chain order, with its block number, record count and first key.
  // `keyOf` gives the first record's key bytes of a block run.
  template <typename Runs, typename KeyOf>
  Status checkAgainst(const Runs& runs, const std::string& dataName, KeyOf keyOf) const;

 private:
  Status walk(const Bytes& file, std::uint16_t block, int level, std::vector<bool>& seen, std::uint32_t& count);

  std::string name_;
  TableHeader header_;
  Bytes rawHeader_;
  std::vector<TreeEntry> leaves_;
  std::uint32_t totalEntries_ = 0;
};

template <typename Runs, typename KeyOf>
Status IndexTree::checkAgainst(const Runs& runs, const std::string& dataName, KeyOf keyOf) const {
  auto stale = [&](const std::string& what) {
    return Status(rc::kIndexOutOfDate, name_ + ": index is out of date for " + dataName + ": " + what);
  };
  // An emptied table keeps one block without records; its index holds no entry.
  const bool noRecords = runs.size() == 1 && runs[0].count == 0;
  if (noRecords && leaves_.empty()) return Status::Ok();
  if (leaves_.size() != runs.size())
    return stale(std::to_string(leaves_.size()) + " leaf entries for " + std::to_string(runs.size()) + " blocks");
  for (std::size_t i = 0; i < runs.size(); ++i) {
    const TreeEntry& e = leaves_[i];
    if (e.block != runs[i].block || e.count != runs[i].count)
      return stale("entry " + std::to_string(i + 1) + " names block " + std::to_string(e.block) + " with " +
                   std::to_string(e.count) + " records, the chain has block " + std::to_string(runs[i].block) +
                   " with " + std::to_string(runs[i].count));
    if (runs[i].count > 0 && !keyOf(runs[i], e.key))
      return stale("entry " + std::to_string(i + 1) + " does not hold the first key of block " +
                   std::to_string(e.block));
  }
  return Status::Ok();
}

}  // namespace px
