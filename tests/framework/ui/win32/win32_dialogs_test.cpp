// The Win32 dialogs, each answered from inside its own modal loop the moment
// it opens (dialog_watch.h): the exception display's message box over the
// active window with every other window disabled, the message dialog centred
// on the screen, and the shell's folder picker owned by and centred over the
// window, with its OK button disabled until a folder is chosen.
#include "framework/ui/win32/win32_dialogs.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <filesystem>
#include <memory>

#include "framework/core/application.h"
#include "framework/core/message_dialog.h"
#include "framework/ui/win32/win32_control_peer.h"
#include "framework/ui/win32/win32_form_peer.h"
#include "tests/framework/ui/ui_test_window.h"
#include "tests/framework/ui/win32/dialog_watch.h"

namespace {

std::wstring TextOf(HWND window) {
  wchar_t text[512] = L"";
  GetWindowTextW(window, text, 512);
  return text;
}

POINT Centre(HWND window) {
  RECT rect;
  GetWindowRect(window, &rect);
  return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

class Win32DialogsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Application.Initialize();  // COM for the folder picker
    window.Show();
  }
  void TearDown() override {
    window.Hide();
    other.Hide();
  }

  TWin32Dialogs dialogs;
  TDialogsScope scope{dialogs};
  TTestWindow window{nullptr};
  TTestWindow other{nullptr};
  HWND form = Win32FormPeer::WindowOf(window);
};

TEST_F(Win32DialogsTest, TheExceptionBoxSitsOverTheActiveWindowWithTheOthersDisabled) {
  other.Show();
  window.Show();
  window.CheckBox1->SetFocus();
  HWND focus = GetFocus();
  HWND owner = nullptr;
  std::wstring caption, text;
  bool formEnabled = true, otherEnabled = true, hasCancel = true;
  DialogWatch watch([&](HWND box) {
    owner = GetWindow(box, GW_OWNER);
    caption = TextOf(box);
    text = TextOf(GetDlgItem(box, 0xFFFF));  // the box's text
    formEnabled = IsWindowEnabled(form);
    otherEnabled = IsWindowEnabled(Win32FormPeer::WindowOf(other));
    hasCancel = GetDlgItem(box, IDCANCEL) != nullptr;
    PostButton(box, IDOK);
  });
  Application.SetTitle("Mergetool");
  Application.ShowException("dPatient: Cannot perform this operation on an open dataset");
  Application.SetTitle("");
  EXPECT_EQ(watch.Opened(), 1);
  EXPECT_EQ(owner, form);
  EXPECT_EQ(caption, L"Mergetool");
  EXPECT_EQ(text, L"dPatient: Cannot perform this operation on an open dataset.");
  EXPECT_FALSE(formEnabled);
  EXPECT_FALSE(otherEnabled);
  EXPECT_FALSE(hasCancel);
  // Afterwards every window takes input again and the focus is where it was.
  EXPECT_TRUE(IsWindowEnabled(form));
  EXPECT_TRUE(IsWindowEnabled(Win32FormPeer::WindowOf(other)));
  EXPECT_EQ(GetFocus(), focus);
}

TEST_F(Win32DialogsTest, TheMessageDialogIsCentredOnTheScreenWithOkTheDefault) {
  std::wstring caption;
  POINT centre{};
  bool okIsDefault = false;
  DialogWatch watch([&](HWND box) {
    caption = TextOf(box);
    centre = Centre(box);
    okIsDefault = (GetWindowLongPtrW(GetDlgItem(box, IDOK), GWL_STYLE) & BS_DEFPUSHBUTTON) != 0 ||
                  LOWORD(SendMessageW(box, DM_GETDEFID, 0, 0)) == IDOK;
    PostButton(box, IDOK);
  });
  const TDialogButton answer = MessageDlg("Alte Daten nicht in diesem Verzeichnis, unvollständig oder beschädigt!",
                                          TMsgDlgType::mtError, {TMsgDlgBtn::mbOK}, 0);
  EXPECT_EQ(watch.Opened(), 1);
  EXPECT_EQ(answer, TDialogButton::OK);
  EXPECT_EQ(caption, L"Error");
  EXPECT_TRUE(okIsDefault);
  EXPECT_LE(std::abs(centre.x - GetSystemMetrics(SM_CXSCREEN) / 2), 1);
  EXPECT_LE(std::abs(centre.y - GetSystemMetrics(SM_CYSCREEN) / 2), 1);
}

TEST_F(Win32DialogsTest, TheFolderPickerIsOwnedCentredAndReturnsTheChosenFolder) {
  // In the system's temporary folder, which the shell reaches without
  // walking a large drive; it wants a whole path with a drive.
  const std::filesystem::path chosen =
      std::filesystem::absolute(std::filesystem::temp_directory_path() / "px picker winVELDA alt").make_preferred();
  std::filesystem::create_directories(chosen);
  HWND owner = nullptr;
  POINT centre{};
  bool formEnabled = true, okEnabledAtOpen = true, okEnabledOnChoice = false;
  const std::wstring choice = chosen.wstring();
  DialogWatch watch([&](HWND picker) {
    owner = GetWindow(picker, GW_OWNER);
    centre = Centre(picker);
    formEnabled = IsWindowEnabled(form);
    okEnabledAtOpen = IsWindowEnabled(GetDlgItem(picker, IDOK));
    // The user's choice, then OK. Wine's picker now and then fails to open
    // the tree down to a folder while it is still listing the drives; the
    // user would click again, and so does the test (a few times at most).
    for (int attempt = 0; attempt < 3 && !okEnabledOnChoice; ++attempt) {
      SendMessageW(picker, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(choice.c_str()));
      okEnabledOnChoice = IsWindowEnabled(GetDlgItem(picker, IDOK));
    }
    PostButton(picker, IDOK);
  });
  std::optional<std::string> path = Dialogs().PickFolder(TFolderPickerRequest{});
  EXPECT_EQ(watch.Opened(), 1);
  EXPECT_EQ(owner, form);
  EXPECT_LE(std::abs(centre.x - Centre(form).x), 1);
  EXPECT_LE(std::abs(centre.y - Centre(form).y), 1);
  EXPECT_FALSE(formEnabled);
  EXPECT_FALSE(okEnabledAtOpen);
  EXPECT_TRUE(okEnabledOnChoice);
  ASSERT_TRUE(path.has_value());
  EXPECT_EQ(std::filesystem::path(Widen(*path)), chosen);
  EXPECT_TRUE(IsWindowEnabled(form));
  std::filesystem::remove(chosen);
}

TEST_F(Win32DialogsTest, ACancelledFolderPickerReturnsNothing) {
  DialogWatch watch([](HWND picker) { PostButton(picker, IDCANCEL); });
  EXPECT_FALSE(Dialogs().PickFolder(TFolderPickerRequest{}).has_value());
  EXPECT_EQ(watch.Opened(), 1);
}

}  // namespace
