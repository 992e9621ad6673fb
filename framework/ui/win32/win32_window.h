// The native windows of the Win32 back end and how messages reach their
// peers. A peer is attached to its window; the window procedure of the back
// end's own classes hands every message to the attached peer, and a container
// (window or panel) hands what the platform's controls tell their parent
// (WM_COMMAND, WM_CTLCOLOR...) back to the control's own peer. No exception
// leaves a window procedure: one that would goes to the exception display.
#pragma once

#include <optional>

#include "framework/controls/color.h"
#include "framework/ui/win32/win32_api.h"

class Win32MessageTarget {
 public:
  virtual ~Win32MessageTarget() = default;
  // A message of a window of the back end's own classes.
  virtual LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  // A message the control's parent received from it; nothing: the parent's
  // own handling.
  virtual std::optional<LRESULT> HandleParentNotice(UINT message, WPARAM wParam, LPARAM lParam);
};

void AttachTarget(HWND window, Win32MessageTarget* target);
void DetachTarget(HWND window);
Win32MessageTarget* TargetOf(HWND window);

// Creates a window of one of the back end's own classes (registered on first
// use, with the arrow cursor and no background brush); `target` receives its
// messages from WM_NCCREATE on.
HWND CreateOwnWindow(const wchar_t* className, DWORD style, DWORD exStyle, HWND parent, Win32MessageTarget* target);

// A hidden window that holds the controls that have no parent yet.
HWND ParkingWindow();

// What a window or panel does for the controls in it: passes their notices
// back to them and draws the background they stand on.
class Win32Container {
 public:
  explicit Win32Container(const TColor& color = TColor::System(TSystemColor::BtnFace));
  ~Win32Container();
  Win32Container(const Win32Container&) = delete;
  Win32Container& operator=(const Win32Container&) = delete;

  void SetBackground(const TColor& color);
  HBRUSH Background() const { return brush_; }
  // The container's part of a message: reflection and background. Nothing
  // when the message is not the container's.
  std::optional<LRESULT> HandleContainerMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

 private:
  HBRUSH brush_ = nullptr;
};

COLORREF ToColorRef(const TColor& color);
