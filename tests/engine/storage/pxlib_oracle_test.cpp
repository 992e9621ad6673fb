// Cross-checks the engine's reader against pxlib, an independent Paradox reader,
// on every fixture table: the field list, the record count, the record bytes in
// chain order and every value of every record. pxlib serves as the oracle only
// where it is reliable; its known faults (INVENTORY.md) are allowed for below.
//
// Text: pxlib is given no target encoding, so it hands back the stored bytes,
// and those are compared with the engine's record bytes up to the first NUL.
// That keeps pxlib's own recoding out of the check. The engine's UTF-8 is then
// checked separately against iconv's conversion of the same bytes, which is an
// independent source for the code-page tables.
#include <gtest/gtest.h>
#include <iconv.h>
extern "C" {  // pxlib's header declares no C linkage itself
#include <paradox.h>
}

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <sstream>
#include <unistd.h>
#include <string>
#include <vector>

#include "engine/format/blob_format.h"
#include "engine/format/field_codec.h"
#include "engine/storage/table.h"
#include "tests/support/test_support.h"

namespace px {
namespace {

namespace fs = std::filesystem;

// pxlib reports through a callback; collect its messages rather than let it print.
void collectMessage(pxdoc_t*, int, const char* message, void* data) {
  static_cast<std::vector<std::string>*>(data)->push_back(message);
}

class PxlibTable {
 public:
  PxlibTable() : doc_(PX_new3(collectMessage, nullptr, nullptr, nullptr, &messages_)) {}
  ~PxlibTable() {
    if (open_) PX_close(doc_);
    PX_delete(doc_);
  }
  PxlibTable(const PxlibTable&) = delete;
  PxlibTable& operator=(const PxlibTable&) = delete;

  // pxlib prints its record-count warning for empty tables straight to stderr,
  // bypassing the handler, so stderr is pointed at /dev/null while it opens.
  bool open(const fs::path& path) {
    std::fflush(stderr);
    const int saved = ::dup(STDERR_FILENO);
    if (FILE* null = std::fopen("/dev/null", "w")) {
      ::dup2(::fileno(null), STDERR_FILENO);
      std::fclose(null);
    }
    open_ = PX_open_file(doc_, path.c_str()) == 0;
    std::fflush(stderr);
    if (saved >= 0) {
      ::dup2(saved, STDERR_FILENO);
      ::close(saved);
    }
    return open_;
  }
  pxdoc_t* doc() const { return doc_; }
  // Releases a value buffer that pxlib allocated.
  void release(char* p) const {
    if (p) doc_->free(doc_, p);
  }
  const std::vector<std::string>& messages() const { return messages_; }

 private:
  std::vector<std::string> messages_;  // before doc_: the handler writes here
  pxdoc_t* doc_;
  bool open_ = false;
};

// The engine's UTF-8 checked against iconv; nullopt when iconv rejects the bytes.
class IconvCheck {
 public:
  explicit IconvCheck(int codePage) {
    const std::string name = codePage == CodePage::kRoman8 ? "HP-ROMAN8" : "CP" + std::to_string(codePage);
    cd_ = iconv_open("UTF-8", name.c_str());
  }
  ~IconvCheck() {
    if (known()) iconv_close(cd_);
  }
  IconvCheck(const IconvCheck&) = delete;
  IconvCheck& operator=(const IconvCheck&) = delete;

  bool known() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  std::optional<std::string> toUtf8(std::string_view stored) const {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    std::string out(stored.size() * 4 + 4, '\0');
    char* in = const_cast<char*>(stored.data());
    std::size_t inLeft = stored.size();
    char* outp = out.data();
    std::size_t outLeft = out.size();
    if (iconv(cd_, &in, &inLeft, &outp, &outLeft) == static_cast<std::size_t>(-1)) return std::nullopt;
    out.resize(out.size() - outLeft);
    return out;
  }

