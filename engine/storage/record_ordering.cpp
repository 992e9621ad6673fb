#include "engine/storage/record_ordering.h"

namespace px {

bool RecordOrdering::Less::operator()(RecordId a, RecordId b) const {
  const auto& records = *self->records_;
  if (a == kProbe || b == kProbe) {
    const bool probeFirst = a == kProbe;
    const RecordId other = probeFirst ? b : a;
    const int c = self->order_.compare(self->probe_, records[other].data());
    // Equal keys: the probe stands before them, or after them with probeAfter_.
    if (c != 0) return probeFirst ? c < 0 : c > 0;
    return probeFirst ? !self->probeAfter_ : self->probeAfter_;
  }
  const int c = self->order_.compare(records[a].data(), records[b].data());
  return c != 0 ? c < 0 : a < b;
}

RecordOrdering::Set::const_iterator RecordOrdering::seek(const std::uint8_t* key, bool after) const {
  probe_ = key;
  probeAfter_ = after;
  auto it = ids_.lower_bound(kProbe);
  probe_ = nullptr;
  return it;
}

int RecordOrdering::compareToKey(RecordId id, const std::uint8_t* key) const {
  return order_.compare((*records_)[id].data(), key);
}

}  // namespace px
