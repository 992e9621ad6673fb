// The windowed program's runtime, the same on every back end: it starts the
// toolkit, installs its widget set, dialogs and message loop in place of the
// seams, and registers the component classes. At its end it shuts the
// application object down (if the program has not) before the toolkit goes.
// Which back end runs is chosen when the program is linked (framework/ui/qt
// or framework/ui/win32); nothing above the framework sees it.
//   int main(int argc, char** argv) {
//     TUiRuntime ui(argc, argv);
//     Application.Initialize();
//     Application.CreateForm(Form2);
//     Application.Run();
//   }
#pragma once

#include <memory>

class TUiRuntime {
 public:
  TUiRuntime(int& argc, char** argv);
  ~TUiRuntime();
  TUiRuntime(const TUiRuntime&) = delete;
  TUiRuntime& operator=(const TUiRuntime&) = delete;

 private:
  struct State;  // the back end's
  std::unique_ptr<State> state_;
};

// Registers the window and control classes for stored descriptions, the
// data-bound ones too; safe to call more than once.
void RegisterUiClasses();
