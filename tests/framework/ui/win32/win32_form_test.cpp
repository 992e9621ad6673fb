// What the Win32 back end makes of the window: the tool window's styles and
// client size at the screen's resolution, its place, its icon, the Tab key
// and the mouse through the message loop, the caret's blink period, the
// apartment of the user-interface thread, and that no text is cut at this
// resolution (the tests also run with the screen at 120 and 144 dpi).
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "framework/core/application.h"
#include "framework/core/application_title.h"
#include "framework/core/recording_dialogs.h"
#include "framework/ui/win32/win32_control_peer.h"
#include "framework/ui/win32/win32_form_peer.h"
#include "tests/framework/ui/ui_test_window.h"

namespace {

HWND WindowOf(const TControl& control) { return dynamic_cast<Win32WindowPeer&>(control.Peer()).Window(); }

RECT RectIn(HWND window, HWND client) {
  RECT rect;
  GetWindowRect(window, &rect);
  MapWindowPoints(HWND_DESKTOP, client, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

std::wstring TextOf(HWND window) {
  wchar_t text[256] = L"";
  GetWindowTextW(window, text, 256);
  return text;
}

class Win32FormTest : public ::testing::Test {
 protected:
  void TearDown() override { window.Hide(); }
  void PressTab(bool shift) {
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_SHIFT] = shift ? 0x80 : 0;
    SetKeyboardState(keys);
    PostMessageW(GetFocus(), WM_KEYDOWN, VK_TAB, 0);
    Application.ProcessMessages();
    keys[VK_SHIFT] = 0;
    SetKeyboardState(keys);
  }

  TRecordingDialogs dialogs;
  TDialogsScope scope{dialogs};
  TTestWindow window{nullptr};
  HWND form = Win32FormPeer::WindowOf(window);
  int dpi = WindowDpi(form);
};

TEST_F(Win32FormTest, AToolWindowWithACloseBoxAndAFixedClientArea) {
  const LONG_PTR style = GetWindowLongPtrW(form, GWL_STYLE), exStyle = GetWindowLongPtrW(form, GWL_EXSTYLE);
  EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_FALSE(style & (WS_THICKFRAME | WS_MAXIMIZEBOX | WS_MINIMIZEBOX));
  EXPECT_TRUE(exStyle & WS_EX_TOOLWINDOW);
  EXPECT_EQ(TextOf(form), L"VELDATEST Mergetool");
  RECT client;
  GetClientRect(form, &client);
  EXPECT_EQ(client.right, MulDiv(476, dpi, 96));
  EXPECT_EQ(client.bottom, MulDiv(536, dpi, 96));
  // The button face's colour, as the window draws it.
  window.Show();
  const TBitmap shown = window.Peer().Grab();
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  EXPECT_EQ(shown.Pixel(2, 2) & 0xFFFFFF,
            static_cast<std::uint32_t>(GetRValue(face) << 16 | GetGValue(face) << 8 | GetBValue(face)));
}

TEST_F(Win32FormTest, CentredOnTheDesktopWithItsIcon) {
  window.Show();
  RECT frame;
  GetWindowRect(form, &frame);
  const int desktopX = GetSystemMetrics(SM_XVIRTUALSCREEN) + GetSystemMetrics(SM_CXVIRTUALSCREEN) / 2;
  const int desktopY = GetSystemMetrics(SM_YVIRTUALSCREEN) + GetSystemMetrics(SM_CYVIRTUALSCREEN) / 2;
  EXPECT_LE(std::abs((frame.left + frame.right) / 2 - desktopX), 1);
  EXPECT_LE(std::abs((frame.top + frame.bottom) / 2 - desktopY), 1);
  auto icon = reinterpret_cast<HICON>(SendMessageW(form, WM_GETICON, ICON_BIG, 0));
  ASSERT_NE(icon, nullptr);
  ICONINFO info;
  ASSERT_TRUE(GetIconInfo(icon, &info));
  BITMAP bitmap;
  GetObjectW(info.hbmMask, sizeof(bitmap), &bitmap);
  EXPECT_EQ(bitmap.bmWidth, GetSystemMetrics(SM_CXICON));
  DeleteObject(info.hbmMask);
  if (info.hbmColor != nullptr) DeleteObject(info.hbmColor);
  EXPECT_NE(SendMessageW(form, WM_GETICON, ICON_SMALL, 0), 0);
}

TEST_F(Win32FormTest, TheTabKeyMovesTheFocusInTabOrderAndShiftTabBack) {
  window.Show();
  window.DirectoryDlg->SetFocus();
  std::vector<HWND> walked;
  for (int i = 0; i < 3; ++i) {
    PressTab(false);
    walked.push_back(GetFocus());
  }
  EXPECT_EQ(walked, (std::vector<HWND>{WindowOf(*window.ButtonCANCEL), WindowOf(*window.CheckBox1),
                                       WindowOf(*window.DirectoryDlg)}));
  window.ButtonSTART->SetVisible(true);
  PressTab(false);
  EXPECT_EQ(GetFocus(), WindowOf(*window.ButtonSTART));
  PressTab(true);
  EXPECT_EQ(GetFocus(), WindowOf(*window.DirectoryDlg));
  PressTab(true);
  EXPECT_EQ(GetFocus(), WindowOf(*window.CheckBox1));
}

TEST_F(Win32FormTest, AMouseClickOnTheFolderButtonFocusesTheFieldNotTheButton) {
  window.Show();
  window.CheckBox1->SetFocus();
  HWND field = WindowOf(*window.DirectoryDlg);
  HWND button = FindWindowExW(field, nullptr, L"PxFolderButton", nullptr);
  ASSERT_NE(button, nullptr);
  const LPARAM inside = MAKELPARAM(4, 4);
  PostMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, inside);
  PostMessageW(button, WM_LBUTTONUP, 0, inside);
  Application.ProcessMessages();
  EXPECT_EQ(dialogs.folderRequests.size(), 1u);
  EXPECT_EQ(GetFocus(), field);
  // A press let go outside the button is no click.
  PostMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, inside);
  PostMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(-20, 4));
  Application.ProcessMessages();
  EXPECT_EQ(dialogs.folderRequests.size(), 1u);
}

