#include "framework/ui/browse_edit.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QKeyEvent>
#include <QToolButton>

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
  window.CheckBox1->Widget()->setFocus();
  bool focusedDuringPick = false;
  dialogs.onPickFolder = [&](const TFolderPickerRequest&) {
    focusedDuringPick = window.Widget()->focusWidget() == window.DirectoryDlg->LineEdit();
  };
  dialogs.folderAnswers.push_back(std::string(" \t/data/old veld\r\n"));
  window.DirectoryDlg->FolderButton()->click();
  EXPECT_TRUE(focusedDuringPick);
  EXPECT_EQ(window.DirectoryDlg->Path(), "/data/old veld");
  EXPECT_EQ(window.events, std::vector<std::string>{"change /data/old veld"});
}

TEST_F(BrowseEditTest, ACancelledPickerChangesNothing) {
  window.DirectoryDlg->SetPath("C:\\old");
  dialogs.folderAnswers.push_back(std::nullopt);
  window.DirectoryDlg->FolderButton()->click();
  EXPECT_EQ(window.DirectoryDlg->Path(), "C:\\old");
  EXPECT_TRUE(window.events.empty());
  EXPECT_EQ(dialogs.folderRequests.size(), 1u);
}

TEST_F(BrowseEditTest, TypingRaisesNoEvent) {
  QLineEdit* edit = window.DirectoryDlg->LineEdit();
  edit->setFocus();
  for (QChar c : QString("/tmp")) {
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
    QApplication::sendEvent(edit, &press);
  }
  QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
  QApplication::sendEvent(edit, &enter);
  EXPECT_EQ(window.DirectoryDlg->Path(), "/tmp");
  EXPECT_TRUE(window.events.empty());
  EXPECT_TRUE(dialogs.folderRequests.empty());
}

TEST_F(BrowseEditTest, AFailingHandlerIsShownAndTheFieldKeepsTheChoice) {
  window.failWith = "dPatient: Cannot perform this operation on an open dataset";
  dialogs.folderAnswers.push_back(std::string("/elsewhere"));
  window.DirectoryDlg->FolderButton()->click();
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
  QToolButton* button = window.DirectoryDlg->FolderButton();
  QLineEdit* edit = window.DirectoryDlg->LineEdit();
  EXPECT_EQ(button->parentWidget(), edit);
  EXPECT_EQ(button->width(), 18);
  EXPECT_LE(button->geometry().right(), edit->width() - 1);
  EXPECT_GE(button->geometry().right(), edit->width() - 4);
  EXPECT_EQ(button->focusPolicy(), Qt::NoFocus);
}

TEST(TrimBlanksAndControlsTest, TrimsBothEndsOnly) {
  EXPECT_EQ(TrimBlanksAndControls("\x01 a b \x1f"), "a b");
  EXPECT_EQ(TrimBlanksAndControls(" \t\r\n"), "");
  EXPECT_EQ(TrimBlanksAndControls("C:\\old\\"), "C:\\old\\");
  EXPECT_EQ(TrimBlanksAndControls("ä "), "ä");
}

}  // namespace
