// Key order of the .DB, its primary index, and its secondary indexes: the
// relations of docs/paradox-format.md sections 4.2, 5, 6 and 7.1, and with
// CheckOptions::rebuild the comparison with indexes rebuilt as a writer would.
#include <algorithm>
#include <cstring>
#include <numeric>

#include "engine/format/field_codec.h"
#include "engine/format/header_format.h"
#include "engine/format/index_format.h"
#include "engine/storage/index_builder.h"
#include "engine/storage/key_order.h"
#include "engine/storage/secondary_builder.h"
#include "engine/storage/table_check_internal.h"

namespace px::check {

namespace {

using Severity = CheckFinding::Severity;

std::string str(std::size_t n) { return std::to_string(n); }

std::string hex(const Bytes& bytes) {
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  for (std::uint8_t b : bytes) {
    out += kHex[b >> 4];
    out += kHex[b & 0xF];
  }
  return out;
}

// The chain block of every record, by record position.
std::vector<std::uint16_t> blockOfRecords(const BlockFile& file) {
  std::vector<std::uint16_t> out(file.recordCount());
  for (const BlockRun& run : file.runs)
    for (std::uint32_t k = 0; k < run.count; ++k) out[run.firstRecord + k] = run.block;
  return out;
}

std::string recordPair(std::size_t first, std::uint16_t blockA, std::uint16_t blockB) {
  std::string where = "records " + str(first + 1) + " and " + str(first + 2);
  if (blockA == blockB) return where + " (in block " + str(blockA) + ")";
  return where + " (the last of block " + str(blockA) + " and the first of block " + str(blockB) + ")";
}

// Leaf entries rebuilt from a file's blocks against the entries the tree holds.
void compareRebuiltLeaves(const std::string& treeName, const std::vector<TreeEntry>& built,
                          const std::vector<TreeEntry>& stored, Findings& findings) {
  if (built.size() != stored.size())
    findings.error(treeName,
                   "the rebuilt tree has " + str(built.size()) + " leaf entries, the file " + str(stored.size()));
  Tally differ(findings, Severity::Error, treeName, "more leaf entries that differ from the rebuilt ones");
  for (std::size_t i = 0; i < std::min(built.size(), stored.size()); ++i) {
    const TreeEntry& b = built[i];
    const TreeEntry& s = stored[i];
    if (b.key != s.key || b.block != s.block || b.count != s.count)
      differ.add("leaf entry " + str(i + 1) + " is key " + hex(s.key) + ", block " + str(s.block) + ", " +
                 str(s.count) + " records; rebuilt: key " + hex(b.key) + ", block " + str(b.block) + ", " +
                 str(b.count) + " records");
  }
}

// Builds a tree from `leaves` as the writer does and reads it back.
void rebuildTree(const BlockFile& tree, const std::vector<TreeEntry>& leaves, std::size_t keySize, Findings& findings) {
  TreeImage image;
  if (Status s = buildTree(leaves, keySize, tree.header.blockSize, tree.name, image); !s.ok()) {
    findings.error(tree.name, "cannot be rebuilt: " + s.message());
    return;
  }
  const Bytes rawHeader(tree.bytes.begin(), tree.bytes.begin() + tree.header.headerSize);
  IndexTree reread;
  if (Status s = reread.parse(assembleTreeFile(rawHeader, image), tree.name); !s.ok()) {
    findings.error(tree.name, "the rebuilt tree does not read back: " + s.message());
    return;
  }
  if (reread.leaves().size() != leaves.size())
    findings.error(tree.name, "the rebuilt tree reads back " + str(reread.leaves().size()) + " leaf entries of " +
                                  str(leaves.size()));
}

// Counts of block hints that do not name the record's block, reported once per index.
struct HintCount {
  std::size_t entries = 0;
  std::size_t stale = 0;    // name another block of the chain
  std::size_t outside = 0;  // name a block that is not in the chain
  std::uint32_t firstOutside = 0;

  void add(const std::uint8_t* entry, std::size_t hintOffset, std::uint16_t actual, const BlockFile& db) {
    ++entries;
    const auto hint = codec::decodeShort(entry + hintOffset);
    const std::uint32_t block = hint && *hint > 0 ? static_cast<std::uint32_t>(*hint) : 0;
    if (block == actual) return;
    if (db.blockInChain(block)) {
      ++stale;
    } else if (outside++ == 0) {
      firstOutside = block;
    }
  }

