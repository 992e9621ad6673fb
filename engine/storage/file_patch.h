// The changes that turn a file into its new contents when most of it stays as
// it is (a table that only grew, a blob file with values appended): the
// stretches that differ, compared 4 KiB at a time, kept in a patch file and
// written into the file in place. A commit journals such a patch instead of a
// whole new copy of the file (commit_journal.cpp).
//
// The patch file's layout is file_patch_format.h. Applying a patch to the old
// file, or to a file it was partly applied to already, gives the new contents.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "engine/format/file_patch_format.h"
#include "engine/format/value.h"
#include "engine/io/file_system.h"
#include "engine/status.h"

namespace px {

namespace file_patch {
// Files below this size are rewritten whole; so is a file when its patch
// would carry more than half of the new contents.
inline constexpr std::size_t kMinimumSize = 64 * 1024;
// Files are compared this many bytes at a time.
inline constexpr std::size_t kUnit = 4096;
// A stretch longer than a range can hold is cut into ranges of this length,
// whole units below the format's limit.
inline constexpr std::uint64_t kLongestRange = kMaxRangeLength / kUnit * kUnit;
}  // namespace file_patch

struct PatchRange {
  std::uint64_t offset = 0;
  std::span<const std::uint8_t> bytes;
};

// A patch's header, and the header in front of each range's bytes.
Bytes filePatchHeader(std::uint64_t newSize, std::uint32_t rangeCount);
Bytes filePatchRangeHeader(std::uint64_t offset, std::uint32_t length);

// Compares `contents` with the file at `path`, reading it a piece at a time.
// `identical` tells whether the file already holds exactly `contents`;
// otherwise `patch` receives the patch that makes it so, or stays empty when
// a patch does not pay (no such file, a small file, a file longer than
// `contents`, too much changed).
Status makeFilePatch(FileSystem& fs, const std::filesystem::path& path, std::span<const std::uint8_t> contents,
                     Bytes& patch, bool& identical);

// The new size and the ranges of a patch, pointing into `patch`;
// rc::kFileCorrupt when it is not a well-formed patch.
Status readFilePatch(std::span<const std::uint8_t> patch, std::uint64_t& size, std::vector<PatchRange>& ranges);

// Writes the patch's ranges into `target` and syncs it.
Status applyFilePatch(FileSystem& fs, const std::filesystem::path& target, std::span<const std::uint8_t> patch);

}  // namespace px