 private:
  iconv_t cd_;
};

std::string hexBytes(const std::uint8_t* p, std::size_t n) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string s;
  for (std::size_t i = 0; i < n; ++i) {
    if (i) s += ' ';
    s += kDigits[p[i] >> 4];
    s += kDigits[p[i] & 0xF];
  }
  return s;
}

// pxlib writes every BCD nibble as '0' + nibble, so a nibble above 9 (the stray
// ones the original engine leaves behind ~20 significant digits) comes out as
// one of ":;<=>?". Up to there the texts must agree; from there on the engine's
// digits must all be zero, because it ends the digits at the first such nibble.
// pxlib also writes "1." for a value without decimals.
bool bcdAgrees(const std::string& ours, std::string theirs, int decimals) {
  if (decimals == 0 && !theirs.empty() && theirs.back() == '.') theirs.pop_back();
  if (ours.size() != theirs.size()) return false;
  for (std::size_t i = 0; i < ours.size(); ++i) {
    const char c = theirs[i];
    if ((c < '0' || c > '9') && c != '-' && c != '.')
      return std::all_of(ours.begin() + static_cast<long>(i), ours.end(), [](char d) { return d == '0' || d == '.'; });
    if (c != ours[i]) return false;
  }
  return true;
}

// Compares one table; each disagreement is one line of the returned list.
class TableComparison {
 public:
  TableComparison(const Table& ours, PxlibTable& theirs) : ours_(ours), px_(theirs), text_(ours.codePageNumber()) {}

  void compareFields() {
    const int count = PX_get_num_fields(px_.doc());
    ASSERT_EQ(static_cast<std::size_t>(count), ours_.fields().size());
    const pxfield_t* pf = PX_get_fields(px_.doc());
    int offset = 0;
    for (int i = 0; i < count; ++i) {
      const FieldDescriptor& f = ours_.fields()[static_cast<std::size_t>(i)];
      SCOPED_TRACE("field " + std::to_string(i + 1));
      EXPECT_EQ(f.name, pf[i].px_fname);
      EXPECT_EQ(static_cast<int>(f.type), static_cast<unsigned char>(pf[i].px_ftype));
      EXPECT_EQ(f.size, pf[i].px_flen);
      EXPECT_EQ(f.offset, offset);
      if (f.type == FieldType::BCD) {
        EXPECT_EQ(f.sizeByte, pf[i].px_fdc);
      }
      offset += pf[i].px_flen;
    }
    EXPECT_EQ(offset, PX_get_recordsize(px_.doc()));
  }

  void compareRecords() {
    ASSERT_EQ(static_cast<std::size_t>(PX_get_num_records(px_.doc())), ours_.recordCount());
    const std::size_t size = ours_.header().recordSize;
    ASSERT_EQ(static_cast<std::size_t>(PX_get_recordsize(px_.doc())), size);
    std::vector<char> buffer(size);
    for (std::size_t r = 0; r < ours_.recordCount(); ++r) {
      if (!PX_get_record(px_.doc(), static_cast<int>(r), buffer.data())) {
        mismatch(r, 0, "pxlib cannot read the record");
        continue;
      }
      if (std::memcmp(buffer.data(), ours_.record(r), size) != 0) {
        mismatch(r, 0, "record bytes differ (record order or block walk)");
        continue;
      }
      for (std::size_t f = 0; f < ours_.fields().size(); ++f) compareValue(r, f, buffer.data());
    }
  }

  const std::vector<std::string>& mismatches() const { return mismatches_; }

 private:
  void mismatch(std::size_t r, std::size_t f, const std::string& what) {
    std::ostringstream s;
    s << "record " << r << (f ? ", field " + ours_.fields()[f - 1].name : std::string()) << ": " << what;
    mismatches_.push_back(s.str());
  }

