#include "framework/ui/win32/win32_window.h"

#include <set>
#include <string>

#include "framework/core/application.h"
#include "framework/ui/win32/win32_widget_set.h"

namespace {

constexpr const wchar_t* kTargetProperty = L"PxMessageTarget";

LRESULT CALLBACK OwnWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    AttachTarget(window, static_cast<Win32MessageTarget*>(create->lpCreateParams));
  }
  Win32MessageTarget* target = TargetOf(window);
  if (target == nullptr) return DefWindowProcW(window, message, wParam, lParam);
  try {
    return target->HandleMessage(window, message, wParam, lParam);
  } catch (...) {
    Application.HandleException(nullptr);
    return 0;
  }
}

void RegisterOwnClass(const wchar_t* className) {
  static std::set<std::wstring> registered;
  if (registered.count(className) != 0) return;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = OwnWindowProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.lpszClassName = className;
  RegisterClassExW(&wc);
  registered.insert(className);
}

}  // namespace

LRESULT Win32MessageTarget::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(window, message, wParam, lParam);
}

std::optional<LRESULT> Win32MessageTarget::HandleParentNotice(UINT, WPARAM, LPARAM) { return std::nullopt; }

void AttachTarget(HWND window, Win32MessageTarget* target) { SetPropW(window, kTargetProperty, target); }

void DetachTarget(HWND window) { RemovePropW(window, kTargetProperty); }

Win32MessageTarget* TargetOf(HWND window) {
  return window != nullptr ? static_cast<Win32MessageTarget*>(GetPropW(window, kTargetProperty)) : nullptr;
}

HWND CreateOwnWindow(const wchar_t* className, DWORD style, DWORD exStyle, HWND parent, Win32MessageTarget* target) {
  RegisterOwnClass(className);
  return CreateWindowExW(exStyle, className, L"", style, 0, 0, 0, 0, parent, nullptr, GetModuleHandleW(nullptr),
                         target);
}

namespace {

// Some of the platform's controls (EDIT among them) keep telling the parent
// they were created in, whatever parent they have since: the parking window
// passes their notices on as a container does.
class ParkingTarget : public Win32MessageTarget {
 public:
  LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_COMMAND || message == WM_CTLCOLORSTATIC || message == WM_CTLCOLORBTN ||
        message == WM_CTLCOLOREDIT) {
      if (Win32MessageTarget* child = TargetOf(reinterpret_cast<HWND>(lParam))) {
        if (auto result = child->HandleParentNotice(message, wParam, lParam)) return *result;
      }
    }
    return DefWindowProcW(window, message, wParam, lParam);
  }
};

}  // namespace

HWND ParkingWindow() {
  static HWND parking = [] {
    static ParkingTarget target;
    return CreateOwnWindow(L"PxParking", WS_POPUP, WS_EX_TOOLWINDOW, nullptr, &target);
  }();
  return parking;
}

COLORREF ToColorRef(const TColor& color) {
  const TRgb rgb = TWin32WidgetSet::ResolveSystemColor(color);
  return RGB(rgb.r, rgb.g, rgb.b);
}

Win32Container::Win32Container(const TColor& color) { SetBackground(color); }

Win32Container::~Win32Container() {
  if (brush_ != nullptr) DeleteObject(brush_);
}

void Win32Container::SetBackground(const TColor& color) {
  if (brush_ != nullptr) DeleteObject(brush_);
  brush_ = CreateSolidBrush(ToColorRef(color));
}

std::optional<LRESULT> Win32Container::HandleContainerMessage(HWND window, UINT message, WPARAM wParam,
                                                              LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT: {
      if (Win32MessageTarget* child = TargetOf(reinterpret_cast<HWND>(lParam))) {
        if (auto result = child->HandleParentNotice(message, wParam, lParam)) return result;
      }
      if (message == WM_CTLCOLORSTATIC || message == WM_CTLCOLORBTN) {
        SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
        return reinterpret_cast<LRESULT>(brush_);
      }
      return std::nullopt;
    }
    case WM_ERASEBKGND: {
      RECT client;
      GetClientRect(window, &client);
      FillRect(reinterpret_cast<HDC>(wParam), &client, brush_);
      return 1;
    }
    case WM_PRINTCLIENT: {
      RECT client;
      GetClientRect(window, &client);
      FillRect(reinterpret_cast<HDC>(wParam), &client, brush_);
      return 0;
    }
    case WM_PAINT: {
      PAINTSTRUCT paint;
      BeginPaint(window, &paint);
      EndPaint(window, &paint);
      return 0;
    }
    default:
      return std::nullopt;
  }
}
