// A window on the Windows API: a top-level window of the back end's own class
// whose close box asks the form (which decides). Its client area has the
// design size scaled to the screen's resolution; a tool window has the small
// caption with only the close box and no sizing border. When it is activated
// the focus goes back to the control that had it.
#pragma once

#include "framework/ui/win32/win32_control_peer.h"

class TForm;

class Win32FormPeer : public TFormPeer, public Win32ContainerPeer, public Win32MessageTarget {
 public:
  explicit Win32FormPeer(TForm& form);
  ~Win32FormPeer() override;
  Win32FormPeer(const Win32FormPeer&) = delete;
  Win32FormPeer& operator=(const Win32FormPeer&) = delete;

  HWND Window() const { return window_; }
  HWND ClientWindow() const override { return window_; }
  TForm& Form() const { return form_; }
  // The form whose window holds `window`, or null.
  static TForm* FormOf(HWND window);
  // The window of `form`.
  static HWND WindowOf(const TForm& form);

  void SetColor(const TColor& color) override;
  void SetCaption(const std::string& caption) override;
  void SetClientSize(const TSize& size) override;
  void SetBorderStyle(TFormBorderStyle style) override;
  void SetFont(const TResolvedFont& font) override;
  void SetIcon(const TIcon& icon) override;
  void HandleNeeded() override {}
  void PlaceOnScreen(TPosition position, TPoint designed) override;
  void Show() override;
  void Hide() override;
  bool Visible() const override;
  void CloseBox() override;
  void FocusChainChanged(const std::vector<TControl*>&) override {}
  TSize ClientSize() const override;
  TBitmap Grab() const override;

  LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void ApplySize();
  void RescaleChildren();

  TForm& form_;
  HWND window_;
  Win32Container container_;
  TSize clientSize_;
  HICON bigIcon_ = nullptr;
  HICON smallIcon_ = nullptr;
  HWND lastFocus_ = nullptr;
  bool shown_ = false;
};
