#include "engine/storage/family_images.h"

#include <algorithm>
#include <cstring>
#include <span>

#include "engine/format/block_format.h"
#include "engine/format/byte_order.h"
#include "engine/format/field_codec.h"
#include "engine/format/header_format.h"
#include "engine/storage/block_packer.h"
#include "engine/storage/index_builder.h"
#include "engine/storage/secondary_builder.h"

namespace px {

namespace {

// The i-th record in key order, as the packers ask for it.
struct RecordAt {
  const ImagePlan* plan;
  const std::uint8_t* operator()(std::size_t i) const { return plan->record(i); }
};
// The key fields of the i-th record, as the index builders ask for them.
struct KeyAt {
  const ImagePlan* plan;
  const std::uint8_t* operator()(std::size_t i) const { return plan->key(i); }
};

class PrimaryIndexImage {
 public:
  PrimaryIndexImage(const IndexTree& index, SharedImagePlan plan) : index_(&index), plan_(std::move(plan)) {}

  Status operator()(Bytes& storage, std::span<const std::uint8_t>& contents) const {
    const ImagePlan& plan = *plan_;
    TreeImage tree;
    PX_RETURN_IF_ERROR(buildTree(leavesWith(KeyAt{&plan}, plan.runs, index_->keySize()), index_->keySize(),
                                 index_->header().blockSize, index_->name(), tree));
    Bytes pxHeader = index_->rawHeader();
    pxHeader[header::kIndexChangeCount] = plan.primaryCounter;
    storage = assembleTreeFile(pxHeader, tree);
    contents = storage;
    return Status::Ok();
  }

 private:
  const IndexTree* index_;  // the .PX as read: its header, key size and block size
  SharedImagePlan plan_;
};

// The .X image makes the index's records and keeps them for the .Y image,
// which follows it and lets them go.
class SecondaryIndexImages {
 public:
  SecondaryIndexImages(const TableHeader& table, const SecondaryIndex& index, SecondaryLayout layout,
                       std::size_t perBlock, SharedImagePlan plan)
      : table_(table), index_(&index), layout_(std::move(layout)), perBlock_(perBlock), plan_(std::move(plan)) {}

  Status dataFile(Bytes& storage, std::span<const std::uint8_t>& contents) {
    const ImagePlan& plan = *plan_;
    const DataFile& was = index_->data;
    const TableHeader& xh = was.header();
    records_ = buildSecondaryRecords(layout_, table_, KeyAt{&plan}, plan.runs);
    changed_ = was.recordCount() * xh.recordSize != records_.size() ||
               (!records_.empty() && std::memcmp(was.record(0), records_.data(), records_.size()) != 0);
    Bytes xHeader = was.rawHeader();
    if (table_.isKeyed()) xHeader[header::kLinkByte] = plan.primaryCounter;
    if (changed_) xHeader[header::kChangeCount] = static_cast<std::uint8_t>(xHeader[header::kChangeCount] + plan.change);
    const std::size_t xSize = xh.recordSize;
    storage = packFile(xHeader, plan.ids.size(), xSize, xh.blockSize, perBlock_,
                       [this, xSize](std::size_t i) { return records_.data() + i * xSize; }, runs_);
    contents = storage;
    return Status::Ok();
  }

  Status treeFile(Bytes& storage, std::span<const std::uint8_t>& contents) {
    const IndexTree& y = *index_->tree;
    TreeImage tree;
    PX_RETURN_IF_ERROR(buildTree(leavesFor(records_.data(), index_->data.header().recordSize, runs_, y.keySize()),
                                 y.keySize(), y.header().blockSize, y.name(), tree));
    Bytes yHeader = y.rawHeader();
    if (changed_)
      yHeader[header::kIndexChangeCount] = static_cast<std::uint8_t>(yHeader[header::kIndexChangeCount] + plan_->change);
    Bytes().swap(records_);
    storage = assembleTreeFile(yHeader, tree);
    contents = storage;
    return Status::Ok();
  }

 private:
  TableHeader table_;
  const SecondaryIndex* index_;  // the .X records and the .Y as read
  SecondaryLayout layout_;
  std::size_t perBlock_;         // .X records to a block
  SharedImagePlan plan_;
  Bytes records_;                // the new .X records, from the .X image to the .Y image
  std::vector<BlockRun> runs_;   // and the blocks they fill
  bool changed_ = false;
};

class DataFileImage : public std::enable_shared_from_this<DataFileImage> {
 public:
  DataFileImage(const DataFile& base, SharedImagePlan plan, std::size_t perBlock, std::size_t unchangedBlocks)
      : table_(base.header()),
        rawHeader_(base.rawHeader()),
        plan_(std::move(plan)),
        perBlock_(perBlock),
        unchanged_(unchangedBlocks) {}

  Status whole(Bytes& storage, std::span<const std::uint8_t>& contents) const {
    std::vector<BlockRun> runs;
    storage = packFile(header(), plan_->ids.size(), table_.recordSize, table_.blockSize, perBlock_,
                       RecordAt{plan_.get()}, runs);
    contents = storage;
    return Status::Ok();
  }

