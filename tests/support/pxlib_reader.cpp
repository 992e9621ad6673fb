// The tests' pxlib reader, in builds that have pxlib.
#include "tests/support/pxlib_reader.h"

extern "C" {  // pxlib's header declares no C linkage itself
#include <paradox.h>
}

namespace px::test {

bool pxlibReads() { return true; }

PxlibTable readWithPxlib(const std::filesystem::path& file) {
  PxlibTable table;
  pxdoc_t* doc = PX_new();
  if (PX_open_file(doc, file.c_str()) != 0) {
    PX_delete(doc);
    return table;
  }
  table.opened = true;
  table.records = PX_get_num_records(doc);
  const int count = PX_get_num_fields(doc);
  pxfield_t* pf = PX_get_fields(doc);
  for (int f = 0; f < count; ++f) table.fields.push_back({pf[f].px_fname, pf[f].px_ftype, pf[f].px_flen});
  std::vector<char> buffer(static_cast<std::size_t>(PX_get_recordsize(doc)));
  for (int r = 0; r < table.records; ++r) {
    if (!PX_get_record(doc, r, buffer.data())) break;
    table.recordBytes.emplace_back(buffer.begin(), buffer.end());
    std::map<std::string, std::string> row;
    int offset = 0;
    for (int f = 0; f < count; ++f) {
      char* data = buffer.data() + offset;
      if (pf[f].px_ftype == pxfAlpha) {
        char* text = nullptr;
        row[pf[f].px_fname] = PX_get_data_alpha(doc, data, pf[f].px_flen, &text) > 0 && text ? text : "";
        if (text) doc->free(doc, text);
      } else if (pf[f].px_ftype == pxfLong) {
        long value = 0;
        row[pf[f].px_fname] = PX_get_data_long(doc, data, pf[f].px_flen, &value) > 0 ? std::to_string(value) : "";
      }
      offset += pf[f].px_flen;
    }
    table.rows.push_back(std::move(row));
  }
  PX_close(doc);
  PX_delete(doc);
  return table;
}

}  // namespace px::test