  void report(const std::string& name, const std::string& dbName, Findings& findings) const {
    if (stale)
      findings.warning(name, str(stale) + " of " + str(entries) + " entries carry a stale block hint (the record " +
                                 "has moved to another block of " + dbName +
                                 "; the original engine leaves such hints when a split moves records)");
    if (outside)
      findings.warning(name, str(outside) + " of " + str(entries) + " entries carry a block hint that is not in " +
                                 "the data chain of " + dbName + " (block " + str(firstOutside) +
                                 (outside > 1 ? " and others)" : ")"));
  }
};

std::size_t primaryKeySize(const TableHeader& h) {
  std::size_t size = 0;
  for (std::size_t i = 0; i < h.primaryKeyFields && i < h.fields.size(); ++i)
    size += static_cast<std::size_t>(h.fields[i].size);
  return size;
}

// Every entry of a maintained index against the records it should list.
// `expected` are the entries built from the records (sorted, hints current).
void matchEntries(const BlockFile& x, const SecondaryLayout& layout, const Bytes& expected, const BlockFile& db,
                  HintCount& hints, Findings& findings) {
  const std::size_t size = layout.recordSize;
  const std::size_t expectedCount = expected.size() / size;
  const std::vector<FieldDescriptor>& fields = x.header.fields;
  const std::size_t shown = fields.size() - 1;  // all but the hint
  std::vector<std::size_t> order(x.recordCount());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return layout.order.less(x.record(a), x.record(b)); });

  Tally unmatched(findings, Severity::Error, x.name, "more entries that match no record of " + db.name);
  Tally missing(findings, Severity::Error, x.name, "more records of " + db.name + " without an entry");
  Tally differ(findings, Severity::Error, x.name, "more entries whose bytes differ from their record");
  std::size_t i = 0, j = 0;
  while (i < expectedCount || j < order.size()) {
    const std::uint8_t* want = i < expectedCount ? expected.data() + i * size : nullptr;
    const std::uint8_t* have = j < order.size() ? x.record(order[j]) : nullptr;
    const int c = !want ? 1 : !have ? -1 : layout.order.compare(want, have);
    if (c < 0) {
      missing.add("no entry for the record with " + fieldsText(fields, shown, want));
      ++i;
    } else if (c > 0) {
      unmatched.add("entry " + str(order[j] + 1) + " (" + fieldsText(fields, shown, have) + ") matches no record of " +
                    db.name);
      ++j;
    } else {
      if (std::memcmp(want, have, layout.hintOffset) != 0)
        differ.add("entry " + str(order[j] + 1) + " (" + fieldsText(fields, shown, have) +
                   ") differs in its bytes from its record's values (" + fieldsText(fields, shown, want) + ")");
      const auto actual = codec::decodeShort(want + layout.hintOffset);
      hints.add(have, layout.hintOffset, static_cast<std::uint16_t>(actual.value_or(0)), db);
      ++i;
      ++j;
    }
  }
}

// The rebuilt .X records against the file's, position by position.
void compareRebuiltEntries(const BlockFile& x, const SecondaryLayout& layout, const Bytes& built, const BlockFile& db,
                           HintCount& hints, Findings& findings) {
  const std::size_t size = layout.recordSize;
  const std::size_t builtCount = built.size() / size;
  if (builtCount != x.recordCount())
    findings.error(x.name, "the rebuilt index has " + str(builtCount) + " entries, the file " + str(x.recordCount()));
  const std::size_t shown = x.header.fields.size() - 1;
  Tally differ(findings, Severity::Error, x.name, "more entries that differ from the rebuilt ones");
  for (std::size_t i = 0; i < std::min(builtCount, x.recordCount()); ++i) {
    const std::uint8_t* b = built.data() + i * size;
    if (std::memcmp(b, x.record(i), layout.hintOffset) != 0) {
      differ.add("entry " + str(i + 1) + " is " + fieldsText(x.header.fields, shown, x.record(i)) +
                 "; rebuilt: " + fieldsText(x.header.fields, shown, b));
      continue;
    }
    hints.add(x.record(i), layout.hintOffset,
              static_cast<std::uint16_t>(codec::decodeShort(b + layout.hintOffset).value_or(0)), db);
  }
}

