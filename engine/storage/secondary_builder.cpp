#include "engine/storage/secondary_builder.h"

#include <algorithm>
#include <cstring>
#include <numeric>

#include "engine/format/field_codec.h"
#include "engine/format/header_format.h"

namespace px {

Status SecondaryLayout::describe(const TableHeader& table, const TableHeader& index, const std::string& indexName,
                                 const Collation& collation, SecondaryLayout& out) {
  out = SecondaryLayout{};
  auto corrupt = [&](const std::string& what) {
    return Status(rc::kIndexCorrupt, indexName + ": " + what);
  };
  if (!index.isMaintainedSecondary() || !table.isKeyed())
    return Status(rc::kNotSupported, indexName + ": only maintained indexes of keyed tables are rebuilt");
  const int n = static_cast<int>(index.fields.size());
  const int k = table.primaryKeyFields;
  const int m = n - k - 1;
  if (m < 1) return corrupt("too few fields for an index with " + std::to_string(k) + " key fields");
  out.keyFields = k;
  out.caseInsensitive = (index.indexFlags & header::kIndexCaseInsensitive) != 0;
  std::vector<KeyOrder::Part> parts;
  for (int i = 0; i < m; ++i) {
    const std::uint16_t number = index.fields[static_cast<std::size_t>(i)].number;
    const int position = (number & ~header::kDescendingFieldBit) - 1;
    if (position < 0 || position >= static_cast<int>(table.fields.size()))
      return corrupt("indexes field " + std::to_string(position + 1) + ", which the table does not have");
    const FieldDescriptor& df = table.fields[static_cast<std::size_t>(position)];
    const FieldDescriptor& xf = index.fields[static_cast<std::size_t>(i)];
    if (df.type != xf.type || df.size != xf.size)
      return corrupt("field " + std::to_string(i + 1) + " differs from the table's field " + df.name);
    const bool desc = (number & header::kDescendingFieldBit) != 0;
    out.indexedFields.push_back(position);
    out.descending.push_back(desc);
    parts.push_back({xf.type, xf.offset, xf.size, desc, out.caseInsensitive});
  }
  for (int i = 0; i < k; ++i) {
    const FieldDescriptor& df = table.fields[static_cast<std::size_t>(i)];
    const FieldDescriptor& xf = index.fields[static_cast<std::size_t>(m + i)];
    if (df.type != xf.type || df.size != xf.size)
      return corrupt("key copy " + std::to_string(i + 1) + " differs from the table's key field " + df.name);
    // Ties between equal indexed values fall to the primary key, ascending.
    parts.push_back({xf.type, xf.offset, xf.size, false, false});
  }
  const FieldDescriptor& hint = index.fields.back();
  if (hint.type != FieldType::Short) return corrupt("the last field is not the block hint");
  out.hintOffset = static_cast<std::size_t>(hint.offset);
  out.recordSize = index.recordSize;
  out.order = KeyOrder(std::move(parts), &collation);
  out.collation = &collation;
  return Status::Ok();
}

KeyOrder SecondaryLayout::orderOnTableRecords(const TableHeader& table) const {
  std::vector<KeyOrder::Part> parts;
  for (std::size_t i = 0; i < indexedFields.size(); ++i) {
    const FieldDescriptor& f = table.fields[static_cast<std::size_t>(indexedFields[i])];
    parts.push_back({f.type, f.offset, f.size, descending[i], caseInsensitive});
  }
  for (int i = 0; i < keyFields; ++i) {
    const FieldDescriptor& f = table.fields[static_cast<std::size_t>(i)];
    parts.push_back({f.type, f.offset, f.size, false, false});
  }
  return KeyOrder(std::move(parts), collation);
}

Bytes buildSecondaryRecords(const SecondaryLayout& layout, const TableHeader& table, const std::uint8_t* records,
                            const std::vector<BlockRun>& runs) {
  return buildSecondaryRecords(
      layout, table, [&](std::size_t i) { return records + i * table.recordSize; }, runs);
}

Bytes buildSecondaryRecords(const SecondaryLayout& layout, const TableHeader& table,
                            const std::function<const std::uint8_t*(std::size_t)>& recordAt,
                            const std::vector<BlockRun>& runs) {
  std::size_t count = 0;
  for (const BlockRun& run : runs) count += run.count;
  const std::size_t size = layout.recordSize;
  Bytes entries(count * size);
  std::size_t at = 0;
  for (const BlockRun& run : runs) {
    for (std::uint32_t r = 0; r < run.count; ++r) {
      const std::uint8_t* rec = recordAt(static_cast<std::size_t>(run.firstRecord) + r);
      std::uint8_t* e = entries.data() + at * size;
      std::size_t off = 0;
      for (int position : layout.indexedFields) {
        const FieldDescriptor& f = table.fields[static_cast<std::size_t>(position)];
        std::memcpy(e + off, rec + f.offset, static_cast<std::size_t>(f.size));
        // A case-insensitive index stores its text upper-cased.
        if (layout.caseInsensitive && f.type == FieldType::Alpha)
          layout.collation->toUpper(e + off, static_cast<std::size_t>(f.size));
        off += static_cast<std::size_t>(f.size);
      }
      for (int i = 0; i < layout.keyFields; ++i) {
        const FieldDescriptor& f = table.fields[static_cast<std::size_t>(i)];
        std::memcpy(e + off, rec + f.offset, static_cast<std::size_t>(f.size));
        off += static_cast<std::size_t>(f.size);
      }
      codec::encodeShort(e + layout.hintOffset, static_cast<std::int16_t>(run.block));
      ++at;
    }
  }
  std::vector<std::uint32_t> order(count);
  std::iota(order.begin(), order.end(), 0u);
  std::stable_sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
    return layout.order.less(entries.data() + a * size, entries.data() + b * size);
  });
  Bytes sorted(count * size);
  for (std::size_t i = 0; i < count; ++i)
    std::memcpy(sorted.data() + i * size, entries.data() + static_cast<std::size_t>(order[i]) * size, size);
  return sorted;
}

}  // namespace px
