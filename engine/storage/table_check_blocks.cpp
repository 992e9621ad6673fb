// The check's own reading of block files: header, size, chain, free list and
// index trees, each problem reported where it is found and the walk carried
// on as far as the rest of the file still makes sense. Section numbers are
// those of docs/paradox-format.md.
#include <algorithm>
#include <cstring>

#include "engine/format/block_format.h"
#include "engine/format/header_format.h"
#include "engine/format/index_format.h"
#include "engine/storage/table_check_internal.h"

namespace px::check {

namespace {

// Files of level 4.x and older may come from the DOS engine, which leaves the
// unused tail of the last block unwritten (section 2.4).
constexpr std::uint8_t kLastDosEraVersion = 9;

std::string str(std::size_t n) { return std::to_string(n); }

// Records (or entries) that a block header announces; reports a bad value.
std::size_t blockCount(const BlockFile& file, std::uint32_t number, const block::BlockHeader& bh, Findings& findings) {
  const long size = file.header.recordSize;
  const long add = bh.addDataSize;
  if (add < -size || (add + size) % size != 0) {
    findings.error(file.name, "block " + str(number) + " has a record offset of " + std::to_string(add) +
                                  ", not a multiple of the record size " + str(file.header.recordSize));
    return 0;
  }
  const std::size_t count = static_cast<std::size_t>((add + size) / size);
  const std::size_t capacity = block::capacity(file.header.blockSize, file.header.recordSize);
  if (count > capacity) {
    findings.error(file.name, "block " + str(number) + " claims " + str(count) + " records, more than the " +
                                  str(capacity) + " that fit");
    return capacity;
  }
  return count;
}

void checkFileSize(const BlockFile& file, Findings& findings) {
  const TableHeader& h = file.header;
  const std::size_t expected = h.headerSize + static_cast<std::size_t>(h.fileBlocks) * h.blockSize;
  const std::size_t size = file.bytes.size();
  const bool dosEra = h.fileVersion <= kLastDosEraVersion;
  if (size < expected) {
    const std::size_t missing = expected - size;
    if (dosEra && missing < h.blockSize)
      findings.warning(file.name, "ends " + str(missing) +
                                      " bytes before the end of its last block (the DOS "
                                      "engine leaves the unused tail unwritten); the tail reads as zero");
    else
      findings.error(file.name, "has " + str(size) + " bytes; its header's " + str(h.fileBlocks) + " blocks of " +
                                    str(h.blockSize) + " bytes need " + str(expected));
  } else if (size > expected) {
    findings.add(dosEra ? CheckFinding::Severity::Warning : CheckFinding::Severity::Error, file.name,
                 "has " + str(size - expected) + " bytes more than its header's " + str(h.fileBlocks) + " blocks of " +
                     str(h.blockSize) + " bytes");
  }
  if (h.maxBlocks != h.fileBlocks)
    findings.warning(file.name, "header names " + str(h.maxBlocks) + " blocks at 0x3A but " + str(h.fileBlocks) +
                                    " at 0x0C (they are equal in every file the original engine wrote)");
}

void walkFreeList(BlockFile& file, std::vector<std::uint8_t>& state, Findings& findings) {
  constexpr std::uint8_t kFree = 2;
  const TableHeader& h = file.header;
  Bytes scratch(h.blockSize);
  std::uint32_t current = h.firstFreeBlock;
  while (current != 0) {
    if (current > file.blocksInFile || current > h.fileBlocks) {
      findings.error(file.name, "the free list reaches block " + str(current) + ", beyond the " +
                                    str(std::min<std::size_t>(file.blocksInFile, h.fileBlocks)) +
                                    " blocks of the file");
      return;
    }
    if (state[current] == kFree) {
      findings.error(file.name, "the free list runs in a circle at block " + str(current));
      return;
    }
    if (state[current] != 0) {
      findings.error(file.name, "block " + str(current) + " is both in the free list and in the block chain");
      return;
    }
    state[current] = kFree;
    const block::BlockHeader bh = block::decodeBlockHeader(file.block(current, scratch));
    if (bh.addDataSize != -static_cast<long>(h.recordSize))
      findings.error(file.name, "free block " + str(current) + " has a record offset of " +
                                    std::to_string(bh.addDataSize) + " instead of -" + str(h.recordSize) +
                                    " (no records)");
    current = bh.next;
  }
}

}  // namespace

const std::uint8_t* BlockFile::block(std::uint32_t number, Bytes& scratch) const {
  const std::size_t start = header.headerSize + static_cast<std::size_t>(number - 1) * header.blockSize;
  if (start + header.blockSize <= bytes.size()) return bytes.data() + start;
  scratch.assign(header.blockSize, 0);
  if (start < bytes.size()) std::memcpy(scratch.data(), bytes.data() + start, bytes.size() - start);
  return scratch.data();
}

bool readBlockFile(FileSystem& fs, const std::filesystem::path& path, BlockFile& out, Findings& findings) {
  Bytes bytes;
  if (Status s = fs.readFile(path, bytes); !s.ok()) {
    findings.error(path.filename().string(), "cannot be read: " + s.message());
    return false;
  }
  return parseBlockFile(path, std::move(bytes), out, findings);
}

bool parseBlockFile(const std::filesystem::path& path, Bytes bytes, BlockFile& out, Findings& findings) {
  out = BlockFile{};
  out.path = path;
  out.name = path.filename().string();
  out.bytes = std::move(bytes);
  if (Status s = decodeTableHeader(out.bytes, out.name, out.header); !s.ok()) {
    findings.error(out.name, s.message());
    return false;
  }
  const TableHeader& h = out.header;
  if (out.bytes.size() > h.headerSize)
    out.blocksInFile = (out.bytes.size() - h.headerSize + h.blockSize - 1) / h.blockSize;
  return true;
}

void checkBlocks(BlockFile& file, Findings& findings, bool dataBlocks) {
  constexpr std::uint8_t kChain = 1;
  const TableHeader& h = file.header;
  checkFileSize(file, findings);
  file.runs.clear();
  file.records.clear();
  std::vector<std::uint8_t> state(std::max<std::size_t>(file.blocksInFile, h.fileBlocks) + 1, 0);

  if (h.firstBlock == 0) {
    if (h.numRecords != 0 || h.usedBlocks != 0 || h.lastBlock != 0)
      findings.error(file.name, "no first block, but the header counts " + str(h.numRecords) + " records in " +
                                    str(h.usedBlocks) + " blocks ending at block " + str(h.lastBlock));
  } else {
    Bytes scratch(h.blockSize);
    std::uint32_t current = h.firstBlock;
    std::uint32_t previous = 0;
    std::size_t total = 0;
    bool broken = false;
    while (current != 0) {
      if (current > file.blocksInFile || current > h.fileBlocks) {
        findings.error(file.name, "the block chain reaches block " + str(current) + ", beyond the " +
                                      str(std::min<std::size_t>(file.blocksInFile, h.fileBlocks)) +
                                      " blocks of the file");
        broken = true;
        break;
      }
      if (state[current] == kChain) {
        findings.error(file.name, "the block chain runs in a circle: block " + str(current) + " appears twice");
        broken = true;
        break;
      }
      state[current] = kChain;
      const std::uint8_t* bytes = file.block(current, scratch);
      const block::BlockHeader bh = block::decodeBlockHeader(bytes);
      if (bh.prev != previous)
        findings.error(file.name, "block " + str(current) + " links back to block " + str(bh.prev) + " instead of " +
                                      str(previous));
      const std::size_t count = blockCount(file, current, bh, findings);
      file.runs.push_back(
          {static_cast<std::uint16_t>(current), static_cast<std::uint32_t>(total), static_cast<std::uint32_t>(count)});
      file.records.insert(file.records.end(), bytes + block::kHeaderSize,
                          bytes + block::kHeaderSize + count * h.recordSize);
      total += count;
      previous = current;
      current = bh.next;
    }
    if (!broken) {
      if (file.runs.size() != h.usedBlocks)
        findings.error(file.name,
                       str(file.runs.size()) + " blocks in the chain, " + str(h.usedBlocks) + " in the header");
      if (previous != h.lastBlock)
        findings.error(file.name, "the chain ends at block " + str(previous) + ", the header names block " +
                                      str(h.lastBlock) + " as the last");
      if (total != h.numRecords)
        findings.error(file.name, str(total) + " records in the chain, " + str(h.numRecords) + " in the header");
    }
    if (dataBlocks && file.runs.size() > 1) {
      for (const BlockRun& run : file.runs)
        if (run.count == 0)
          findings.warning(file.name, "block " + str(run.block) + " is in the chain but holds no record");
    }
  }

  walkFreeList(file, state, findings);
  const std::size_t present = std::min<std::size_t>(file.blocksInFile, h.fileBlocks);
  std::vector<std::uint32_t> lost;
  for (std::uint32_t b = 1; b <= present; ++b)
    if (state[b] == 0) lost.push_back(b);
  if (!lost.empty()) {
    std::string list;
    for (std::size_t i = 0; i < lost.size() && i < Tally::kShown; ++i) list += (i ? ", " : "") + str(lost[i]);
    if (lost.size() > Tally::kShown) list += ", ...";
    findings.warning(file.name,
                     str(lost.size()) + " block(s) neither in the chain nor in the free list (" + list + ")");
  }
  file.inChain.assign(state.size(), false);
  for (std::size_t b = 0; b < state.size(); ++b) file.inChain[b] = state[b] == kChain;
}

void checkRebuildFlags(const BlockFile& file, Findings& findings) {
  struct Flag {
    std::size_t offset;
    const char* name;
  };
  constexpr Flag kFlags[] = {
      {header::kModifiedFlags1, "14"}, {header::kModifiedFlags2, "2A"}, {header::kIndexUpdateRequired, "4F"}};
  for (const Flag& flag : kFlags) {
    const std::uint8_t value = file.bytes[flag.offset];
    if (value != 0)
      findings.error(file.name, std::string("header byte ") + flag.name + " is " + str(value) +
                                    ", not 0 (marks the file as needing a rebuild)");
  }
}

namespace {

class TreeWalker {
 public:
  TreeWalker(const BlockFile& file, Findings& findings, TreeWalk& out)
      : file_(file), findings_(findings), out_(out), seen_(file.blocksInFile + 1, false) {}

