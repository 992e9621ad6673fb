#include "engine/storage/table_family.h"

#include <algorithm>
#include <cctype>

namespace px {

std::string lowerAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

namespace {

bool isHexDigit(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }
bool isAlnum(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; }

// "x02" / "xg0" (lower case) name a secondary index's data file; the tree file
// has the same suffix with 'y'.
bool isSecondarySuffix(const std::string& ext, char letter) {
  if (ext.size() == 3 && ext[0] == letter && ext[1] == 'g' && isAlnum(ext[2])) return true;
  return ext.size() == 3 && ext[0] == letter && isHexDigit(ext[1]) && isHexDigit(ext[2]);
}

}  // namespace

Status locateFamily(FileSystem& fs, const std::filesystem::path& directory, std::string_view tableName,
                    TableFamily& out) {
  out = TableFamily{};
  out.directory = directory;
  std::string wanted(tableName);
  if (wanted.empty()) return Status(rc::kInvalidParameter, "no table name given");
  if (std::filesystem::path(wanted).extension().empty()) wanted += ".db";
  const std::string wantedLower = lowerAscii(wanted);
  const std::string stemLower = lowerAscii(std::filesystem::path(wanted).stem().string());

  std::vector<std::string> names;
  PX_RETURN_IF_ERROR(fs.listDirectory(directory, names));
  std::sort(names.begin(), names.end());

  bool found = false;
  for (const auto& name : names) {
    if (lowerAscii(name) == wantedLower) {
      out.dataFile = directory / name;
      out.name = std::filesystem::path(name).stem().string();
      found = true;
      break;
    }
  }
  if (!found)
    return Status(rc::kFileNotFound, (directory / wanted).string() + ": table does not exist");

  for (const auto& name : names) {
    const std::filesystem::path path(name);
    if (lowerAscii(path.stem().string()) != stemLower || directory / name == out.dataFile) continue;
    std::string ext = lowerAscii(path.extension().string());
    if (!ext.empty()) ext.erase(0, 1);
    if (ext == "px") {
      out.primaryIndex = directory / name;
    } else if (ext == "mb") {
      out.blobFile = directory / name;
    } else if (ext == "val") {
      out.validityFile = directory / name;
    } else if (isSecondarySuffix(ext, 'x')) {
      SecondaryIndexFiles index;
      index.suffix = path.extension().string().substr(1);
      std::transform(index.suffix.begin(), index.suffix.end(), index.suffix.begin(),
                     [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
      index.dataFile = directory / name;
      const std::string treeExt = "y" + ext.substr(1);
      for (const auto& other : names) {
        const std::filesystem::path o(other);
        std::string oext = lowerAscii(o.extension().string());
        if (!oext.empty()) oext.erase(0, 1);
        if (lowerAscii(o.stem().string()) == stemLower && oext == treeExt) index.treeFile = directory / other;
      }
      out.secondaryIndexes.push_back(std::move(index));
    } else if (!isSecondarySuffix(ext, 'y')) {
      out.otherFiles.push_back(directory / name);
    }
  }
  std::sort(out.secondaryIndexes.begin(), out.secondaryIndexes.end(),
            [](const auto& a, const auto& b) { return a.suffix < b.suffix; });
  return Status::Ok();
}

}  // namespace px
