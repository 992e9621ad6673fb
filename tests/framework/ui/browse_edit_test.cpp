#include "framework/controls/browse_edit.h"

#include <gtest/gtest.h>

#include "framework/core/recording_dialogs.h"
#include "tests/framework/ui/ui_test_window.h"

namespace {

class BrowseEditTest : public ::testing::Test {
 protected:
  void SetUp() override { window.Show(); }
  void TearDown() override { window.Hide(); }

  TRecordingDialogs dialogs;
  TDialogsScope scope{dialogs};
  TTestWindow window{nullptr};
};

TEST_F(BrowseEditTest, AConfirmedFolderReplacesTheTextTrimmedAndRaisesTheEvent) {
  window.DirectoryDlg->SetPath("typed by hand");
  window.CheckBox1->SetFocus();
  ASSERT_TRUE(window.CheckBox1->Focused());
  bool focusedDuringPick = false;
  dialogs.onPickFolder = [&](const TFolderPickerRequest&) { focusedDuringPick = window.DirectoryDlg->Focused(); };
  dialogs.folderAnswers.push_back(std::string(" \t/data/old veld\r\n"));
  window.DirectoryDlg->EditPeer().ClickButton();
  EXPECT_TRUE(focusedDuringPick);
  EXPECT_EQ(window.DirectoryDlg->Path(), "/data/old veld");
  EXPECT_EQ(window.events, std::vector<std::string>{"change /data/old veld"});
  // The button took no focus of its own.
  EXPECT_TRUE(window.DirectoryDlg->Focused());
}

TEST_F(BrowseEditTest, ACancelledPickerChangesNothing) {
  window.DirectoryDlg->SetPath("C:\\old");
  dialogs.folderAnswers.push_back(std::nullopt);
  window.DirectoryDlg->EditPeer().ClickButton();
  EXPECT_EQ(window.DirectoryDlg->Path(), "C:\\old");
  EXPECT_TRUE(window.events.empty());
  EXPECT_EQ(dialogs.folderRequests.size(), 1u);
}

TEST_F(BrowseEditTest, TypingRaisesNoEvent) {
  window.DirectoryDlg->SetFocus();
  window.DirectoryDlg->EditPeer().TypeText("C:\\tmp äö\n");
  EXPECT_EQ(window.DirectoryDlg->Path(), "C:\\tmp äö");
  EXPECT_TRUE(window.events.empty());
  EXPECT_TRUE(dialogs.folderRequests.empty());
}

TEST_F(BrowseEditTest, AFailingHandlerIsShownAndTheFieldKeepsTheChoice) {
  window.failWith = "dPatient: Cannot perform this operation on an open dataset";
  dialogs.folderAnswers.push_back(std::string("/elsewhere"));
  window.DirectoryDlg->EditPeer().ClickButton();
  EXPECT_EQ(window.DirectoryDlg->Path(), "/elsewhere");
  EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{"dPatient: Cannot perform this operation on an open dataset."});
}

TEST_F(BrowseEditTest, ThePickerOffersFileSystemFoldersFromTheTopWithoutAStatusLine) {
  dialogs.folderAnswers.push_back(std::string("/first"));
  window.DirectoryDlg->ButtonClick();
  window.DirectoryDlg->ButtonClick();
  ASSERT_EQ(dialogs.folderRequests.size(), 2u);
  for (const TFolderPickerRequest& request : dialogs.folderRequests) {
    EXPECT_TRUE(request.fileSystemDirsOnly);
    EXPECT_FALSE(request.showPath);  // doShowPath writes into a status line there is not
    EXPECT_FALSE(request.enableOkAtStart);
    EXPECT_EQ(request.startFolder, "");  // no preselected folder, also after a choice
    EXPECT_EQ(request.title, "");
  }
}

TEST_F(BrowseEditTest, TheFolderButtonSitsAtTheRightEndInsideTheField) {
  const TRect button = window.DirectoryDlg->EditPeer().ButtonBounds();
  const int width = window.DirectoryDlg->Width();
  EXPECT_EQ(button.width, 18);
  EXPECT_LE(button.Right(), width);
  EXPECT_GE(button.Right(), width - 4);
  EXPECT_GE(button.top, 0);
  EXPECT_LE(button.Bottom(), window.DirectoryDlg->Height());
  EXPECT_EQ(window.DirectoryDlg->CaretBlinkTime(), 530);
}

TEST(TrimBlanksAndControlsTest, TrimsBothEndsOnly) {
  EXPECT_EQ(TrimBlanksAndControls("\x01 a b \x1f"), "a b");
  EXPECT_EQ(TrimBlanksAndControls(" \t\r\n"), "");
  EXPECT_EQ(TrimBlanksAndControls("C:\\old\\"), "C:\\old\\");
  EXPECT_EQ(TrimBlanksAndControls("ä "), "ä");
}

}  // namespace
