// A lock for many readers or one writer, which the thread that holds it may
// take again (as reader or writer) without blocking itself. It guards the
// process-wide name space of windows and modules while one is read, bound or
// destroyed. A thread holding only a read lock must not ask for the write lock.
#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

class TNameSpaceLock {
 public:
  void BeginRead();
  void EndRead();
  void BeginWrite();
  void EndWrite();

 private:
  std::mutex mutex_;
  std::condition_variable released_;
  std::thread::id writer_;
  int writeDepth_ = 0;  // nested holds of the writer, reads included
  int readers_ = 0;     // read holds of threads other than the writer
};

// The process-wide name-space lock.
TNameSpaceLock& GlobalNameSpace();

class TNameSpaceWriteGuard {
 public:
  TNameSpaceWriteGuard() { GlobalNameSpace().BeginWrite(); }
  ~TNameSpaceWriteGuard() { GlobalNameSpace().EndWrite(); }
  TNameSpaceWriteGuard(const TNameSpaceWriteGuard&) = delete;
  TNameSpaceWriteGuard& operator=(const TNameSpaceWriteGuard&) = delete;
};

class TNameSpaceReadGuard {
 public:
  TNameSpaceReadGuard() { GlobalNameSpace().BeginRead(); }
  ~TNameSpaceReadGuard() { GlobalNameSpace().EndRead(); }
  TNameSpaceReadGuard(const TNameSpaceReadGuard&) = delete;
  TNameSpaceReadGuard& operator=(const TNameSpaceReadGuard&) = delete;
};
