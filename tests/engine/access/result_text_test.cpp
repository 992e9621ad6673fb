// Result texts and the error stack that the binding turns into message lines.
#include "engine/access/result_text.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

namespace px {
namespace {

namespace fs = std::filesystem;

// Every code declared in result_codes.h, read from the header itself so that a
// code added later without a text fails here.
std::map<std::string, ResultCode> declaredCodes() {
  const fs::path header = fs::path(__FILE__).parent_path().parent_path().parent_path().parent_path() / "engine" /
                          "result_codes.h";
  std::ifstream in(header);
  EXPECT_TRUE(in.good()) << "cannot read " << header;
  std::stringstream text;
  text << in.rdbuf();
  const std::string source = text.str();
  const std::regex declaration(R"(inline\s+constexpr\s+ResultCode\s+(k\w+)\s*=\s*0x([0-9A-Fa-f]+)\s*;)");
  std::map<std::string, ResultCode> codes;
  for (std::sregex_iterator it(source.begin(), source.end(), declaration), end; it != end; ++it)
    codes[(*it)[1]] = static_cast<ResultCode>(std::stoul((*it)[2], nullptr, 16));
  return codes;
}

TEST(ResultText, EveryDeclaredCodeHasATextOfItsOwn) {
  const auto codes = declaredCodes();
  ASSERT_GE(codes.size(), 40u) << "the header's declarations were not recognised";
  ASSERT_EQ(codes.at("kAtEnd"), rc::kAtEnd);  // the parse reads the values right

  std::map<std::string_view, std::string> seen;  // text -> the code that has it
  for (const auto& [name, code] : codes) {
    const std::string_view text = resultText(code);
    EXPECT_FALSE(text.empty()) << name;
    EXPECT_NE(text, categoryText(categoryOf(code))) << name << " has only its category's text";
    const auto [it, fresh] = seen.emplace(text, name);
    EXPECT_TRUE(fresh) << name << " and " << it->second << " share the text '" << text << "'";
  }
}

TEST(ResultText, TextsThatUsersAndCallersSee) {
  EXPECT_EQ(resultText(0x2201), "At beginning of table");
  EXPECT_EQ(resultText(0x2202), "At end of table");
  EXPECT_EQ(resultText(0x2601), "Key violation");
  EXPECT_EQ(resultText(0x2902), "Insufficient table rights");
  EXPECT_EQ(resultText(0x2A06), "Engine not initialized");
  EXPECT_EQ(resultText(0x2A0B), "Table is read only");
  EXPECT_EQ(resultText(0x2F02), "Index is out of date");
  EXPECT_EQ(resultText(0x3302), "Blob has been modified");
  EXPECT_EQ(resultText(0x2108), "File or directory does not exist");
}

TEST(ResultText, UnknownCodesFallBackToTheirCategory) {
  EXPECT_EQ(resultText(0x28FE), categoryText(category::kLockConflict));
  EXPECT_EQ(resultText(0x23FE), categoryText(category::kDataCorrupt));
  EXPECT_NE(categoryText(category::kLockConflict), categoryText(category::kDataCorrupt));
  EXPECT_EQ(resultText(0x7F01), "Unknown engine error");
}

// Reads the stack as the binding does: from entry 1 until the code is 0.
std::vector<ErrorEntry> readLikeTheBinding(const ErrorStack& stack) {
  std::vector<ErrorEntry> out;
  for (std::size_t n = 1; stack.codeAt(n) != rc::kOk; ++n) {
    ErrorEntry e;
    EXPECT_TRUE(stack.entry(n, e));
    out.push_back(e);
  }
  return out;
}

TEST(ErrorStack, ReadFromOneUntilZeroGivesTheEntriesOutermostFirst) {
  ErrorStack stack;
  EXPECT_TRUE(readLikeTheBinding(stack).empty());

  stack.push(rc::kBlockChainCorrupt, 0, "file patient.db: block 12 chain broken");
  stack.pushOutermost({rc::kFileCorrupt, 0, "the table could not be opened"});
  stack.push(Status(rc::kReadFailed, "patient.db: short read"));
  stack.push(Status::Ok());  // nothing to report: no entry
  stack.push(rc::kReadFailed, 5, "");

  const auto entries = readLikeTheBinding(stack);
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(stack.size(), 4u);
  EXPECT_EQ(entries[0].text, "the table could not be opened");
  EXPECT_EQ(entries[1].code, rc::kBlockChainCorrupt);
  EXPECT_EQ(entries[1].text, "file patient.db: block 12 chain broken");
  EXPECT_EQ(entries[2].text, "patient.db: short read");
  EXPECT_EQ(entries[3].nativeError, 5);

  ErrorEntry e{rc::kKeyViolation, 7, "stale"};
  EXPECT_FALSE(stack.entry(0, e));  // 0 is the top-level result, not on the stack
  EXPECT_EQ(e.code, rc::kOk);
  e = ErrorEntry{rc::kKeyViolation, 7, "stale"};
  EXPECT_FALSE(stack.entry(5, e));
  EXPECT_EQ(e.code, rc::kOk);
  EXPECT_EQ(e.nativeError, 0);
  EXPECT_TRUE(e.text.empty());

  stack.clear();
  EXPECT_EQ(stack.codeAt(1), rc::kOk);
  EXPECT_TRUE(stack.empty());
}

}  // namespace
}  // namespace px