  // Walks the subtree at `number`; false when it cannot be walked. `count`
  // gets the records below it and `firstKey` its first key.
  bool visit(std::uint32_t number, int level, std::uint32_t& count, Bytes& firstKey) {
    const TableHeader& h = file_.header;
    auto corrupt = [&](const std::string& what) {
      findings_.error(file_.name, "index block " + std::to_string(number) + ": " + what);
      return false;
    };
    if (number == 0 || number > file_.blocksInFile) return corrupt("no such block in the file");
    if (seen_[number]) return corrupt("reached twice in the tree");
    seen_[number] = true;
    if (!file_.blockInChain(number)) corrupt("belongs to the tree but not to the block chain");
    Bytes scratch;
    const std::uint8_t* bytes = file_.block(number, scratch);
    const Bytes copy(bytes, bytes + h.blockSize);  // children reuse the scratch buffer
    const std::size_t entries = blockCount(file_, number, block::decodeBlockHeader(copy.data()), findings_);
    if (entries == 0 && level > 1) return corrupt("an inner block without entries");
    const std::size_t keySize = h.recordSize - index::kTrailerSize;
    total_ += entries;
    count = 0;
    bool ok = true;
    for (std::size_t i = 0; i < entries; ++i) {
      const std::uint8_t* e = copy.data() + block::kHeaderSize + i * h.recordSize;
      TreeEntry entry{Bytes(e, e + keySize), index::decodeTreeWord(e + keySize + index::kTrailerBlock),
                      index::decodeTreeWord(e + keySize + index::kTrailerCount)};
      if (i == 0) firstKey = entry.key;
      count += entry.count;
      if (level == 1) {
        out_.leaves.push_back(std::move(entry));
        continue;
      }
      std::uint32_t below = 0;
      Bytes childKey;
      if (!visit(entry.block, level - 1, below, childKey)) {
        ok = false;
        continue;
      }
      if (below != entry.count)
        corrupt("entry " + std::to_string(i + 1) + " counts " + std::to_string(entry.count) +
                " records, its child block " + std::to_string(entry.block) + " holds " + std::to_string(below));
      if (childKey != entry.key)
        corrupt("entry " + std::to_string(i + 1) + " does not hold the first key of its child block " +
                std::to_string(entry.block));
    }
    return ok;
  }