  // The header, and the blocks from the first changed one on, made a piece
  // at a time as the commit asks for them.
  Status changes(std::uint64_t& newSize, std::vector<ChangedStretch>& stretches) {
    const std::size_t blocks = plan_->runs.size();
    packedHeader_ = packedHeader(header(), blocks, plan_->ids.size());
    newSize = table_.headerSize + static_cast<std::uint64_t>(blocks) * table_.blockSize;
    const std::uint64_t start = table_.headerSize + static_cast<std::uint64_t>(unchanged_) * table_.blockSize;
    ChangedStretch tail{start, newSize - start, {}, nullptr};
    tail.fill = [self = shared_from_this()](std::uint64_t from, std::span<std::uint8_t> out) {
      self->fillBlocks(from, out);
    };
    stretches = {ChangedStretch::of(0, packedHeader_)};
    if (tail.length > 0) stretches.push_back(std::move(tail));
    return Status::Ok();
  }

 private:
  // The header as read, with the change count moved; an auto-increment
  // field's counter must stay at or above every value in the column.
  Bytes header() const {
    Bytes out = rawHeader_;
    out[header::kChangeCount] = static_cast<std::uint8_t>(out[header::kChangeCount] + plan_->change);
    for (const FieldDescriptor& f : table_.fields) {
      if (f.type != FieldType::AutoInc) continue;
      std::uint32_t highest = le32(out.data() + header::kAutoInc);
      for (std::size_t i = 0; i < plan_->ids.size(); ++i)
        if (auto v = codec::decodeLong(plan_->key(i) + f.offset); v && *v > 0)
          highest = std::max(highest, static_cast<std::uint32_t>(*v));
      putLe32(out.data() + header::kAutoInc, highest);
    }
    return out;
  }

  // The bytes of the blocks after the unchanged ones, from `from` on.
  void fillBlocks(std::uint64_t from, std::span<std::uint8_t> out) const {
    const std::size_t count = plan_->ids.size();
    const std::uint32_t blockSize = table_.blockSize;
    Bytes scratch;
    for (std::size_t done = 0; done < out.size();) {
      const std::uint64_t at = from + done;
      const std::size_t b = unchanged_ + static_cast<std::size_t>(at / blockSize);
      const std::size_t within = static_cast<std::size_t>(at % blockSize);
      const std::size_t n = std::min<std::size_t>(blockSize - within, out.size() - done);
      if (within == 0 && n == blockSize) {
        packBlockInto(out.data() + done, b, count, table_.recordSize, blockSize, perBlock_, RecordAt{plan_.get()});
      } else {
        scratch.resize(blockSize);
        packBlockInto(scratch.data(), b, count, table_.recordSize, blockSize, perBlock_, RecordAt{plan_.get()});
        std::copy_n(scratch.data() + within, n, out.data() + done);
      }
      done += n;
    }
  }

  TableHeader table_;
  Bytes rawHeader_;       // the .DB's header as read
  SharedImagePlan plan_;
  std::size_t perBlock_;  // records to a block
  std::size_t unchanged_;
  Bytes packedHeader_;    // changes(): the new header, which its stretch points into
};

}  // namespace

PendingImage primaryIndexImage(const std::filesystem::path& path, const IndexTree& index, SharedImagePlan plan) {
  return {path, PrimaryIndexImage(index, std::move(plan))};
}

Status addSecondaryIndexImages(const TableHeader& table, const SecondaryIndex& index, const Collation& collation,
                               SharedImagePlan plan, std::vector<PendingImage>& images) {
  const TableHeader& xh = index.data.header();
  SecondaryLayout layout;
  PX_RETURN_IF_ERROR(SecondaryLayout::describe(table, xh, index.data.name(), collation, layout));
  const std::size_t perBlock = block::capacity(xh.blockSize, xh.recordSize);
  PX_RETURN_IF_ERROR(checkBlockLimit(plan->ids.size(), perBlock, index.data.name()));
  auto both = std::make_shared<SecondaryIndexImages>(table, index, std::move(layout), perBlock, std::move(plan));
  images.push_back({index.files.dataFile, [both](Bytes& storage, std::span<const std::uint8_t>& contents) {
                      return both->dataFile(storage, contents);
                    }});
  images.push_back({*index.files.treeFile, [both](Bytes& storage, std::span<const std::uint8_t>& contents) {
                      return both->treeFile(storage, contents);
                    }});
  return Status::Ok();
}

PendingImage dataFileImage(const std::filesystem::path& path, const DataFile& base, SharedImagePlan plan,
                           std::size_t perBlock, std::size_t unchangedBlocks, bool asChanges) {
  auto image = std::make_shared<DataFileImage>(base, std::move(plan), perBlock, unchangedBlocks);
  if (!asChanges) {
    return {path, [image](Bytes& storage, std::span<const std::uint8_t>& contents) {
              return image->whole(storage, contents);
            }};
  }
  return {path, nullptr, [image](std::uint64_t& newSize, std::vector<ChangedStretch>& stretches) {
            return image->changes(newSize, stretches);
          }};
}

PendingImage blobFileImage(const std::filesystem::path& path, const BlobFile& blobs) {
  const BlobFile* store = &blobs;
  if (!blobs.onDisk()) {
    return {path, [store](Bytes& storage, std::span<const std::uint8_t>& contents) {
              storage = store->contents();
              contents = storage;
              return Status::Ok();
            }};
  }
  return {path, nullptr, [store](std::uint64_t& newSize, std::vector<ChangedStretch>& stretches) {
            newSize = store->size();
            std::vector<PatchRange> ranges;
            PX_RETURN_IF_ERROR(store->changes(ranges));
            stretches.clear();
            for (const PatchRange& r : ranges) stretches.push_back(ChangedStretch::of(r.offset, r.bytes));
            return Status::Ok();
          }};
}

}  // namespace px
