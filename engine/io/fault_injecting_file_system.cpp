#include "engine/io/fault_injecting_file_system.h"

namespace px {

namespace {
// A cut or a full disk leaves this much of a write behind: enough that a
// reader must notice the file is short, not merely absent.
std::span<const std::uint8_t> prefixOf(std::span<const std::uint8_t> data) { return data.first(data.size() / 2); }

// The failure of an operation that is struck but not killed.
Status struck(Fault fault, const std::string& what) {
  if (fault == Fault::DiskFull) return Status(rc::kDiskFull, what + ": simulated full disk");
  return Status(rc::kWriteFailed, what + ": simulated write error");
}
}  // namespace

void FaultInjectingFileSystem::failAt(std::uint64_t n, Fault fault) {
  failAt_ = n;
  fault_ = fault;
}

void FaultInjectingFileSystem::reset() {
  operations_ = 0;
  failAt_ = 0;
  dead_ = false;
  history_.clear();
}

FaultInjectingFileSystem::Verdict FaultInjectingFileSystem::next(std::string description) {
  ++operations_;
  history_.push_back(std::move(description));
  if (dead_) return Verdict::Dead;
  if (failAt_ == 0 || operations_ != failAt_) return Verdict::Pass;
  if (fault_ == Fault::Die) dead_ = true;
  return Verdict::Strike;
}

Status FaultInjectingFileSystem::crashed(const std::string& what) const {
  return Status(rc::kWriteFailed, what + ": simulated crash at write operation " + std::to_string(failAt_));
}

Status FaultInjectingFileSystem::readFile(const std::filesystem::path& path, Bytes& out) {
  return base_.readFile(path, out);
}

Status FaultInjectingFileSystem::readRange(const std::filesystem::path& path, std::uint64_t offset, std::size_t size,
                                           Bytes& out) {
  return base_.readRange(path, offset, size, out);
}

Status FaultInjectingFileSystem::listDirectory(const std::filesystem::path& dir, std::vector<std::string>& names) {
  return base_.listDirectory(dir, names);
}

bool FaultInjectingFileSystem::isDirectory(const std::filesystem::path& path) { return base_.isDirectory(path); }

bool FaultInjectingFileSystem::exists(const std::filesystem::path& path) { return base_.exists(path); }

Status FaultInjectingFileSystem::writeFile(const std::filesystem::path& path, std::span<const std::uint8_t> data,
                                           bool sync) {
  const std::string what = path.string();
  switch (next("write " + what)) {
    case Verdict::Pass:
      return base_.writeFile(path, data, sync);
    case Verdict::Dead:
      return crashed(what);
    case Verdict::Strike:
      break;
  }
  switch (fault_) {
    case Fault::Die:
      (void)base_.writeFile(path, prefixOf(data), false);
      return crashed(what);
    case Fault::DiskFull:
      (void)base_.writeFile(path, prefixOf(data), false);
      return struck(fault_, what);
    case Fault::IOError:
      break;
  }
  return struck(fault_, what);
}

Status FaultInjectingFileSystem::writeRange(const std::filesystem::path& path, std::uint64_t offset,
                                            std::span<const std::uint8_t> data, bool sync) {
  const std::string what = path.string() + " at " + std::to_string(offset);
  switch (next("write-range " + what)) {
    case Verdict::Pass:
      return base_.writeRange(path, offset, data, sync);
    case Verdict::Dead:
      return crashed(what);
    case Verdict::Strike:
      break;
  }
  switch (fault_) {
    case Fault::Die:
      (void)base_.writeRange(path, offset, prefixOf(data), false);
      return crashed(what);
    case Fault::DiskFull:
      (void)base_.writeRange(path, offset, prefixOf(data), false);
      return struck(fault_, what);
    case Fault::IOError:
      break;
  }
  return struck(fault_, what);
}

Status FaultInjectingFileSystem::rename(const std::filesystem::path& from, const std::filesystem::path& to) {
  const std::string what = "rename " + from.string() + " -> " + to.string();
  switch (next(what)) {
    case Verdict::Pass:
      return base_.rename(from, to);
    case Verdict::Dead:
      return crashed(what);
    case Verdict::Strike:
      break;
  }
  return fault_ == Fault::Die ? crashed(what) : struck(fault_, what);
}

Status FaultInjectingFileSystem::remove(const std::filesystem::path& path) {
  const std::string what = "remove " + path.string();
  switch (next(what)) {
    case Verdict::Pass:
      return base_.remove(path);
    case Verdict::Dead:
      return crashed(what);
    case Verdict::Strike:
      break;
  }
  return fault_ == Fault::Die ? crashed(what) : struck(fault_, what);
}

Status FaultInjectingFileSystem::syncDirectory(const std::filesystem::path& dir) {
  const std::string what = "sync " + dir.string();
  switch (next(what)) {
    case Verdict::Pass:
      return base_.syncDirectory(dir);
    case Verdict::Dead:
      return crashed(what);
    case Verdict::Strike:
      break;
  }
  return fault_ == Fault::Die ? crashed(what) : struck(fault_, what);
}

}  // namespace px