header::FileType treeTypeFor(header::FileType dataType) {
  using header::FileType;
  return dataType == FileType::CompositeMaintained || dataType == FileType::CompositeNonMaintained
             ? FileType::CompositeTree
             : FileType::SecondaryTree;
}

}  // namespace

void checkKeyOrder(const TableContext& t, Findings& findings) {
  const BlockFile& db = t.db;
  const TableHeader& h = db.header;
  if (!h.isKeyed() || !t.collation || db.recordCount() == 0) return;
  const KeyOrder order = KeyOrder::primaryKey(h, *t.collation);
  const std::vector<std::uint16_t> blockOf = blockOfRecords(db);
  {
    Tally unordered(findings, Severity::Error, db.name, "more pairs of records out of key order");
    for (std::size_t i = 1; i < db.recordCount(); ++i) {
      if (order.compare(db.record(i - 1), db.record(i)) <= 0) continue;
      unordered.add(recordPair(i - 1, blockOf[i - 1], blockOf[i]) +
                    " are out of key order: " + fieldsText(h.fields, h.primaryKeyFields, db.record(i - 1)) +
                    " before " + fieldsText(h.fields, h.primaryKeyFields, db.record(i)));
    }
  }
  // Sorted, so that a repeated key is found even where the order is broken.
  std::vector<std::size_t> sorted(db.recordCount());
  std::iota(sorted.begin(), sorted.end(), std::size_t{0});
  std::stable_sort(sorted.begin(), sorted.end(),
                   [&](std::size_t a, std::size_t b) { return order.less(db.record(a), db.record(b)); });
  Tally repeated(findings, Severity::Error, db.name, "more records that repeat a key");
  for (std::size_t k = 1; k < sorted.size(); ++k) {
    if (order.compare(db.record(sorted[k - 1]), db.record(sorted[k])) != 0) continue;
    const std::size_t a = std::min(sorted[k - 1], sorted[k]);
    const std::size_t b = std::max(sorted[k - 1], sorted[k]);
    repeated.add("records " + str(a + 1) + " and " + str(b + 1) + " repeat the key " +
                 fieldsText(h.fields, h.primaryKeyFields, db.record(a)) + " (a key violation)");
  }
}

void checkPrimaryIndex(FileSystem& fs, TableContext& t, Findings& findings) {
  const TableHeader& h = t.db.header;
  if (!h.isKeyed()) {
    if (t.family.primaryIndex)
      findings.warning(t.family.primaryIndex->filename().string(),
                       "a primary index beside the unkeyed table " + t.db.name + "; it is ignored");
    return;
  }
  if (!t.family.primaryIndex) {
    findings.warning(t.db.name, "keyed table without its primary index (.PX); the original engine does not open it");
    return;
  }
  BlockFile px;
  if (!readBlockFile(fs, *t.family.primaryIndex, px, findings)) return;
  if (px.header.fileType != header::FileType::PrimaryIndex) {
    findings.error(px.name,
                   "is not a primary index (file type " + str(static_cast<std::size_t>(px.header.fileType)) + ")");
    return;
  }
  checkRebuildFlags(px, findings);
  checkBlocks(px, findings, false);
  const std::size_t keySize = primaryKeySize(h);
  bool keyMatches =
      px.header.recordSize == keySize + index::kTrailerSize && px.header.fields.size() == h.primaryKeyFields;
  for (std::size_t i = 0; keyMatches && i < h.primaryKeyFields; ++i)
    keyMatches = px.header.fields[i].type == h.fields[i].type && px.header.fields[i].size == h.fields[i].size;
  if (!keyMatches) {
    findings.error(px.name,
                   "its key fields differ from the " + str(h.primaryKeyFields) + " key fields of " + t.db.name);
  } else {
    TreeWalk tree;
    walkTree(px, findings, tree);
    if (tree.usable) {
      compareLeaves(px.name, tree.leaves, t.db, keySize, findings);
      if (t.options.rebuild) {
        const auto leaves = leavesFor(t.db.recordsData(), h.recordSize, t.db.runs, keySize);
        compareRebuiltLeaves(px.name, leaves, tree.leaves, findings);
        rebuildTree(px, leaves, keySize, findings);
      }
    }
  }
  t.px = std::move(px);
}

