// The binding to the table engine. Every engine call of the table access layer
// goes through here: the process-wide engine session, the conversion of a
// failing result into an EDBEngineError with the engine's texts, and the text
// translation between a table's character set and the program's (UTF-8).
// Used on the user-interface thread only, except the translation, which is
// guarded by one lock per direction.
#pragma once

#include <string>
#include <string_view>

#include "engine/access/cursor.h"
#include "engine/access/engine_session.h"
#include "engine/io/file_system.h"
#include "engine/status.h"
#include "tableaccess/db_errors.h"

namespace binding {

// The engine of this process. Created on first use with the local file system.
px::EngineSession& Engine();
// Puts a fresh engine on `fs` in place of the current one (which must not be
// started). Tests and the fault-injecting command line use it.
void UseFileSystem(px::FileSystem& fs);

// Whether the default session has started the engine; until then a failing
// result reads as a failed engine start.
bool SessionActive();
void SetSessionActive(bool active);

// Throws the EDBEngineError for a failing result; returns for success.
void Check(const px::Status& status);
// The exception for a failing result, built from the engine's texts and error
// stack: trimmed lines without repeats (letter case aside), joined by CR LF.
EDBEngineError ErrorFor(const px::Status& status);

// A fetch: the record, or at-beginning / at-end, which are outcomes, not
// errors; any other failure is returned as it is.
enum class FetchResult { Ok, AtBeginning, AtEnd, Error };
FetchResult Classify(const px::Status& status);

// Text of a table field between the table's character set and the program's.
std::string ToProgram(const px::WritableTable& table, std::string_view stored);
std::string ToTable(const px::WritableTable& table, std::string_view text);

}  // namespace binding
