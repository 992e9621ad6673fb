// Blob references of a table against its .MB (docs/paradox-format.md section 8):
// every value kept in the blob file resolves with equal length and mod
// number, no two references share a blob, and no stored blob is left without
// a reference.
#include <map>
#include <optional>
#include <utility>

#include "engine/format/blob_format.h"
#include "engine/format/field_codec.h"
#include "engine/storage/blob_file.h"
#include "engine/storage/table_check_internal.h"

namespace px::check {

namespace {

using Severity = CheckFinding::Severity;
using BlobRef = std::pair<std::uint32_t, std::uint8_t>;  // block offset, slot (0xFF: single block)

std::string str(std::size_t n) { return std::to_string(n); }

std::string where(std::size_t record, const FieldDescriptor& f) {
  return "record " + str(record + 1) + ", field " + f.name;
}

// Walks the .MB's blocks and reports the stored blobs that no record names.
void checkOrphans(const BlobFile& mb, const std::map<BlobRef, std::string>& refs, Findings& findings) {
  using namespace blob;
  std::size_t orphanBlocks = 0;
  std::size_t orphanBytes = 0;
  std::size_t orphanSlots = 0;
  std::string firstOrphans;
  Bytes unit;
  if (Status s = mb.readBytes(0, kBlockUnit, unit); !s.ok() || unit.size() < kBlockUnit) {
    findings.error(mb.name(), s.ok() ? "the header block is cut short" : s.message());
    return;
  }
  const std::size_t headerUnits = le16(unit.data() + kBlockUnits);
  const std::uint64_t size = mb.size();
  std::uint64_t offset = (headerUnits ? headerUnits : 1) * std::uint64_t{kBlockUnit};
  while (offset + kBlockUnit <= size) {
    if (Status s = mb.readBytes(offset, kBlockUnit, unit); !s.ok()) {
      findings.error(mb.name(), "block at offset " + str(offset) + ": " + s.message());
      break;
    }
    const std::uint8_t* block = unit.data();
    const std::size_t units = le16(block + kBlockUnits);
    if (units == 0) {
      findings.error(mb.name(), "block at offset " + str(offset) +
                                    " has a length of 0; the rest of the file "
                                    "cannot be walked");
      break;
    }
    const auto offset32 = static_cast<std::uint32_t>(offset);
    if (block[kBlockType] == kTypeSingle) {
      if (!refs.count({offset32, kSingleBlockIndex})) {
        if (orphanBlocks++ < Tally::kShown) firstOrphans += (firstOrphans.empty() ? "" : ", ") + str(offset);
        orphanBytes += le32(block + kSingleLength);
      }
    } else if (block[kBlockType] == kTypeSuballocated) {
      for (std::size_t slot = 0; slot < kSlotCount; ++slot) {
        const std::uint8_t* entry = block + kSlotTable + kSlotSize * slot;
        if (entry[kSlotChunkOffset] != 0 && !refs.count({offset32, static_cast<std::uint8_t>(slot)})) ++orphanSlots;
      }
    } else if (block[kBlockType] != kTypeFree) {
      findings.error(mb.name(), "block at offset " + str(offset) + " has the unknown type " + str(block[kBlockType]));
    }
    if (offset + units * kBlockUnit > size) {
      findings.error(mb.name(),
                     "block at offset " + str(offset) + " of " + str(units) + " units runs past the end of the file");
      break;
    }
    offset += units * kBlockUnit;
  }
  if (orphanBlocks)
    findings.warning(mb.name(), str(orphanBlocks) + " single-blob block(s) of " + str(orphanBytes) +
                                    " bytes in all hold no record's value (at " + firstOrphans +
                                    (orphanBlocks > Tally::kShown ? ", ...)" : ")"));
  if (orphanSlots) findings.warning(mb.name(), str(orphanSlots) + " sub-allocated slot(s) hold no record's value");
}

}  // namespace

void checkBlobs(FileSystem& fs, const TableContext& t, Findings& findings) {
  const BlockFile& db = t.db;
  std::optional<BlobFile> mb;
  if (t.family.blobFile) {
    mb.emplace();
    if (Status s = mb->load(fs, *t.family.blobFile); !s.ok()) {
      findings.error(t.family.blobFile->filename().string(), s.message());
      mb.reset();
    }
  }
  const std::string mbName = t.family.blobFile ? t.family.blobFile->filename().string() : db.name;
  std::map<BlobRef, std::string> refs;  // to the first record that names the blob
  Tally unresolved(findings, Severity::Error, db.name, "more blob values that do not resolve in " + mbName);
  Tally shared(findings, Severity::Error, db.name, "more blob values shared by two references");
  Tally noFile(findings, Severity::Error, db.name, "more blob values whose blob file is missing");
  Bytes value;
  for (std::size_t r = 0; r < db.recordCount(); ++r) {
    const std::uint8_t* record = db.record(r);
    for (const FieldDescriptor& f : db.header.fields) {
      if (!isBlobType(f.type)) continue;
      const std::uint8_t* p = record + f.offset;
      if (codec::isBlank(p, static_cast<std::size_t>(f.size))) continue;
      const std::size_t leader = static_cast<std::size_t>(f.size) - kBlobDescriptorSize;
      const blob::Descriptor desc = blob::decodeDescriptor(p + leader);
      if (desc.length <= leader) continue;  // the whole value sits in the record
      if (!mb) {
        noFile.add(where(r, f) + " keeps " + str(desc.length) + " bytes in the blob file, which is " +
                   (t.family.blobFile ? "unreadable" : "missing"));
        continue;
      }
      if (Status s = mb->read(desc, value); !s.ok()) {
        unresolved.add(where(r, f) + ": " + s.message());
        continue;
      }
      const BlobRef ref{desc.blockOffset, desc.index};
      const std::string name = where(r, f);
      auto [it, added] = refs.emplace(ref, name);
      if (!added)
        shared.add(name + " and " + it->second + " point at the same blob (offset " + str(desc.blockOffset) +
                   (desc.index == blob::kSingleBlockIndex ? "" : ", slot " + str(desc.index)) + ")");
    }
  }
  if (mb) checkOrphans(*mb, refs, findings);
}

}  // namespace px::check
