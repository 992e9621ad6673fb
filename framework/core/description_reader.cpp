#include "framework/core/description_reader.h"

#include <memory>
#include <string>
#include <vector>

#include "framework/core/class_registry.h"
#include "framework/core/component.h"
#include "framework/core/description_parser.h"
#include "framework/core/exceptions.h"
#include "framework/core/name_space_lock.h"
#include "framework/core/reference_binding.h"

namespace {

struct LocalReference {
  TComponent* instance;
  std::shared_ptr<const TPropertyInfo> property;
  std::string path;
  std::string where;  // source and line, for errors
};

}  // namespace

class TDescriptionReader::Session {
 public:
  Session(TComponent& root, std::string_view source) : root_(root), source_(source) {}

  void Run(const TDescriptionObject& description) {
    const TClassInfo& rootClass = ClassInfoOf(root_);
    if (!SameText(description.className, rootClass.name)) {
      Fail(description.line, "the description is of class " + description.className + ", the object of class " +
                                 rootClass.name);
    }
    rootClass_ = &rootClass;
    MarkRead(root_);
    try {
      if (root_.Name() != description.name) root_.SetName(description.name);
      ReadBody(root_, rootClass, description);
    } catch (...) {
      EndLoading();
      throw;
    }
    for (TComponent* component : read_) component->reading_ = false;
    try {
      BindLocalReferences();
      BindPendingReferences();
    } catch (...) {
      EndLoading();
      throw;
    }
    // Components first, in the order they were read; the root last.
    read_.push_back(read_.front());
    read_.erase(read_.begin());
    EndLoading();
    for (TComponent* component : read_) component->Loaded();
  }

 private:
  [[noreturn]] void Fail(int line, const std::string& what) const {
    throw EReadError(Where(line) + ": " + what);
  }

  std::string Where(int line) const { return std::string(source_) + ":" + std::to_string(line); }

  void MarkRead(TComponent& component) {
    component.loading_ = true;
    component.reading_ = true;
    read_.push_back(&component);
  }

  void EndLoading() {
    for (TComponent* component : read_) component->loading_ = component->reading_ = false;
  }

  void ReadBody(TComponent& object, const TClassInfo& cls, const TDescriptionObject& description) {
    for (const TDescriptionProperty& property : description.properties) SetProperty(object, cls, property);
    for (const TDescriptionObject& child : description.children) ReadChild(object, child);
  }

  void ReadChild(TComponent& enclosing, const TDescriptionObject& description) {
    const TClassInfo* cls = TClassRegistry::Instance().Find(description.className);
    if (cls == nullptr) Fail(description.line, "Class " + description.className + " not found");
    if (!cls->factory) Fail(description.line, "class " + cls->name + " cannot be created");
    TComponent* component = nullptr;
    try {
      component = cls->factory(&root_);
      MarkRead(*component);
      component->SetName(description.name);
      if (const auto* field = rootClass_->FindField(description.name)) field->first(root_, component);
      component->SetParentComponent(&enclosing);
    } catch (const Exception& e) {
      Fail(description.line, description.name + ": " + e.Message());
    }
    ReadBody(*component, *cls, description);
  }

  void SetProperty(TComponent& object, const TClassInfo& cls, const TDescriptionProperty& property) {
    std::shared_ptr<const TPropertyInfo> info = cls.FindProperty(property.name);
    if (info == nullptr) Fail(property.line, "class " + cls.name + " has no property " + property.name);
    const std::string subject = object.Name() + "." + info->name;
    try {
      switch (info->kind) {
        case TPropertyKind::Value:
          info->setValue(object, property.value);
          break;
        case TPropertyKind::Reference:
          references_.push_back({&object, info, ExpectIdentifier(property.value), Where(property.line)});
          break;
        case TPropertyKind::Event: {
          const std::string& handler = ExpectIdentifier(property.value);
          const TMethod* method = rootClass_->FindMethod(handler);
          if (method == nullptr) throw EReadError("class " + rootClass_->name + " has no handler " + handler);
          TComponent* root = &root_;
          info->setEvent(object, [root, method = *method](TComponent* sender) { method(*root, sender); });
          break;
        }
      }
    } catch (const Exception& e) {
      Fail(property.line, subject + ": " + e.Message());
    }
  }

  void BindLocalReferences() {
    for (const LocalReference& reference : references_) {
      TComponent* target = FindNestedComponent(&root_, reference.path);
      try {
        if (target != nullptr) {
          reference.property->setReference(*reference.instance, target);
        } else if (std::size_t dot = reference.path.find('.'); dot != std::string::npos) {
          AddPendingReference({&root_, reference.instance, reference.property, reference.path.substr(0, dot),
                               reference.path.substr(dot + 1)});
        }
      } catch (const Exception& e) {
        throw EReadError(reference.where + ": " + reference.instance->Name() + "." + reference.property->name + ": " +
                         e.Message());
      }
    }
  }

  TComponent& root_;
  std::string_view source_;
  const TClassInfo* rootClass_ = nullptr;
  std::vector<TComponent*> read_;  // the root first, then in the order created
  std::vector<LocalReference> references_;
};

void TDescriptionReader::Read(TComponent& root, std::string_view text, std::string_view source) {
  TDescriptionObject description = ParseDescription(text, source);
  TNameSpaceWriteGuard nameSpace;
  Session session(root, source);
  session.Run(description);
}