  std::size_t total() const { return total_; }

 private:
  const BlockFile& file_;
  Findings& findings_;
  TreeWalk& out_;
  std::vector<bool> seen_;
  std::size_t total_ = 0;
};

}  // namespace

void walkTree(const BlockFile& file, Findings& findings, TreeWalk& out) {
  out = TreeWalk{};
  const TableHeader& h = file.header;
  if (h.recordSize <= index::kTrailerSize) {
    findings.error(file.name, "entries of " + str(h.recordSize) + " bytes hold no key");
    return;
  }
  if (h.indexLevels == 0) {
    if (h.numRecords != 0) findings.error(file.name, "no tree levels, but " + str(h.numRecords) + " entries");
    out.usable = h.numRecords == 0;
    return;
  }
  TreeWalker walker(file, findings, out);
  std::uint32_t count = 0;
  Bytes firstKey;
  out.usable = walker.visit(h.indexRoot, h.indexLevels, count, firstKey);
  if (out.usable && walker.total() != h.numRecords)
    findings.error(file.name, str(walker.total()) + " entries in the tree (" + str(h.indexLevels) +
                                  " levels from root block " + str(h.indexRoot) + "), " + str(h.numRecords) +
                                  " in the header");
}

void compareLeaves(const std::string& treeName, const std::vector<TreeEntry>& leaves, const BlockFile& data,
                   std::size_t keySize, Findings& findings) {
  std::vector<const BlockRun*> blocks;
  for (const BlockRun& run : data.runs)
    if (run.count > 0) blocks.push_back(&run);
  if (leaves.size() != blocks.size())
    findings.error(treeName, str(leaves.size()) + " leaf entries for the " + str(blocks.size()) +
                                 " non-empty blocks of " + data.name);
  Tally mismatches(findings, CheckFinding::Severity::Error, treeName,
                   "more leaf entries that differ from " + data.name);
  for (std::size_t i = 0; i < std::min(leaves.size(), blocks.size()); ++i) {
    const TreeEntry& e = leaves[i];
    const BlockRun& run = *blocks[i];
    if (e.block != run.block || e.count != run.count) {
      mismatches.add("leaf entry " + str(i + 1) + " names block " + str(e.block) + " with " + str(e.count) +
                     " records; block " + str(i + 1) + " of the chain of " + data.name + " is block " + str(run.block) +
                     " with " + str(run.count));
    } else if (e.key.size() != keySize || keySize > data.header.recordSize ||
               std::memcmp(e.key.data(), data.record(run.firstRecord), keySize) != 0) {
      mismatches.add("leaf entry " + str(i + 1) + " does not hold the first key of block " + str(run.block) + " of " +
                     data.name);
    }
  }
}

}  // namespace px::check
