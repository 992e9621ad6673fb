// The Qt dialogs answered by events queued before they open: each test
// queues what the user would do, and the dialog's own loop carries it out.
#include "framework/ui/qt/qt_dialogs.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMetaObject>
#include <QPushButton>
#include <filesystem>
#include <functional>

#include "framework/core/application.h"
#include "framework/core/message_dialog.h"
#include "tests/support/test_support.h"

namespace {

// Runs `action` on the modal dialog once it is open.
void WhenModalOpens(std::function<void(QWidget*)> action) {
  QMetaObject::invokeMethod(
      qApp, [action] { action(QApplication::activeModalWidget()); }, Qt::QueuedConnection);
}

struct Seen {
  std::string title, text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  int buttons = 0;
  bool okIsDefault = false, okIsEscape = false;
};

Seen Inspect(QWidget* widget) {
  Seen seen;
  auto* box = qobject_cast<QMessageBox*>(widget);
  if (box == nullptr) return seen;
  seen.title = box->windowTitle().toStdString();
  seen.text = box->text().toStdString();
  seen.icon = box->icon();
  seen.buttons = static_cast<int>(box->buttons().size());
  seen.okIsDefault = box->defaultButton() == box->button(QMessageBox::Ok);
  seen.okIsEscape = box->escapeButton() == box->button(QMessageBox::Ok);
  return seen;
}

class QtDialogsTest : public ::testing::Test {
 protected:
  TQtDialogs dialogs;
  TDialogsScope scope{dialogs};
};

TEST_F(QtDialogsTest, TheExceptionBoxShowsTextTitleErrorIconAndOneOk) {
  Application.SetTitle("Merge");
  Seen seen;
  WhenModalOpens([&](QWidget* modal) {
    seen = Inspect(modal);
    static_cast<QMessageBox*>(modal)->button(QMessageBox::Ok)->click();
  });
  Application.ShowException("An error occurred\nwhile attempting to open (error $2108)");
  Application.SetTitle("");
  EXPECT_EQ(seen.title, "Merge");
  EXPECT_EQ(seen.text, "An error occurred\nwhile attempting to open (error $2108)");
  EXPECT_EQ(seen.icon, QMessageBox::Critical);
  EXPECT_EQ(seen.buttons, 1);
}

TEST_F(QtDialogsTest, TheMessageDialogClosesWithEscapeAndAnswersOk) {
  Seen seen;
  bool modalForAll = false;
  WhenModalOpens([&](QWidget* modal) {
    seen = Inspect(modal);
    modalForAll = modal->windowModality() == Qt::ApplicationModal;
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(modal, &escape);
  });
  TDialogButton answer = MessageDlg("Alte Daten nicht in diesem Verzeichnis, unvollständig oder beschädigt!",
                                    TMsgDlgType::mtError, {TMsgDlgBtn::mbOK}, 0);
  EXPECT_EQ(answer, TDialogButton::OK);
  EXPECT_EQ(seen.title, "Error");
  EXPECT_EQ(seen.text, "Alte Daten nicht in diesem Verzeichnis, unvollständig oder beschädigt!");
  EXPECT_EQ(seen.icon, QMessageBox::Critical);
  EXPECT_TRUE(seen.okIsDefault);
  EXPECT_TRUE(seen.okIsEscape);
  EXPECT_TRUE(modalForAll);
}

TEST_F(QtDialogsTest, TheFolderPickerIsQtsOwnAndReturnsTheChosenAbsolutePath) {
  px::test::TempDir dir;
  std::filesystem::create_directory(dir.path() / "old");
  bool ownDialog = false, directoriesOnly = false;
  WhenModalOpens([&](QWidget* modal) {
    auto* picker = qobject_cast<QFileDialog*>(modal);
    if (picker == nullptr) return;
    ownDialog = picker->testOption(QFileDialog::DontUseNativeDialog);
    directoriesOnly = picker->fileMode() == QFileDialog::Directory && picker->testOption(QFileDialog::ShowDirsOnly);
    picker->setDirectory(QString::fromStdString(dir.path().string()));
    picker->selectFile("old");
    static_cast<QDialog*>(picker)->accept();  // the OK button's slot
  });
  std::optional<std::string> chosen = Dialogs().PickFolder(TFolderPickerRequest{});
  EXPECT_TRUE(ownDialog);
  EXPECT_TRUE(directoriesOnly);
  ASSERT_TRUE(chosen.has_value());
  EXPECT_EQ(std::filesystem::path(*chosen), std::filesystem::canonical(dir.path() / "old"));
}

TEST_F(QtDialogsTest, ACancelledFolderPickerReturnsNothing) {
  WhenModalOpens([](QWidget* modal) {
    if (auto* picker = qobject_cast<QFileDialog*>(modal)) picker->reject();
  });
  EXPECT_FALSE(Dialogs().PickFolder(TFolderPickerRequest{}).has_value());
}

}  // namespace
