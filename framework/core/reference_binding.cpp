#include "framework/core/reference_binding.h"

#include <algorithm>
#include <mutex>
#include <optional>

#include "framework/core/class_registry.h"
#include "framework/core/component.h"
#include "framework/core/name_space.h"
#include "framework/core/name_space_lock.h"

namespace {

struct PendingList {
  std::mutex mutex;
  std::vector<TPendingReference> references;
};

PendingList& Pending() {
  static PendingList list;
  return list;
}

enum class Decision { Bind, Stay, Drop };

// Decides about one reference (under the list's lock); sets *target to bind.
Decision Decide(const TPendingReference& reference, TComponent** target) {
  TComponent* module = FindGlobalComponent(reference.moduleName);
  if (module != nullptr) {
    if (module->Reading()) return Decision::Stay;
    *target = FindNestedComponent(module, reference.rest);
    return Decision::Bind;
  }
  if (reference.property->getReference(*reference.instance) != nullptr) return Decision::Drop;
  return Decision::Stay;
}

}  // namespace

TComponent* FindNestedComponent(TComponent* root, std::string_view path) {
  TComponent* current = root;
  while (current != nullptr) {
    std::size_t dot = path.find('.');
    current = current->FindComponent(path.substr(0, dot));
    if (dot == std::string_view::npos) break;
    path.remove_prefix(dot + 1);
  }
  return current;
}

void AddPendingReference(TPendingReference reference) {
  PendingList& list = Pending();
  std::lock_guard lock(list.mutex);
  list.references.push_back(std::move(reference));
}

void BindPendingReferences() {
  TNameSpaceReadGuard nameSpace;
  PendingList& list = Pending();
  std::size_t index = 0;
  for (;;) {
    // The setter runs outside the list's lock: it may reach other code that
    // adds or drops references.
    std::optional<TPendingReference> toBind;
    TComponent* target = nullptr;
    {
      std::lock_guard lock(list.mutex);
      while (index < list.references.size()) {
        Decision decision = Decide(list.references[index], &target);
        if (decision == Decision::Stay) {
          ++index;
          continue;
        }
        if (decision == Decision::Bind) toBind = std::move(list.references[index]);
        list.references.erase(list.references.begin() + static_cast<std::ptrdiff_t>(index));
        if (toBind) break;
      }
    }
    if (!toBind) return;
    try {
      toBind->property->setReference(*toBind->instance, target);
    } catch (const Exception& e) {
      throw EReadError(toBind->instance->Name() + "." + toBind->property->name + ": " + e.Message());
    }
  }
}

void DropPendingReferences(const TComponent* root) {
  PendingList& list = Pending();
  std::lock_guard lock(list.mutex);
  auto& refs = list.references;
  refs.erase(std::remove_if(refs.begin(), refs.end(), [&](const TPendingReference& r) { return r.root == root; }),
             refs.end());
}

void DropPendingReferencesOf(const TComponent* instance) {
  PendingList& list = Pending();
  std::lock_guard lock(list.mutex);
  auto& refs = list.references;
  refs.erase(std::remove_if(refs.begin(), refs.end(),
                            [&](const TPendingReference& r) { return r.instance == instance; }),
             refs.end());
}

std::vector<std::string> PendingReferenceNames() {
  PendingList& list = Pending();
  std::lock_guard lock(list.mutex);
  std::vector<std::string> names;
  for (const TPendingReference& r : list.references) {
    names.push_back(r.instance->Name() + "." + r.property->name + " -> " + r.moduleName + "." + r.rest);
  }
  return names;
}
