// Panels, texts, push buttons and check boxes on the platform's windows: a
// panel is a window of the back end's own class, the others are the
// platform's STATIC and BUTTON controls.
#include "framework/controls/button.h"
#include "framework/controls/check_box.h"
#include "framework/core/handler_boundary.h"
#include "framework/ui/win32/win32_control_peer.h"
#include "framework/ui/win32/win32_peers.h"

namespace {

constexpr const wchar_t* kPanelClass = L"PxPanel";

std::wstring WindowText(HWND window) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

class Win32PanelPeer : public Win32ControlPeer<TPanelPeer>, public Win32ContainerPeer {
 public:
  Win32PanelPeer() {
    Attach(CreateOwnWindow(kPanelClass, WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, WS_EX_CONTROLPARENT,
                           ParkingWindow(), this));
  }
  HWND ClientWindow() const override { return Window(); }
  void SetColor(const TColor& color) override {
    container_.SetBackground(color);
    InvalidateRect(Window(), nullptr, TRUE);
  }
  LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override {
    if (auto handled = container_.HandleContainerMessage(window, message, wParam, lParam)) return *handled;
    return DefWindowProcW(window, message, wParam, lParam);
  }

 private:
  Win32Container container_;
};

// Text that keeps to its lines: no word wrap, "&" shown as it stands (the
// control has stripped the accelerator marks already).
class Win32TextPeer : public Win32ControlPeer<TTextPeer> {
 public:
  Win32TextPeer() { Attach(CreateControlWindow(L"STATIC", SS_LEFTNOWORDWRAP | SS_NOPREFIX)); }
  void SetText(const std::string& text) override { SetWindowTextW(Window(), WidenLines(text).c_str()); }
  std::string Text() const override {
    std::wstring text = WindowText(Window()), lines;
    for (wchar_t c : text) {
      if (c != L'\r') lines.push_back(c);
    }
    return Narrow(lines);
  }
  TSize TextExtent(const std::string& text) const override {
    const SIZE size = DeviceTextExtent(DeviceFont(), Widen(text));
    return {ScaleToDesign(size.cx, Dpi()), ScaleToDesign(size.cy, Dpi())};
  }
};

class Win32ButtonPeer : public Win32ControlPeer<TButtonPeer> {
 public:
  explicit Win32ButtonPeer(TButton& button) : button_(button) {
    Attach(CreateControlWindow(L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP));
  }
  // The platform reads "&" marks as the component set does.
  void SetCaption(const std::string& caption) override { SetWindowTextW(Window(), Widen(caption).c_str()); }
  void Click() override { SendMessageW(Window(), BM_CLICK, 0, 0); }

 protected:
  void Command(WORD code) override {
    if (code == BN_CLICKED) CallHandler(&button_, [this] { button_.Click(); });
  }

 private:
  TButton& button_;
};

// The mark and the caption at the top left; the platform puts its own gap
// between them.
class Win32CheckBoxPeer : public Win32ControlPeer<TCheckBoxPeer> {
 public:
  Win32CheckBoxPeer() { Attach(CreateControlWindow(L"BUTTON", BS_AUTOCHECKBOX | BS_TOP | BS_LEFT | WS_TABSTOP)); }
  void SetCaption(const std::string& caption) override { SetWindowTextW(Window(), Widen(caption).c_str()); }
  bool Checked() const override { return SendMessageW(Window(), BM_GETCHECK, 0, 0) == BST_CHECKED; }
  void SetChecked(bool checked) override {
    SendMessageW(Window(), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
  }
  void Click() override { SendMessageW(Window(), BM_CLICK, 0, 0); }
};

}  // namespace

HWND CreateControlWindow(const wchar_t* className, DWORD style, DWORD exStyle) {
  return CreateWindowExW(exStyle, className, L"", WS_CHILD | WS_CLIPSIBLINGS | style, 0, 0, 0, 0, ParkingWindow(),
                         nullptr, GetModuleHandleW(nullptr), nullptr);
}

std::unique_ptr<TPanelPeer> NewWin32PanelPeer() { return std::make_unique<Win32PanelPeer>(); }
std::unique_ptr<TTextPeer> NewWin32TextPeer() { return std::make_unique<Win32TextPeer>(); }
std::unique_ptr<TButtonPeer> NewWin32ButtonPeer(TButton& button) { return std::make_unique<Win32ButtonPeer>(button); }
std::unique_ptr<TCheckBoxPeer> NewWin32CheckBoxPeer() { return std::make_unique<Win32CheckBoxPeer>(); }