void checkSecondaryIndex(FileSystem& fs, const TableContext& t, const SecondaryIndexFiles& files,
                         Findings& tableFindings) {
  const BlockFile& db = t.db;
  const TableHeader& h = db.header;
  BlockFile x;
  if (!readBlockFile(fs, files.dataFile, x, tableFindings)) return;
  const TableHeader& xh = x.header;
  if (!xh.isSecondaryData()) {
    tableFindings.error(x.name,
                        "is not a secondary index (file type " + str(static_cast<std::size_t>(xh.fileType)) + ")");
    return;
  }
  const bool maintained = xh.isMaintainedSecondary();
  // The original engine rebuilds a non-maintained index before it uses it.
  Findings findings = maintained ? tableFindings : tableFindings.softened("non-maintained index, rebuilt by its user");

  if (xh.familyStamp != h.familyStamp)
    findings.warning(x.name,
                     "family stamp (byte 2E) is " + str(xh.familyStamp) + ", the table's is " + str(h.familyStamp));
  if (maintained && h.isKeyed() && t.px && xh.linkByte != t.px->header.indexChangeCount)
    findings.error(x.name, "byte 2F is " + str(xh.linkByte) + ", byte 2C of " + t.px->name + " is " +
                               str(t.px->header.indexChangeCount) +
                               "; the original engine takes the index for out of date");
  checkRebuildFlags(x, findings);
  checkBlocks(x, findings, true);
  if (x.recordCount() != db.recordCount())
    findings.error(x.name,
                   str(x.recordCount()) + " entries for the " + str(db.recordCount()) + " records of " + db.name);

  std::optional<BlockFile> y;
  TreeWalk tree;
  if (!files.treeFile) {
    findings.error(x.name, "its tree file (.Y" + files.suffix.substr(1) + ") is missing");
  } else {
    y.emplace();
    if (!readBlockFile(fs, *files.treeFile, *y, findings)) {
      y.reset();
    } else if (y->header.fileType != treeTypeFor(xh.fileType)) {
      findings.error(y->name, "is not the tree file of " + x.name + " (file type " +
                                  str(static_cast<std::size_t>(y->header.fileType)) + ")");
      y.reset();
    } else if (y->header.recordSize - index::kTrailerSize > xh.recordSize) {
      findings.error(y->name, "its key is longer than the entries of " + x.name);
      y.reset();
    } else {
      checkRebuildFlags(*y, findings);
      checkBlocks(*y, findings, false);
      walkTree(*y, findings, tree);
      if (tree.usable) compareLeaves(y->name, tree.leaves, x, y->header.recordSize - index::kTrailerSize, findings);
    }
  }

  if (!maintained) return;
  if (!h.isKeyed()) {
    findings.warning(x.name, "a maintained index on an unkeyed table; its entries are not checked");
    return;
  }
  if (!t.collation) return;
  SecondaryLayout layout;
  if (Status s = SecondaryLayout::describe(h, xh, x.name, *t.collation, layout); !s.ok()) {
    findings.error(x.name, s.message());
    return;
  }
  if (y && y->header.recordSize - index::kTrailerSize != layout.hintOffset)
    findings.error(y->name, "its key of " + str(y->header.recordSize - index::kTrailerSize) + " bytes is not the " +
                                str(layout.hintOffset) + "-byte sort key of " + x.name);
  {
    Tally unordered(findings, Severity::Error, x.name, "more pairs of entries out of index order");
    for (std::size_t i = 1; i < x.recordCount(); ++i) {
      const int c = layout.order.compare(x.record(i - 1), x.record(i));
      if (c < 0) continue;
      unordered.add("entries " + str(i) + " and " + str(i + 1) +
                    (c == 0 ? " repeat their sort key" : " are out of index order"));
    }
  }
  const Bytes built = buildSecondaryRecords(layout, h, db.recordsData(), db.runs);
  HintCount hints;
  matchEntries(x, layout, built, db, hints, findings);
  if (t.options.rebuild) {
    hints = HintCount{};
    compareRebuiltEntries(x, layout, built, db, hints, findings);
    if (y && tree.usable) {
      const std::size_t keySize = y->header.recordSize - index::kTrailerSize;
      const auto leaves = leavesFor(x.recordsData(), xh.recordSize, x.runs, keySize);
      compareRebuiltLeaves(y->name, leaves, tree.leaves, findings);
      rebuildTree(*y, leaves, keySize, findings);
    }
  }
  hints.report(x.name, db.name, findings);
}

}  // namespace px::check
