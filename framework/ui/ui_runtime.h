// The windowed program's runtime: it creates the QApplication, makes the
// framework's font the default, registers the component classes and puts the
// Qt dialogs and message loop in place of the seams. At its end it shuts the
// application object down (if the program has not) before Qt goes.
//   int main(int argc, char** argv) {
//     TUiRuntime ui(argc, argv);
//     Application.Initialize();
//     Application.CreateForm(Form2);
//     Application.Run();
//   }
#pragma once

#include <memory>

class QApplication;
class TQtDialogs;
class TQtMessageLoop;
class TDialogs;
class TMessageLoop;

class TUiRuntime {
 public:
  TUiRuntime(int& argc, char** argv);
  ~TUiRuntime();
  TUiRuntime(const TUiRuntime&) = delete;
  TUiRuntime& operator=(const TUiRuntime&) = delete;

 private:
  std::unique_ptr<QApplication> app_;
  std::unique_ptr<TQtDialogs> dialogs_;
  std::unique_ptr<TQtMessageLoop> loop_;
  TDialogs* previousDialogs_ = nullptr;
  TMessageLoop* previousLoop_ = nullptr;
};

// Registers the window and control classes for stored descriptions; safe to
// call more than once.
void RegisterUiClasses();
