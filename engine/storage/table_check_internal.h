// The parts of the table check (table_check.h), shared by its source files.
// Every part reads files without stopping at the first problem: it reports
// what it finds and goes on with what is still usable. Section numbers are
// those of docs/paradox-format.md.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "engine/format/collation.h"
#include "engine/format/table_header.h"
#include "engine/format/value.h"
#include "engine/io/file_system.h"
#include "engine/storage/data_file.h"
#include "engine/storage/index_tree.h"
#include "engine/storage/table_check.h"
#include "engine/storage/table_family.h"

namespace px::check {

// Where findings go. A softened view reports errors as warnings, for files
// whose problems the original engine repairs by itself (non-maintained indexes).
class Findings {
 public:
  explicit Findings(std::vector<CheckFinding>& out) : out_(&out) {}
  Findings softened(std::string why) const;

  void error(const std::string& file, std::string text);
  void warning(const std::string& file, std::string text);
  void add(CheckFinding::Severity severity, const std::string& file, std::string text);

 private:
  std::vector<CheckFinding>* out_;
  bool soft_ = false;
  std::string why_;
};

// Findings of one kind that may repeat for thousands of records: the first
// few in full, then one line that counts the rest.
class Tally {
 public:
  static constexpr std::size_t kShown = 5;

  Tally(Findings& findings, CheckFinding::Severity severity, std::string file, std::string rest)
      : findings_(findings), severity_(severity), file_(std::move(file)), rest_(std::move(rest)) {}
  Tally(const Tally&) = delete;
  Tally& operator=(const Tally&) = delete;
  ~Tally();

  void add(std::string text);
  std::size_t count() const { return count_; }

 private:
  Findings& findings_;
  CheckFinding::Severity severity_;
  std::string file_;
  std::string rest_;  // "more records out of key order"
  std::size_t count_ = 0;
};

// A file of blocks as read by the check: .DB, .PX, .Xnn/.XGn or .Ynn/.YGn.
struct BlockFile {
  std::filesystem::path path;
  std::string name;
  TableHeader header;
  Bytes bytes;                   // the whole file
  std::size_t blocksInFile = 0;  // blocks present, the last one possibly cut short
  std::vector<BlockRun> runs;    // the chain, as far as it could be followed
  Bytes records;                 // records (or tree entries) of the chain, back to back
  std::vector<bool> inChain;     // by block number

  std::size_t recordCount() const { return header.recordSize ? records.size() / header.recordSize : 0; }
  const std::uint8_t* record(std::size_t i) const { return records.data() + i * header.recordSize; }
  const std::uint8_t* recordsData() const { return records.empty() ? nullptr : records.data(); }
  bool blockInChain(std::uint32_t block) const { return block < inChain.size() && inChain[block]; }
  // Block `number` (1-based), padded with zeros where the file ends early.
  // REQUIRES: 1 <= number <= blocksInFile.
  const std::uint8_t* block(std::uint32_t number, Bytes& scratch) const;
};

// Reads a file and decodes its header; reports and returns false when the
// file cannot be read or its header is unusable.
bool readBlockFile(FileSystem& fs, const std::filesystem::path& path, BlockFile& out, Findings& findings);
// The same on bytes already read.
bool parseBlockFile(const std::filesystem::path& path, Bytes bytes, BlockFile& out, Findings& findings);

// File size, block chain, counts and free list (sections 2.4, 4.2, 4.3).
// `dataBlocks`: records of a .DB or .X, where an empty block inside a longer
// chain is worth a warning; tree files keep their entries in the chain too.
void checkBlocks(BlockFile& file, Findings& findings, bool dataBlocks);

// Bytes 14, 2A and 4F, which the original engine leaves 0 (section 7.2).
void checkRebuildFlags(const BlockFile& file, Findings& findings);

// The leaf entries of an index tree, found from its root.
struct TreeWalk {
  bool usable = false;  // the tree could be walked; its leaves can be compared
  std::vector<TreeEntry> leaves;
};
void walkTree(const BlockFile& file, Findings& findings, TreeWalk& out);

// A tree's leaves against the blocks of the file it indexes: one entry per
// non-empty block in chain order, with its number, count and first key.
void compareLeaves(const std::string& treeName, const std::vector<TreeEntry>& leaves, const BlockFile& data,
                   std::size_t keySize, Findings& findings);

// Readable values of the first `count` fields of a record, for finding texts.
std::string fieldsText(const std::vector<FieldDescriptor>& fields, std::size_t count, const std::uint8_t* record);

// What the parts share about the table being checked.
struct TableContext {
  CheckOptions options;
  TableFamily family;
  BlockFile db;
  const Collation* collation = nullptr;  // nullptr: the sort order is unknown
  std::optional<BlockFile> px;           // its header is usable
};

void checkKeyOrder(const TableContext& table, Findings& findings);
void checkPrimaryIndex(FileSystem& fs, TableContext& table, Findings& findings);
void checkSecondaryIndex(FileSystem& fs, const TableContext& table, const SecondaryIndexFiles& files,
                         Findings& findings);
void checkBlobs(FileSystem& fs, const TableContext& table, Findings& findings);

}  // namespace px::check
