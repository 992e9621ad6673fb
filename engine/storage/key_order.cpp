#include "engine/storage/key_order.h"

#include <cstring>
#include <string_view>

#include "engine/format/integer_text.h"

namespace px {

KeyOrder KeyOrder::primaryKey(const TableHeader& table, const Collation& collation) {
  std::vector<Part> parts;
  for (std::size_t i = 0; i < table.primaryKeyFields && i < table.fields.size(); ++i) {
    const FieldDescriptor& f = table.fields[i];
    parts.push_back({f.type, f.offset, f.size, false, false});
  }
  return KeyOrder(std::move(parts), &collation);
}

int KeyOrder::compare(const std::uint8_t* a, const std::uint8_t* b, bool integersDecided) const {
  for (const Part& part : parts_) {
    const std::uint8_t* pa = a + part.offset;
    const std::uint8_t* pb = b + part.offset;
    int c = 0;
    if (part.integerTextFirst && !(integersDecided && &part == &parts_.front())) {
      std::int32_t va = 0, vb = 0;
      const bool ia = parseIntegerText(std::string_view(reinterpret_cast<const char*>(pa), static_cast<std::size_t>(part.size)), va);
      const bool ib = parseIntegerText(std::string_view(reinterpret_cast<const char*>(pb), static_cast<std::size_t>(part.size)), vb);
      if (ia != ib) c = ia ? -1 : 1;
      else if (ia && va != vb) c = va < vb ? -1 : 1;
    }
    if (c != 0) {
    } else if (part.type == FieldType::Alpha && collation_) {
      const std::string_view sa(reinterpret_cast<const char*>(pa), static_cast<std::size_t>(part.size));
      const std::string_view sb(reinterpret_cast<const char*>(pb), static_cast<std::size_t>(part.size));
      c = part.caseInsensitive ? collation_->compareCaseInsensitive(sa, sb) : collation_->compare(sa, sb);
    } else {
      c = std::memcmp(pa, pb, static_cast<std::size_t>(part.size));
    }
    if (c != 0) return part.descending ? (c < 0 ? 1 : -1) : (c < 0 ? -1 : 1);
  }
  return 0;
}

KeyOrder KeyOrder::withIntegerTextFirst() const {
  KeyOrder order = *this;
  if (!order.parts_.empty() && order.parts_[0].type == FieldType::Alpha) order.parts_[0].integerTextFirst = true;
  return order;
}

}  // namespace px
