#include "engine/io/file_system.h"

#include <algorithm>

namespace px {

namespace {
// "dir/" and "dir" name the same directory.
std::filesystem::path normalized(const std::filesystem::path& path) {
  auto p = path.lexically_normal();
  if (!p.has_filename() && p.has_parent_path()) p = p.parent_path();
  return p;
}
}  // namespace

void MemoryFileSystem::addFile(const std::filesystem::path& path, Bytes bytes) {
  files_[normalized(path)] = std::move(bytes);
}

Status MemoryFileSystem::readFile(const std::filesystem::path& path, Bytes& out) {
  auto it = files_.find(normalized(path));
  if (it == files_.end()) return Status(rc::kFileNotFound, path.string() + ": no such file");
  out = it->second;
  return Status::Ok();
}

Status MemoryFileSystem::readRange(const std::filesystem::path& path, std::uint64_t offset, std::size_t size,
                                   Bytes& out) {
  auto it = files_.find(normalized(path));
  if (it == files_.end()) return Status(rc::kFileNotFound, path.string() + ": no such file");
  const Bytes& bytes = it->second;
  const std::size_t start = static_cast<std::size_t>(std::min<std::uint64_t>(offset, bytes.size()));
  const std::size_t end = start + std::min(size, bytes.size() - start);
  out.assign(bytes.begin() + static_cast<std::ptrdiff_t>(start), bytes.begin() + static_cast<std::ptrdiff_t>(end));
  return Status::Ok();
}

Status MemoryFileSystem::fileSize(const std::filesystem::path& path, std::uint64_t& size) {
  auto it = files_.find(normalized(path));
  if (it == files_.end()) return Status(rc::kFileNotFound, path.string() + ": no such file");
  size = it->second.size();
  return Status::Ok();
}

Status MemoryFileSystem::listDirectory(const std::filesystem::path& dir, std::vector<std::string>& names) {
  names.clear();
  const auto wanted = normalized(dir);
  for (const auto& [path, bytes] : files_)
    if (path.parent_path() == wanted || (wanted == "." && !path.has_parent_path()))
      names.push_back(path.filename().string());
  return Status::Ok();
}

bool MemoryFileSystem::isDirectory(const std::filesystem::path& path) {
  const auto wanted = normalized(path);
  for (const auto& entry : files_)
    if (entry.first.parent_path() == wanted) return true;
  return false;
}

bool MemoryFileSystem::exists(const std::filesystem::path& path) {
  return files_.count(normalized(path)) != 0;
}

Status MemoryFileSystem::writeFile(const std::filesystem::path& path, std::span<const std::uint8_t> data, bool) {
  files_[normalized(path)] = Bytes(data.begin(), data.end());
  return Status::Ok();
}

Status MemoryFileSystem::writeRange(const std::filesystem::path& path, std::uint64_t offset,
                                    std::span<const std::uint8_t> data, bool) {
  auto it = files_.find(normalized(path));
  if (it == files_.end()) return Status(rc::kFileNotFound, path.string() + ": no such file");
  Bytes& bytes = it->second;
  const std::size_t start = static_cast<std::size_t>(offset);
  if (bytes.size() < start + data.size()) bytes.resize(start + data.size(), 0);
  std::copy(data.begin(), data.end(), bytes.begin() + static_cast<std::ptrdiff_t>(start));
  return Status::Ok();
}

Status MemoryFileSystem::rename(const std::filesystem::path& from, const std::filesystem::path& to) {
  auto it = files_.find(normalized(from));
  if (it == files_.end()) return Status(rc::kFileNotFound, from.string() + ": no such file");
  Bytes bytes = std::move(it->second);
  files_.erase(it);
  files_[normalized(to)] = std::move(bytes);
  return Status::Ok();
}

Status MemoryFileSystem::remove(const std::filesystem::path& path) {
  files_.erase(normalized(path));
  return Status::Ok();
}

Status MemoryFileSystem::syncDirectory(const std::filesystem::path&) { return Status::Ok(); }

}  // namespace px
