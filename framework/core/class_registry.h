// The registry of component classes that stored descriptions may name. Each
// class registers itself once with a factory and a table of its properties,
// the handlers it offers to events and the members that hold its components;
// a class inherits the tables of its registered parent class.
//   RegisterComponentClass<TButton, TControl>("TButton")
//       .Text("Caption", &TButton::SetCaption)
//       .Event("OnClick", &TButton::SetOnClick);
// Registration belongs to start-up, before any description is read; the
// registry is not guarded for registration on several threads.
#pragma once

#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <type_traits>
#include <typeindex>
#include <utility>
#include <vector>

#include "framework/core/component.h"
#include "framework/core/events.h"
#include "framework/core/exceptions.h"
#include "framework/core/property_value.h"

enum class TPropertyKind { Value, Reference, Event };

struct TPropertyInfo {
  std::string name;
  TPropertyKind kind = TPropertyKind::Value;
  std::function<void(TComponent&, const TPropertyValue&)> setValue;  // Value
  std::function<void(TComponent&, TComponent*)> setReference;        // Reference
  std::function<TComponent*(TComponent&)> getReference;              // Reference
  std::function<void(TComponent&, TNotifyEvent)> setEvent;           // Event
};

// A handler of a root class, callable on an instance of that class.
using TMethod = std::function<void(TComponent& root, TComponent* sender)>;
// Stores `component` in (or, with null, clears) a member of `root`; throws
// EReadError for a component of the wrong class.
using TFieldSetter = std::function<void(TComponent& root, TComponent* component)>;
using TFieldGetter = std::function<TComponent*(TComponent& root)>;

class TClassInfo {
 public:
  std::string name;
  std::type_index type = typeid(void);
  std::type_index parentType = typeid(void);
  std::function<TComponent*(TComponent* owner)> factory;  // empty for abstract classes
  std::function<bool(const TComponent&)> isInstance;

  // Lookups without regard to case, through the parent classes.
  std::shared_ptr<const TPropertyInfo> FindProperty(std::string_view property) const;
  const TMethod* FindMethod(std::string_view method) const;
  // Null when no member of that name holds components.
  const std::pair<TFieldSetter, TFieldGetter>* FindField(std::string_view field) const;
  // Clears every member of `root` that holds `component`.
  void ClearFields(TComponent& root, TComponent* component) const;
  const TClassInfo* Parent() const;

  std::vector<std::shared_ptr<const TPropertyInfo>> properties;
  std::vector<std::pair<std::string, TMethod>> methods;
  std::vector<std::pair<std::string, std::pair<TFieldSetter, TFieldGetter>>> fields;
};

class TClassRegistry {
 public:
  static TClassRegistry& Instance();
  TClassRegistry(TClassRegistry&&) = default;
  // Replaces an earlier registration of the same name.
  TClassInfo& Add(std::unique_ptr<TClassInfo> info);
  const TClassInfo* Find(std::string_view name) const;
  const TClassInfo* Find(std::type_index type) const;
  // Throws EReadError "Class X not found".
  const TClassInfo& Get(std::string_view name) const;

 private:
  TClassRegistry() = default;
  std::vector<std::unique_ptr<TClassInfo>> classes_;
  std::map<std::type_index, TClassInfo*> byType_;
};

// The registered class of `component`, found by its ClassName(); throws
// EReadError when the class is not registered or the name does not fit.
const TClassInfo& ClassInfoOf(const TComponent& component);

template <class T>
class TClassBuilder {
 public:
  explicit TClassBuilder(TClassInfo& info) : info_(info) {}

