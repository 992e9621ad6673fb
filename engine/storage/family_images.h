// The images of a table family's files that WritableTable::planImages hands a
// commit (file_image.h), each made only when the commit comes to write it:
// one small object per file, holding the plan that the images share and what
// it reads of the table. The table's records, its index files as read and its
// blob store must stay unchanged until the commit returns; the change
// counters move as docs/paradox-format.md sections 7.2 and 11.2 describe.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

#include "engine/format/collation.h"
#include "engine/format/table_header.h"
#include "engine/format/value.h"
#include "engine/status.h"
#include "engine/storage/blob_file.h"
#include "engine/storage/data_file.h"
#include "engine/storage/file_image.h"
#include "engine/storage/index_tree.h"
#include "engine/storage/table.h"
#include "engine/storage/table_records.h"

namespace px {

// What the images of one commit share: the table's records in key order, the
// .DB blocks they fill, and how far the change counters move. Each image is
// made from the records themselves, which the packed .DB holds byte for byte
// in these blocks: the indexes from the records' keys, the .DB blocks that are
// written from the whole records, which the table holds in memory for them.
struct ImagePlan {
  const TableRecords* records = nullptr;  // the table's records, by id
  std::vector<std::uint32_t> ids;         // in key order
  std::vector<BlockRun> runs;             // the .DB blocks the records fill
  std::uint8_t change = 0;                // what every moved counter moves by
  std::uint8_t primaryCounter = 0;        // the .PX's change count after the commit

  // The key fields (and indexed and auto-increment fields) of the i-th record in key order.
  const std::uint8_t* key(std::size_t i) const { return records->key(ids[i]); }
  // The whole i-th record in key order.
  const std::uint8_t* record(std::size_t i) const { return records->record(ids[i]); }
};
using SharedImagePlan = std::shared_ptr<const ImagePlan>;

// The .PX rebuilt over the first key of each .DB block.
PendingImage primaryIndexImage(const std::filesystem::path& path, const IndexTree& index, SharedImagePlan plan);

// The .X and .Y of a maintained secondary index, in that order: the .X
// records sorted anew, then the tree over them. Refuses (kTableFull) an .X
// that would need more blocks than a file can number.
Status addSecondaryIndexImages(const TableHeader& table, const SecondaryIndex& index, const Collation& collation,
                               SharedImagePlan plan, std::vector<PendingImage>& images);

// The .DB: `unchangedBlocks` leading blocks kept, the rest written, with the
// header's change count moved and its auto-increment counter raised to the
// greatest value in the column. As changes (the header and the blocks from
// the first changed one on) when `asChanges`, else as the whole file.
PendingImage dataFileImage(const std::filesystem::path& path, const DataFile& base, SharedImagePlan plan,
                           std::size_t perBlock, std::size_t unchangedBlocks, bool asChanges);

// The .MB: for a store on disk its changes (it only grows, but for the space
// of replaced values marked free), for one made in memory the whole file.
PendingImage blobFileImage(const std::filesystem::path& path, const BlobFile& blobs);

}  // namespace px
