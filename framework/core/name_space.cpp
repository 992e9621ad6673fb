#include "framework/core/name_space.h"

#include <algorithm>
#include <utility>

#include "framework/core/component.h"
#include "framework/core/name_space_lock.h"
#include "framework/core/reference_binding.h"

namespace {

struct Roots {
  std::vector<std::pair<TComponent*, TRootKind>> entries;
};

Roots& TheRoots() {
  static Roots roots;
  return roots;
}

std::vector<TComponent*> OfKind(TRootKind kind) {
  TNameSpaceReadGuard guard;
  std::vector<TComponent*> found;
  for (const auto& [root, rootKind] : TheRoots().entries) {
    if (rootKind == kind) found.push_back(root);
  }
  return found;
}

}  // namespace

void RegisterRoot(TComponent* root, TRootKind kind) {
  TNameSpaceWriteGuard guard;
  TheRoots().entries.emplace_back(root, kind);
}

void UnregisterRoot(TComponent* root) {
  TNameSpaceWriteGuard guard;
  auto& entries = TheRoots().entries;
  entries.erase(std::remove_if(entries.begin(), entries.end(), [&](const auto& e) { return e.first == root; }),
                entries.end());
  DropPendingReferences(root);
}

std::vector<TComponent*> Windows() { return OfKind(TRootKind::Window); }
std::vector<TComponent*> DataModules() { return OfKind(TRootKind::DataModule); }

TComponent* FindGlobalComponent(std::string_view name) {
  TNameSpaceReadGuard guard;
  for (const auto& [root, kind] : TheRoots().entries) {
    if (kind == TRootKind::Window && !root->Reading() && SameText(root->Name(), name)) return root;
  }
  for (const auto& [root, kind] : TheRoots().entries) {
    if (kind == TRootKind::DataModule && SameText(root->Name(), name)) return root;
  }
  return nullptr;
}

void DestroyRoot(TComponent& root) {
  TNameSpaceWriteGuard guard;
  UnregisterRoot(&root);
  root.DestroyComponents();
}
