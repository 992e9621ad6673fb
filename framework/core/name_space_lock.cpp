#include "framework/core/name_space_lock.h"

void TNameSpaceLock::BeginRead() {
  std::unique_lock lock(mutex_);
  if (writeDepth_ > 0 && writer_ == std::this_thread::get_id()) {
    ++writeDepth_;
    return;
  }
  released_.wait(lock, [&] { return writeDepth_ == 0; });
  ++readers_;
}

void TNameSpaceLock::EndRead() {
  std::unique_lock lock(mutex_);
  if (writeDepth_ > 0 && writer_ == std::this_thread::get_id()) {
    if (--writeDepth_ == 0) {
      writer_ = std::thread::id();
      released_.notify_all();
    }
    return;
  }
  if (--readers_ == 0) released_.notify_all();
}

void TNameSpaceLock::BeginWrite() {
  std::unique_lock lock(mutex_);
  if (writeDepth_ > 0 && writer_ == std::this_thread::get_id()) {
    ++writeDepth_;
    return;
  }
  released_.wait(lock, [&] { return writeDepth_ == 0 && readers_ == 0; });
  writer_ = std::this_thread::get_id();
  writeDepth_ = 1;
}

void TNameSpaceLock::EndWrite() { EndRead(); }

TNameSpaceLock& GlobalNameSpace() {
  static TNameSpaceLock lock;
  return lock;
}
