// The application object, one per process (`Application`): title, main
// window, the message loop, the create-object step, the exception display and
// shutdown. It owns the windows and modules created through CreateForm and
// destroys them at shutdown, the last created first. User-interface thread only.
#pragma once

#include <exception>
#include <functional>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "framework/core/component.h"
#include "framework/core/dialogs.h"

class TCustomForm;
class TMessageLoop;

class TApplication : public TComponent {
 public:
  TApplication();
  ~TApplication() override;
  std::string_view ClassName() const override { return "TApplication"; }

  // Runs the initialisation hooks, in the order they were added.
  void Initialize();
  void AddInitProc(std::function<void()> proc);
  // Run at the end of Shutdown, the last added first.
  void AddExitProc(std::function<void()> proc);

  // The title is made from the program file's name (TitleFromFileName)
  // unless SetTitle gave one; SetTitle("") goes back to the file's name.
  const std::string& Title() const { return title_; }
  void SetTitle(std::string title);
  const std::string& ExeName() const { return exeName_; }
  void SetExeName(std::string path);

  bool MainFormOnTaskBar() const { return mainFormOnTaskBar_; }
  void SetMainFormOnTaskBar(bool value) { mainFormOnTaskBar_ = value; }
  // The first window created through CreateForm; null before it and after it is destroyed.
  TCustomForm* MainForm() const { return mainForm_; }
  bool Terminated() const { return terminated_; }

  // The create-object step: stores the object's address in `reference`,
  // then constructs it with the application as owner; if the constructor
  // throws, `reference` is null again and the exception passes on. The first
  // window created becomes the main window; data modules never do.
  template <class T>
  void CreateForm(T*& reference);

  // Shows the main window and runs the message loop until Terminate. Without
  // an installed loop it returns at once.
  void Run();
  // Posts a quit message to the message loop.
  void Terminate();
  // Lets the message loop dispatch what waits (paints, input) and returns.
  void ProcessMessages();

  // The exception display, called inside a catch block with the exception
  // being handled: EAbort is swallowed; any other exception's text is shown
  // (ExceptionDisplayText) in a modal message box with the error icon, the
  // single button OK and the title as caption. Never throws.
  void HandleException(TComponent* sender) noexcept;
  void ShowException(std::string_view message) noexcept;
  TDialogButton MessageBox(const std::string& text, const std::string& caption, TDialogIcon icon,
                           std::vector<TDialogButton> buttons);

  // Hides the windows other than the main window, destroys the owned objects,
  // the last created first, and runs the exit procedures.
  void Shutdown();

  // Installs the message loop (null: none); returns the previous.
  TMessageLoop* SetMessageLoop(TMessageLoop* loop);

 protected:
  void Notification(TComponent* component, TOperation operation) override;

 private:
  void AfterCreate(TComponent* object);

  std::string title_;
  bool titleSet_ = false;
  std::string exeName_;
  bool mainFormOnTaskBar_ = false;
  TCustomForm* mainForm_ = nullptr;
  bool terminated_ = false;
  TMessageLoop* loop_ = nullptr;
  std::vector<std::function<void()>> initProcs_;
  std::vector<std::function<void()>> exitProcs_;
};

extern TApplication Application;

template <class T>
void TApplication::CreateForm(T*& reference) {
  static_assert(std::is_base_of_v<TComponent, T>);
  static_assert(alignof(T) <= __STDCPP_DEFAULT_NEW_ALIGNMENT__);
  // The reference is set before the constructor runs, so that code run during
  // construction (a module's creation handler) reaches the object through it.
  void* memory = ::operator new(sizeof(T));
  reference = static_cast<T*>(memory);
  try {
    ::new (memory) T(this);
  } catch (...) {
    reference = nullptr;
    ::operator delete(memory);
    throw;
  }
  AfterCreate(reference);
}
