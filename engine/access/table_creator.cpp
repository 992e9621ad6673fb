#include "engine/access/table_creator.h"

#include <algorithm>
#include <cctype>
#include <chrono>

#include "engine/storage/table_family.h"

namespace px {

namespace {

bool isAlnum(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; }
bool isHexDigit(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

// Extensions (lower case, without the dot) of the files a family may own.
bool isFamilyExtension(const std::string& ext) {
  static const char* const kFixed[] = {"db", "px", "mb", "val", "tv", "fam", "lck"};
  if (std::find(std::begin(kFixed), std::end(kFixed), ext) != std::end(kFixed)) return true;
  if (ext.size() != 3 || (ext[0] != 'x' && ext[0] != 'y')) return false;
  return (ext[1] == 'g' && isAlnum(ext[2])) || (isHexDigit(ext[1]) && isHexDigit(ext[2]));
}

Status checkName(const std::string& name) {
  if (name.empty()) return Status(rc::kInvalidParameter, "no table name given");
  // Characters no file name may hold on the systems the original engine runs on;
  // a dot would make the name's tail look like an extension.
  for (char c : name) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || std::string_view("<>:\"/\\|?*.").find(c) != std::string_view::npos)
      return Status(rc::kInvalidParameter, "table name \"" + name + "\" holds a character a table name may not have");
  }
  if (name.back() == ' ') return Status(rc::kInvalidParameter, "table name \"" + name + "\" ends with a blank");
  return Status::Ok();
}

Status checkNoFamily(FileSystem& fs, const std::filesystem::path& dir, const std::string& name) {
  if (!fs.isDirectory(dir)) return Status(rc::kDirectoryNotFound, dir.string() + ": directory does not exist");
  std::vector<std::string> names;
  PX_RETURN_IF_ERROR(fs.listDirectory(dir, names));
  const std::string stem = lowerAscii(name);
  for (const std::string& file : names) {
    const std::filesystem::path path(file);
    std::string ext = lowerAscii(path.extension().string());
    if (!ext.empty()) ext.erase(0, 1);
    if (lowerAscii(path.stem().string()) == stem && isFamilyExtension(ext))
      return Status(rc::kInvalidParameter,
                    (dir / name).string() + ": table already exists (" + file + " is in the directory)");
  }
  return Status::Ok();
}

struct PendingFile {
  std::string name;
  Bytes bytes;
};

}  // namespace

std::vector<std::string> familyFileNames(const std::string& name, const TableDefinition& definition) {
  std::vector<std::string> names;
  if (std::any_of(definition.fields.begin(), definition.fields.end(), [](const FieldDefinition& f) { return isBlobType(f.type); }))
    names.push_back(name + ".MB");
  for (std::size_t i = 0; i < definition.indexes.size(); ++i) {
    std::string suffix = secondaryIndexSuffix(definition, i);
    names.push_back(name + "." + suffix);
    suffix[0] = 'Y';
    names.push_back(name + "." + suffix);
  }
  if (definition.keyFields > 0) names.push_back(name + ".PX");
  names.push_back(name + ".DB");
  return names;
}

Status createTable(FileSystem& fs, const std::filesystem::path& dir, const std::string& name, const TableDefinition& definition) {
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(now).count();
  return createTable(fs, dir, name, definition, CreationStamps::at(static_cast<std::uint32_t>(seconds)));
}

Status createTable(FileSystem& fs, const std::filesystem::path& dir, const std::string& name, const TableDefinition& definition,
                   const CreationStamps& stamps) {
  PX_RETURN_IF_ERROR(checkName(name));
  PX_RETURN_IF_ERROR(validate(definition).withContext(name));
  PX_RETURN_IF_ERROR(checkNoFamily(fs, dir, name));

  // Every header is built before the first byte is written.
  const std::vector<std::string> names = familyFileNames(name, definition);
  std::vector<PendingFile> files;
  std::size_t next = 0;
  if (names[next] == name + ".MB") files.push_back({names[next++], buildBlobFileHeader()});
  for (std::size_t i = 0; i < definition.indexes.size(); ++i) {
    PendingFile x{names[next++], {}};
    PendingFile y{names[next++], {}};
    PX_RETURN_IF_ERROR(buildSecondaryHeaders(definition, i, name, stamps, x.bytes, y.bytes).withContext(x.name));
    files.push_back(std::move(x));
    files.push_back(std::move(y));
  }
  if (definition.keyFields > 0) {
    PendingFile px{names[next++], {}};
    PX_RETURN_IF_ERROR(buildPrimaryIndexHeader(definition, name, stamps, px.bytes).withContext(px.name));
    files.push_back(std::move(px));
  }
  PendingFile db{names[next++], {}};
  PX_RETURN_IF_ERROR(buildDataHeader(definition, name, stamps, db.bytes).withContext(db.name));
  files.push_back(std::move(db));

  std::size_t written = 0;
  Status status;
  for (; written < files.size() && status.ok(); ++written)
    status = fs.writeFile(dir / files[written].name, files[written].bytes, true);
  if (status.ok()) status = fs.syncDirectory(dir);
  if (!status.ok()) {
    // Leave no partial family behind: it would block the next attempt.
    for (std::size_t i = 0; i < written; ++i) (void)fs.remove(dir / files[i].name);
    (void)fs.syncDirectory(dir);
    return status.withContext("creating table " + (dir / name).string());
  }
  return Status::Ok();
}

}  // namespace px
