#include "framework/core/custom_form.h"

#include "framework/core/application.h"
#include "framework/core/class_registry.h"
#include "framework/core/description_reader.h"
#include "framework/core/handler_boundary.h"
#include "framework/core/name_space.h"
#include "framework/core/reference_binding.h"

TCustomForm::TCustomForm(TComponent* owner) : TComponent(owner) { RegisterRoot(this, TRootKind::Window); }

TCustomForm::~TCustomForm() { DestroyWindowContents(); }

void TCustomForm::DestroyWindowContents() {
  BeginDestroy();
  DestroyRoot(*this);
}

void TCustomForm::Close() {
  bool canClose = true;
  if (onCloseQuery_) onCloseQuery_(this, canClose);
  if (!canClose) return;
  if (Application.MainForm() == this) {
    Application.Terminate();
  } else {
    Hide();
  }
}

void TCustomForm::ReadDescription(std::string_view text, std::string_view source) {
  TDescriptionReader::Read(*this, text, source);
  if (onCreate_) CallHandler(this, [this] { onCreate_(this); });
}

void TCustomForm::Notification(TComponent* component, TOperation operation) {
  if (operation == TOperation::opRemove && component != nullptr && component->Owner() == this) {
    if (const TClassInfo* info = TClassRegistry::Instance().Find(ClassName())) info->ClearFields(*this, component);
    DropPendingReferencesOf(component);
  }
  TComponent::Notification(component, operation);
}
