// The tests' pxlib reader in builds without pxlib (Windows): nothing opens.
#include "tests/support/pxlib_reader.h"

namespace px::test {

bool pxlibReads() { return false; }

PxlibTable readWithPxlib(const std::filesystem::path&) { return {}; }

}  // namespace px::test
