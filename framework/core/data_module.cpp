#include "framework/core/data_module.h"

#include "framework/core/class_registry.h"
#include "framework/core/custom_form.h"
#include "framework/core/description_reader.h"
#include "framework/core/handler_boundary.h"
#include "framework/core/name_space.h"
#include "framework/core/reference_binding.h"

TDataModule::TDataModule(TComponent* owner) : TComponent(owner) { RegisterRoot(this, TRootKind::DataModule); }

TDataModule::~TDataModule() {
  BeginDestroy();
  DestroyRoot(*this);
}

void TDataModule::ReadDescription(std::string_view text, std::string_view source) {
  TDescriptionReader::Read(*this, text, source);
  if (onCreate_) CallHandler(this, [this] { onCreate_(this); });
}

void TDataModule::Notification(TComponent* component, TOperation operation) {
  if (operation == TOperation::opRemove && component != nullptr && component->Owner() == this) {
    if (const TClassInfo* info = TClassRegistry::Instance().Find(ClassName())) info->ClearFields(*this, component);
    DropPendingReferencesOf(component);
  }
  TComponent::Notification(component, operation);
}

void RegisterCoreClasses(TClassRegistry& registry) {
  RegisterComponentClass<TComponent, TComponent>(registry, "TComponent");
  RegisterComponentClass<TDataModule>(registry, "TDataModule").Event("OnCreate", &TDataModule::SetOnCreate);
  RegisterComponentClass<TCustomForm>(registry, "TCustomForm").Event("OnCreate", &TCustomForm::SetOnCreate);
}
