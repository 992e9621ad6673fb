// The parts of NativeFile that are the same on every system: ownership and
// the one write loop that every write of the engine goes through.
#include "engine/io/native_file.h"

#include <utility>

namespace px {

NativeFile::~NativeFile() {
  if (isOpen()) (void)close();
}

NativeFile::NativeFile(NativeFile&& other) noexcept
    : path_(std::move(other.path_)), handle_(std::exchange(other.handle_, kClosed)) {}

NativeFile& NativeFile::operator=(NativeFile&& other) noexcept {
  if (this != &other) {
    if (isOpen()) (void)close();
    path_ = std::move(other.path_);
    handle_ = std::exchange(other.handle_, kClosed);
  }
  return *this;
}

Status NativeFile::writeAt(std::uint64_t offset, std::span<const std::uint8_t> data) {
  // A system may write less than asked (a signal, a pipe, a large request);
  // the rest follows at the offset reached.
  std::size_t done = 0;
  while (done < data.size()) {
    std::size_t written = 0;
    PX_RETURN_IF_ERROR(writeSome(offset + done, data.subspan(done), written));
    done += written;
  }
  return Status::Ok();
}

}  // namespace px