  template <class S>
  TClassBuilder& Text(std::string name, S setter) {
    return Value(std::move(name), [setter](T& self, const TPropertyValue& v) { std::invoke(setter, self, ExpectText(v)); });
  }
  template <class S>
  TClassBuilder& Integer(std::string name, S setter) {
    return Value(std::move(name), [setter](T& self, const TPropertyValue& v) { std::invoke(setter, self, ExpectInteger(v)); });
  }
  template <class S>
  TClassBuilder& Boolean(std::string name, S setter) {
    return Value(std::move(name), [setter](T& self, const TPropertyValue& v) { std::invoke(setter, self, ExpectBoolean(v)); });
  }
  template <class S>
  TClassBuilder& Strings(std::string name, S setter) {
    return Value(std::move(name), [setter](T& self, const TPropertyValue& v) { std::invoke(setter, self, ExpectTextList(v)); });
  }
  template <class E, class S>
  TClassBuilder& Enum(std::string name, S setter, std::initializer_list<std::pair<const char*, E>> names) {
    std::vector<std::pair<std::string, E>> table(names.begin(), names.end());
    return Value(std::move(name), [setter, table](T& self, const TPropertyValue& v) {
      std::invoke(setter, self, Lookup(table, ExpectIdentifier(v)));
    });
  }
  template <class E, class S>
  TClassBuilder& Set(std::string name, S setter, std::initializer_list<std::pair<const char*, E>> names) {
    std::vector<std::pair<std::string, E>> table(names.begin(), names.end());
    return Value(std::move(name), [setter, table](T& self, const TPropertyValue& v) {
      std::set<E> members;
      for (const std::string& member : ExpectSet(v)) members.insert(Lookup(table, member));
      std::invoke(setter, self, members);
    });
  }
  // Any other value: the setter takes the parsed value as it stands.
  template <class S>
  TClassBuilder& Value(std::string name, S setter) {
    auto info = std::make_shared<TPropertyInfo>();
    info->name = std::move(name);
    info->setValue = [setter](TComponent& self, const TPropertyValue& v) { setter(static_cast<T&>(self), v); };
    info_.properties.push_back(std::move(info));
    return *this;
  }
  // A property holding a component of class R (or null).
  template <class R, class G, class S>
  TClassBuilder& Reference(std::string name, G getter, S setter) {
    auto info = std::make_shared<TPropertyInfo>();
    info->name = std::move(name);
    info->kind = TPropertyKind::Reference;
    info->setReference = [setter](TComponent& self, TComponent* target) {
      std::invoke(setter, static_cast<T&>(self), CheckedCast<R>(target));
    };
    info->getReference = [getter](TComponent& self) -> TComponent* {
      return std::invoke(getter, static_cast<T&>(self));
    };
    info_.properties.push_back(std::move(info));
    return *this;
  }
  template <class S>
  TClassBuilder& Event(std::string name, S setter) {
    auto info = std::make_shared<TPropertyInfo>();
    info->name = std::move(name);
    info->kind = TPropertyKind::Event;
    info->setEvent = [setter](TComponent& self, TNotifyEvent handler) {
      std::invoke(setter, static_cast<T&>(self), std::move(handler));
    };
    info_.properties.push_back(std::move(info));
    return *this;
  }
  // A handler that events in descriptions of this class may name.
  template <class Sender>
  TClassBuilder& Method(std::string name, void (T::*method)(Sender*)) {
    info_.methods.emplace_back(std::move(name), [method](TComponent& root, TComponent* sender) {
      (static_cast<T&>(root).*method)(dynamic_cast<Sender*>(sender));
    });
    return *this;
  }
  // A member that receives the component of that name when it is read, and
  // is cleared when that component goes away.
  template <class F>
  TClassBuilder& Field(std::string name, F* T::*member) {
    TFieldSetter set = [member](TComponent& root, TComponent* component) {
      static_cast<T&>(root).*member = CheckedCast<F>(component);
    };
    TFieldGetter get = [member](TComponent& root) -> TComponent* { return static_cast<T&>(root).*member; };
    info_.fields.emplace_back(std::move(name), std::make_pair(std::move(set), std::move(get)));
    return *this;
  }

 private:
  template <class E>
  static E Lookup(const std::vector<std::pair<std::string, E>>& table, const std::string& name) {
    for (const auto& [key, value] : table) {
      if (SameText(key, name)) return value;
    }
    std::string known;
    for (const auto& entry : table) known += (known.empty() ? "" : ", ") + entry.first;
    throw EReadError("'" + name + "' is none of " + known);
  }

  template <class R>
  static R* CheckedCast(TComponent* component) {
    if (component == nullptr) return nullptr;
    R* typed = dynamic_cast<R*>(component);
    if (typed == nullptr) {
      throw EReadError("the component " + component->Name() + " of class " + std::string(component->ClassName()) +
                       " does not fit here");
    }
    return typed;
  }

  TClassInfo& info_;
};

// Registers T under `name` with Parent as its registered parent class. A
// class constructible from an owner gets a factory; an abstract one does not.
template <class T, class Parent = TComponent>
TClassBuilder<T> RegisterComponentClass(TClassRegistry& registry, std::string name) {
  static_assert(std::is_base_of_v<TComponent, T> && std::is_base_of_v<Parent, T>);
  auto info = std::make_unique<TClassInfo>();
  info->name = std::move(name);
  info->type = typeid(T);
  info->parentType = typeid(Parent);
  if constexpr (!std::is_abstract_v<T> && std::is_constructible_v<T, TComponent*>) {
    info->factory = [](TComponent* owner) -> TComponent* { return new T(owner); };
  }
  info->isInstance = [](const TComponent& c) {
    if constexpr (std::is_same_v<T, TComponent>) {
      return true;
    } else {
      return dynamic_cast<const T*>(&c) != nullptr;
    }
  };
  return TClassBuilder<T>(registry.Add(std::move(info)));
}

template <class T, class Parent = TComponent>
TClassBuilder<T> RegisterComponentClass(std::string name) {
  return RegisterComponentClass<T, Parent>(TClassRegistry::Instance(), std::move(name));
}

// The framework's own classes (TComponent, TDataModule); the registry adds
// them when it is first used.
void RegisterCoreClasses(TClassRegistry& registry);
