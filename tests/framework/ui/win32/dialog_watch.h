// Runs code on a modal dialog of the platform (a message box, a task dialog,
// the folder picker) once it is open, from inside its own modal loop: a
// thread hook sees the dialog activated and posts a message to a window of
// the watch's own, which the dialog's loop dispatches when the dialog has
// been placed and initialised; the code may then inspect the dialog and
// post it the user's answer. No timer, no sleep.
#pragma once

#include <windows.h>

#include <functional>

class DialogWatch {
 public:
  explicit DialogWatch(std::function<void(HWND dialog)> onOpen);
  ~DialogWatch();
  DialogWatch(const DialogWatch&) = delete;
  DialogWatch& operator=(const DialogWatch&) = delete;

  int Opened() const { return opened_; }

 private:
  static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK Receive(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  std::function<void(HWND)> onOpen_;
  HHOOK hook_;
  HWND receiver_;
  int opened_ = 0;
  HWND last_ = nullptr;
};

// What a user's click on a dialog's button does, posted to the dialog.
void PostButton(HWND dialog, int id);