  void compareValue(std::size_t r, std::size_t field, char* pxRecord) {
    const FieldDescriptor& f = ours_.fields()[field];
    const std::uint8_t* raw = ours_.record(r) + f.offset;
    char* data = pxRecord + f.offset;
    const bool blank = codec::isBlank(raw, static_cast<std::size_t>(f.size));
    auto fail = [&](const std::string& what) { mismatch(r, field + 1, what + " [bytes " + hexBytes(raw, f.size) + "]"); };

    Value v;
    const Status s = ours_.readValue(r, field, v);
    if (!s.ok()) return fail("engine: " + s.message());

    switch (f.type) {
      case FieldType::Alpha: {
        char* text = nullptr;
        const int rc = PX_get_data_alpha(px_.doc(), data, f.size, &text);
        const std::string stored(reinterpret_cast<const char*>(raw), strnlen(reinterpret_cast<const char*>(raw), f.size));
        const std::string theirs = rc > 0 && text ? text : "";
        px_.release(text);
        if (rc < 0) return fail("pxlib cannot decode the text");
        if (stored != theirs) return fail("text bytes differ from pxlib's '" + theirs + "'");
        if (stored.empty() != isNull(v)) return fail("blank text and Null disagree");
        if (!stored.empty()) checkUtf8(stored, std::get<std::string>(v), fail);
        return;
      }
      case FieldType::Short: {
        short value = 0;
        const int rc = PX_get_data_short(px_.doc(), data, f.size, &value);
        if (rc == 0 ? !isNull(v) : v != Value(std::int32_t{value}))
          fail("pxlib: rc " + std::to_string(rc) + " value " + std::to_string(value));
        return;
      }
      case FieldType::Long: case FieldType::AutoInc: case FieldType::Date: case FieldType::Time: {
        // Date and Time come back as stored numbers: days with 0001-01-01 = 1 and
        // milliseconds, the engine's units too. pxlib returns blank as a value.
        long value = 0;
        const int rc = PX_get_data_long(px_.doc(), data, f.size, &value);
        if (isNull(v) && blank) return;
        if (rc <= 0 || v != Value(static_cast<std::int32_t>(value)))
          fail("pxlib: rc " + std::to_string(rc) + " value " + std::to_string(value));
        return;
      }
      case FieldType::Number: case FieldType::Currency: case FieldType::Timestamp: {
        double value = 0;
        const int rc = PX_get_data_double(px_.doc(), data, f.size, &value);
        if (rc == 0 ? !isNull(v)
                    : !std::holds_alternative<double>(v) ||
                          std::bit_cast<std::uint64_t>(std::get<double>(v)) != std::bit_cast<std::uint64_t>(value))
          fail("pxlib: rc " + std::to_string(rc) + " value " + std::to_string(value));
        return;
      }
      case FieldType::Logical: {
        char value = 0;
        const int rc = PX_get_data_byte(px_.doc(), data, f.size, &value);
        if (rc == 0 ? !isNull(v) : v != Value(value != 0)) fail("pxlib: rc " + std::to_string(rc));
        return;
      }
      case FieldType::BCD: {
        char* text = nullptr;
        const int rc = PX_get_data_bcd(px_.doc(), reinterpret_cast<unsigned char*>(data), f.sizeByte, &text);
        const std::string theirs = text ? text : "";
        px_.release(text);
        if (rc == 0 ? !isNull(v)
                    : !std::holds_alternative<Decimal>(v) || !bcdAgrees(std::get<Decimal>(v).text, theirs, f.sizeByte))
          fail("pxlib: rc " + std::to_string(rc) + " '" + theirs + "'");
        return;
      }
      case FieldType::Bytes: {
        char* bytes = nullptr;
        const int rc = PX_get_data_bytes(px_.doc(), data, f.size, &bytes);
        const Bytes theirs = rc > 0 && bytes ? Bytes(bytes, bytes + f.size) : Bytes();
        px_.release(bytes);
        if (rc == 0 ? !isNull(v) : v != Value(theirs)) fail("pxlib: rc " + std::to_string(rc));
        return;
      }
      default:
        compareBlob(r, field, data, v, fail);
    }
  }

