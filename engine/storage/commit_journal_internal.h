// What the files of the commit journal share: commit_journal.cpp (the
// commit), commit_journal_encoding.cpp (the journal's text and checksum),
// commit_recovery.cpp (recovery) and commit_stretches.cpp (images given as
// changed stretches). The model is at the top of commit_journal.cpp. Not for
// use outside these files.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string_view>
#include <vector>

#include "engine/io/file_system.h"
#include "engine/status.h"
#include "engine/storage/commit_journal.h"
#include "engine/storage/file_image.h"

namespace px::commit_internal {

// Journal names (commit_journal_encoding.cpp).
// A temporary's name: "<target>.pxnew".
bool isTemporaryName(std::string_view name);
// A plain file name: nothing that could reach outside the directory.
bool isSafeName(std::string_view name);

// Writes a patch entry's changes, kept in its temporary, into its target
// (commit_recovery.cpp).
Status applyPatchEntry(FileSystem& fs, const std::filesystem::path& dir, const CommitJournal::Entry& entry);

// Images given as changed stretches (commit_stretches.cpp).
// Writes the patch of `stretches` to `path`; returns its size and checksum.
Status writePatch(FileSystem& fs, const std::filesystem::path& path, std::uint64_t newSize,
                  const std::vector<ChangedStretch>& stretches, std::uint64_t& size, std::uint64_t& sum);
// Writes the whole new contents to `path`: the stretches, and between them
// what the target holds there now. Returns the size and checksum.
Status writeWhole(FileSystem& fs, const std::filesystem::path& target, const std::filesystem::path& path,
                  std::uint64_t newSize, const std::vector<ChangedStretch>& stretches, std::uint64_t& size,
                  std::uint64_t& sum);
// Writes stretches still in memory into their target and syncs it.
Status applyStretches(FileSystem& fs, const std::filesystem::path& target, const std::vector<ChangedStretch>& stretches);

}  // namespace px::commit_internal
