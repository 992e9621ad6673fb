#include "framework/core/application.h"

#include <filesystem>
#include <iostream>
#include <system_error>

#include "framework/core/application_title.h"
#include "framework/core/custom_form.h"
#include "framework/core/exceptions.h"
#include "framework/core/message_loop.h"
#include "framework/core/name_space.h"

TApplication Application;

namespace {

std::string ProgramFileName() {
  std::error_code error;
  std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string() : path.string();
}

}  // namespace

TApplication::TApplication() { SetExeName(ProgramFileName()); }

TApplication::~TApplication() = default;

void TApplication::Initialize() {
  for (const auto& proc : initProcs_) proc();
}

void TApplication::AddInitProc(std::function<void()> proc) { initProcs_.push_back(std::move(proc)); }
void TApplication::AddExitProc(std::function<void()> proc) { exitProcs_.push_back(std::move(proc)); }

void TApplication::SetTitle(std::string title) {
  titleSet_ = !title.empty();
  title_ = titleSet_ ? std::move(title) : TitleFromFileName(exeName_);
}

void TApplication::SetExeName(std::string path) {
  exeName_ = std::move(path);
  if (!titleSet_) title_ = TitleFromFileName(exeName_);
}

void TApplication::AfterCreate(TComponent* object) {
  if (mainForm_ != nullptr) return;
  if (auto* form = dynamic_cast<TCustomForm*>(object)) {
    form->HandleNeeded();
    mainForm_ = form;
  }
}

void TApplication::Run() {
  terminated_ = false;
  if (mainForm_ != nullptr) mainForm_->Show();
  if (loop_ != nullptr) loop_->Run();
  terminated_ = true;
}

void TApplication::Terminate() {
  if (loop_ != nullptr) {
    loop_->PostQuit();
  } else {
    terminated_ = true;
  }
}

void TApplication::ProcessMessages() {
  if (loop_ != nullptr) loop_->ProcessMessages();
}

void TApplication::HandleException(TComponent*) noexcept {
  std::exception_ptr current = std::current_exception();
  if (!current) return;
  try {
    Dialogs().CancelMouseCapture();
  } catch (...) {
  }
  try {
    std::rethrow_exception(current);
  } catch (const EAbort&) {
  } catch (const Exception& e) {
    ShowException(e.Message());
  } catch (const std::exception& e) {
    ShowException(e.what());
  } catch (...) {
    ShowException("Unknown exception");
  }
}

void TApplication::ShowException(std::string_view message) noexcept {
  std::string text = ExceptionDisplayText(message);
  try {
    MessageBox(text, title_, TDialogIcon::Error, {TDialogButton::OK});
  } catch (...) {
    // The box itself failed; the message must not be lost.
    std::cerr << title_ << ": " << text << std::endl;
  }
}

TDialogButton TApplication::MessageBox(const std::string& text, const std::string& caption, TDialogIcon icon,
                                       std::vector<TDialogButton> buttons) {
  TDialogRequest request;
  request.kind = TDialogKind::MessageBox;
  request.caption = caption;
  request.text = text;
  request.icon = icon;
  request.buttons = std::move(buttons);
  if (!request.buttons.empty()) {
    request.defaultButton = request.buttons.front();
    request.cancelButton = request.buttons.size() == 1 ? request.buttons.front() : TDialogButton::Cancel;
  }
  return Dialogs().ShowDialog(request);
}

void TApplication::Shutdown() {
  for (TComponent* window : Windows()) {
    auto* form = dynamic_cast<TCustomForm*>(window);
    if (form != nullptr && form != mainForm_ && form->Owner() == this && form->Visible()) form->Hide();
  }
  DestroyComponents();
  mainForm_ = nullptr;
  for (auto it = exitProcs_.rbegin(); it != exitProcs_.rend(); ++it) (*it)();
  exitProcs_.clear();
}

TMessageLoop* TApplication::SetMessageLoop(TMessageLoop* loop) {
  TMessageLoop* previous = loop_;
  loop_ = loop;
  return previous;
}

void TApplication::Notification(TComponent* component, TOperation operation) {
  if (operation == TOperation::opRemove && component == mainForm_) mainForm_ = nullptr;
  TComponent::Notification(component, operation);
}
