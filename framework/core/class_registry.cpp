#include "framework/core/class_registry.h"

#include <algorithm>

std::shared_ptr<const TPropertyInfo> TClassInfo::FindProperty(std::string_view property) const {
  for (const TClassInfo* info = this; info != nullptr; info = info->Parent()) {
    for (const auto& candidate : info->properties) {
      if (SameText(candidate->name, property)) return candidate;
    }
  }
  return nullptr;
}

const TMethod* TClassInfo::FindMethod(std::string_view method) const {
  for (const TClassInfo* info = this; info != nullptr; info = info->Parent()) {
    for (const auto& [name, handler] : info->methods) {
      if (SameText(name, method)) return &handler;
    }
  }
  return nullptr;
}

const std::pair<TFieldSetter, TFieldGetter>* TClassInfo::FindField(std::string_view field) const {
  for (const TClassInfo* info = this; info != nullptr; info = info->Parent()) {
    for (const auto& [name, accessors] : info->fields) {
      if (SameText(name, field)) return &accessors;
    }
  }
  return nullptr;
}

void TClassInfo::ClearFields(TComponent& root, TComponent* component) const {
  for (const TClassInfo* info = this; info != nullptr; info = info->Parent()) {
    for (const auto& [name, accessors] : info->fields) {
      if (accessors.second(root) == component) accessors.first(root, nullptr);
    }
  }
}

const TClassInfo* TClassInfo::Parent() const {
  if (parentType == type) return nullptr;
  return TClassRegistry::Instance().Find(parentType);
}

TClassRegistry& TClassRegistry::Instance() {
  static TClassRegistry registry = [] {
    TClassRegistry core;
    RegisterCoreClasses(core);
    return core;
  }();
  return registry;
}

TClassInfo& TClassRegistry::Add(std::unique_ptr<TClassInfo> info) {
  auto same = std::find_if(classes_.begin(), classes_.end(),
                           [&](const auto& existing) { return SameText(existing->name, info->name); });
  if (same != classes_.end()) {
    if (byType_[(*same)->type] == same->get()) byType_.erase((*same)->type);
    classes_.erase(same);
  }
  TClassInfo& added = *classes_.emplace_back(std::move(info));
  byType_[added.type] = &added;
  return added;
}

const TClassInfo* TClassRegistry::Find(std::string_view name) const {
  for (const auto& info : classes_) {
    if (SameText(info->name, name)) return info.get();
  }
  return nullptr;
}

const TClassInfo* TClassRegistry::Find(std::type_index type) const {
  auto it = byType_.find(type);
  return it == byType_.end() ? nullptr : it->second;
}

const TClassInfo& TClassRegistry::Get(std::string_view name) const {
  const TClassInfo* info = Find(name);
  if (info == nullptr) throw EReadError("Class " + std::string(name) + " not found");
  return *info;
}

const TClassInfo& ClassInfoOf(const TComponent& component) {
  const TClassInfo& info = TClassRegistry::Instance().Get(component.ClassName());
  if (!info.isInstance(component)) {
    throw EReadError("the class registered as " + info.name + " is not the class of " + component.Name());
  }
  return info;
}
