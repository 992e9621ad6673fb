// The runtime on Qt: the QApplication, the Qt widget set, the Qt dialogs and
// Qt's event loop.
#include <QApplication>

#include "framework/controls/widget_set.h"
#include "framework/core/application.h"
#include "framework/core/dialogs.h"
#include "framework/core/message_loop.h"
#include "framework/ui/qt/qt_dialogs.h"
#include "framework/ui/qt/qt_fonts.h"
#include "framework/ui/qt/qt_message_loop.h"
#include "framework/ui/qt/qt_widget_set.h"
#include "framework/ui/ui_runtime.h"

struct TUiRuntime::State {
  State(int& argc, char** argv) : app(argc, argv) {}
  QApplication app;
  TQtWidgetSet widgets;
  TQtDialogs dialogs;
  TQtMessageLoop loop;
  TWidgetSet* previousWidgets = nullptr;
  TDialogs* previousDialogs = nullptr;
  TMessageLoop* previousLoop = nullptr;
};

TUiRuntime::TUiRuntime(int& argc, char** argv) : state_(std::make_unique<State>(argc, argv)) {
  // The main window's close ends the loop through Application.Terminate; a
  // message box closing before the main window is shown must not.
  QApplication::setQuitOnLastWindowClosed(false);
  QFont font = TahomaFont();
  font.setPixelSize(DefaultFont().pixelHeight);
  QApplication::setFont(font);
  RegisterUiClasses();
  state_->previousWidgets = SetWidgetSet(&state_->widgets);
  state_->previousDialogs = SetDialogs(&state_->dialogs);
  state_->previousLoop = Application.SetMessageLoop(&state_->loop);
}

TUiRuntime::~TUiRuntime() {
  Application.Shutdown();
  Application.SetMessageLoop(state_->previousLoop);
  SetDialogs(state_->previousDialogs);
  SetWidgetSet(state_->previousWidgets);
}