  // Without the .MB (pxlib cannot open them), pxlib returns only values held in
  // the leader; for the others it still reports the length from the descriptor.
  template <typename Fail>
  void compareBlob(std::size_t r, std::size_t field, char* data, const Value& v, Fail& fail) {
    const FieldDescriptor& f = ours_.fields()[field];
    Bytes ours;
    const Status s = ours_.readBlobBytes(ours_.record(r), field, ours);
    if (!s.ok()) return fail("engine: " + s.message());
    int mod = 0, size = 0;
    char* bytes = nullptr;
    const int rc = PX_get_data_blob(px_.doc(), data, f.size, &mod, &size, &bytes);
    const Bytes theirs = rc > 0 && bytes ? Bytes(bytes, bytes + size) : Bytes();
    px_.release(bytes);
    const auto desc = blob::decodeDescriptor(ours_.record(r) + f.offset + f.size - kBlobDescriptorSize);
    if (rc == 0) {
      if (!ours.empty()) fail("pxlib finds no value");
    } else if (rc > 0) {
      if (ours != theirs) fail("in-record value differs from pxlib's " + std::to_string(size) + " bytes");
    } else if (static_cast<std::size_t>(size) != ours.size() || mod != desc.mod) {
      fail("pxlib reads length " + std::to_string(size) + " mod " + std::to_string(mod));
    }
    if (ours.empty() != isNull(v)) fail("empty blob and Null disagree");
    if (f.type == FieldType::Memo && !ours.empty())
      checkUtf8(std::string(ours.begin(), ours.end()), std::get<std::string>(v), fail);
  }

  template <typename Fail>
  void checkUtf8(const std::string& stored, const std::string& utf8, Fail& fail) {
    if (!text_.known()) return;
    const auto expected = text_.toUtf8(stored);
    if (!expected) return fail("iconv rejects text that the engine converted to '" + utf8 + "'");
    if (*expected != utf8) fail("UTF-8 '" + utf8 + "', iconv gives '" + *expected + "'");
  }

  const Table& ours_;
  PxlibTable& px_;
  IconvCheck text_;
  std::vector<std::string> mismatches_;
};

class PxlibOracle : public ::testing::TestWithParam<fs::path> {};

TEST_P(PxlibOracle, AgreesOnFieldsRecordsAndValues) {
  const fs::path& path = GetParam();
  PxlibTable theirs;
  ASSERT_TRUE(theirs.open(path)) << "pxlib cannot open " << path;
  const bool encrypted = theirs.doc()->px_head->px_encryption != 0;

  std::unique_ptr<Table> ours;
  const Status s = Table::open(localFileSystem(), path.parent_path(), path.filename().string(), ours);
  if (encrypted) {
    EXPECT_EQ(s.code(), rc::kEncrypted) << s.message();
    GTEST_SKIP() << "encrypted; the engine refuses it";
  }
  ASSERT_TRUE(s.ok()) << s.message();

  TableComparison comparison(*ours, theirs);
  comparison.compareFields();
  if (HasFatalFailure()) return;
  comparison.compareRecords();
  const auto& found = comparison.mismatches();
  std::string listed;
  for (std::size_t i = 0; i < found.size() && i < 20; ++i) listed += "\n  " + found[i];
  EXPECT_TRUE(found.empty()) << found.size() << " disagreements with pxlib:" << listed;
}

std::string testName(const ::testing::TestParamInfo<fs::path>& info) {
  std::string name = info.param.parent_path().filename().string() + "_" + info.param.filename().string();
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  return name;
}

INSTANTIATE_TEST_SUITE_P(Fixtures, PxlibOracle, ::testing::ValuesIn(test::allFixtureTables()), testName);

}  // namespace
}  // namespace px