TEST_F(Win32FormTest, TheCaretBlinksEvery530MillisecondsOnlyWhileTheFieldHasTheFocus) {
  const UINT own = GetCaretBlinkTime();
  SetCaretBlinkTime(700);
  window.Show();
  window.CheckBox1->SetFocus();
  window.DirectoryDlg->SetFocus();
  EXPECT_EQ(GetCaretBlinkTime(), 530u);
  window.CheckBox1->SetFocus();
  EXPECT_EQ(GetCaretBlinkTime(), 700u);
  SetCaretBlinkTime(own);
}

TEST_F(Win32FormTest, TheUserInterfaceThreadIsInCOMsSingleThreadedApartment) {
  Application.Initialize();
  const HRESULT again = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  EXPECT_EQ(again, RPC_E_CHANGED_MODE);
  EXPECT_EQ(Application.Title(), TitleFromFileName(Application.ExeName()));
  EXPECT_NE(Application.ExeName().find(".exe"), std::string::npos);
}

// Where the ink of a control's text (and mark) ends, in screen pixels: the
// last column and row that differ from the background.
POINT InkEnd(const TBitmap& image, std::uint32_t background) {
  POINT end{-1, -1};
  for (int y = 0; y < image.Height(); ++y) {
    for (int x = 0; x < image.Width(); ++x) {
      if ((image.Pixel(x, y) & 0xFFFFFF) == (background & 0xFFFFFF)) continue;
      end.x = std::max<LONG>(end.x, x);
      end.y = std::max<LONG>(end.y, y);
    }
  }
  return end;
}

// Every control where the design puts it, scaled to the screen, and each
// text drawn whole inside its control: its ink stops short of the control's
// right and bottom edge, where a cut would leave it.
TEST_F(Win32FormTest, NoTextIsCutAndTheLayoutKeepsItsProportionsAtThisResolution) {
  window.Show();
  for (TControl* control : std::vector<TControl*>{window.Label1, window.LblDMactive, window.Label4, window.DBText2,
                                                  window.DirectoryDlg, window.ButtonCANCEL, window.StaticText1,
                                                  window.CheckBox1, window.DBProgressFill1}) {
    SCOPED_TRACE(control->Name());
    HWND own = WindowOf(*control);
    const RECT placed = RectIn(own, GetParent(own));
    const RECT designed = ScaleToDevice(control->Bounds(), dpi);
    EXPECT_EQ(placed.left, designed.left);
    EXPECT_EQ(placed.top, designed.top);
    EXPECT_EQ(placed.right, designed.right);
    EXPECT_EQ(placed.bottom, designed.bottom);
  }
  // Each control draws in its own font at this resolution: the height scaled
  // (rounded down), bold where the description says.
  for (TControl* control : std::vector<TControl*>{window.Label1, window.LblDMactive, window.DBText2,
                                                  window.StaticText1, window.CheckBox1, window.ButtonCANCEL}) {
    SCOPED_TRACE(control->Name());
    LOGFONTW used{};
    auto font = reinterpret_cast<HFONT>(SendMessageW(WindowOf(*control), WM_GETFONT, 0, 0));
    ASSERT_NE(font, nullptr);
    GetObjectW(font, sizeof(used), &used);
    EXPECT_EQ(used.lfHeight, -(11 * dpi / 96));
    EXPECT_EQ(used.lfWeight, control->ResolvedFont().Bold() ? FW_BOLD : FW_NORMAL);
    EXPECT_STREQ(used.lfFaceName, L"Tahoma");
  }
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  const std::uint32_t background = GetRValue(face) << 16 | GetGValue(face) << 8 | GetBValue(face);
  // A label that sizes itself is as wide as its text's advance, which the
  // last glyph's ink may touch; it is at least as large as the text.
  for (TCustomLabel* label : {static_cast<TCustomLabel*>(window.Label1), static_cast<TCustomLabel*>(window.Label4)}) {
    SCOPED_TRACE(label->Name());
    RECT client;
    GetClientRect(WindowOf(*label), &client);
    const SIZE text = DeviceTextExtent(FontFor(label->ResolvedFont(), dpi), Widen(label->ShownText()));
    EXPECT_GE(client.right, text.cx);
    EXPECT_GE(client.bottom, text.cy);
  }
  for (TControl* control : std::vector<TControl*>{window.LblDMactive, window.StaticText1, window.CheckBox1}) {
    SCOPED_TRACE(control->Name());
    const TBitmap image = control->Peer().Grab();
    const POINT end = InkEnd(image, background);
    EXPECT_GE(end.x, 0) << "nothing drawn";
    EXPECT_LT(end.x, image.Width() - 1);
    EXPECT_LT(end.y, image.Height() - 1);
  }
}

}  // namespace
