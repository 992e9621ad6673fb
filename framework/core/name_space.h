// The windows and data modules that exist, in order of creation. References
// between them are bound by these objects' names (reference_binding.h).
// Windows and data modules register themselves for their lifetime; every
// function here takes the name-space lock itself.
#pragma once

#include <string_view>
#include <vector>

class TComponent;

enum class TRootKind { Window, DataModule };

void RegisterRoot(TComponent* root, TRootKind kind);
// Also drops the pending references that the root's components made.
void UnregisterRoot(TComponent* root);

std::vector<TComponent*> Windows();
std::vector<TComponent*> DataModules();

// The window of that name that is not being read, else the data module of
// that name; names compared without regard to case. Null if neither exists.
TComponent* FindGlobalComponent(std::string_view name);

// The end of a window or module: under the name-space lock it leaves the
// name space, its pending references are dropped and its components are
// destroyed, the last created first. Its destructor calls this first.
void DestroyRoot(TComponent& root);
