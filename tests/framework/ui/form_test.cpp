#include "framework/ui/form.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>
#include <QWidget>
#include <memory>

#include "framework/core/application.h"
#include "framework/core/recording_dialogs.h"
#include "framework/core/reference_binding.h"
#include "framework/ui/font.h"
#include "tests/framework/ui/ui_test_window.h"

namespace {

class FormTest : public ::testing::Test {
 protected:
  void TearDown() override { Application.Shutdown(); }

  TRecordingDialogs dialogs;
  TDialogsScope scope{dialogs};
};

TEST_F(FormTest, TheDescribedWindowHasItsFixedClientSizeToolFrameAndCaption) {
  auto window = std::make_unique<TTestWindow>(nullptr);
  QWidget* widget = window->Widget();
  EXPECT_EQ(widget->windowTitle().toStdString(), "VELDATEST Mergetool");
  EXPECT_EQ(widget->size(), QSize(476, 536));
  // Not resizable: the smallest and the largest size are the client size.
  EXPECT_EQ(widget->minimumSize(), QSize(476, 536));
  EXPECT_EQ(widget->maximumSize(), QSize(476, 536));
  Qt::WindowFlags flags = widget->windowFlags();
  EXPECT_EQ(widget->windowType(), Qt::Tool);
  EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
  EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
  EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
  EXPECT_TRUE(widget->testAttribute(Qt::WA_QuitOnClose));
  // The references into modules that do not exist yet wait.
  EXPECT_EQ(PendingReferenceNames().size(), 2u);
}

TEST_F(FormTest, AlignedPanelsDivideTheClientArea) {
  TTestWindow window(nullptr);
  EXPECT_EQ(window.SimplePanel1->Bounds(), QRect(0, 0, 476, 137));
  EXPECT_EQ(window.SimplePanel2->Bounds(), QRect(0, 137, 476, 80));
  EXPECT_EQ(window.SimplePanel3->Bounds(), QRect(0, 476, 476, 60));
  EXPECT_EQ(window.SimplePanel4->Bounds(), QRect(0, 217, 476, 259));
  EXPECT_EQ(window.SimplePanel4->Widget()->geometry(), QRect(0, 217, 476, 259));
  // Controls sit in their panel's client area.
  EXPECT_EQ(window.ButtonCANCEL->Widget()->parentWidget(), window.SimplePanel3->Widget());
  EXPECT_EQ(window.ButtonCANCEL->Widget()->geometry(), QRect(39, 14, 92, 25));
  EXPECT_EQ(window.DirectoryDlg->Widget()->geometry(), QRect(16, 45, 433, 21));
  EXPECT_EQ(window.ButtonSTART->Owner(), &window);

  // Hiding a top panel lets the client panel grow into its room.
  window.SimplePanel2->SetVisible(false);
  EXPECT_EQ(window.SimplePanel4->Bounds(), QRect(0, 137, 476, 339));
  window.SimplePanel2->SetVisible(true);
  EXPECT_EQ(window.SimplePanel4->Bounds(), QRect(0, 217, 476, 259));
}

TEST_F(FormTest, ButtonsKeepTheirVisibilityAndCaptions) {
  TTestWindow window(nullptr);
  window.Show();
  EXPECT_FALSE(window.ButtonSTART->Widget()->isVisible());
  EXPECT_TRUE(window.ButtonCANCEL->Widget()->isVisible());
  EXPECT_FALSE(window.ButtonQUIT->Widget()->isVisible());
  EXPECT_EQ(window.ButtonQUIT->ButtonWidget()->text().toStdString(), "Beenden");
  window.ButtonSTART->SetVisible(true);
  EXPECT_TRUE(window.ButtonSTART->Widget()->isVisible());
  window.Hide();
}

TEST_F(FormTest, TheTabKeyVisitsTheFocusableControlsPanelByPanel) {
  TTestWindow window(nullptr);
  std::vector<QWidget*> expected = {window.DirectoryDlg->LineEdit(), window.ButtonSTART->Widget(),
                                    window.ButtonCANCEL->Widget(), window.ButtonQUIT->Widget(),
                                    window.CheckBox1->Widget()};
  EXPECT_EQ(window.FocusChain(), expected);
  // Qt's own chain, as the Tab key walks it: invisible controls are skipped.
  window.Show();
  std::vector<QWidget*> walked;
  QWidget* start = window.DirectoryDlg->LineEdit();
  QWidget* current = start;
  do {
    if ((current->focusPolicy() & Qt::TabFocus) && current->isVisible()) walked.push_back(current);
    current = current->nextInFocusChain();
  } while (current != start && walked.size() < 20);
  EXPECT_EQ(walked, (std::vector<QWidget*>{window.DirectoryDlg->LineEdit(), window.ButtonCANCEL->Widget(),
                                           window.CheckBox1->Widget()}));
  EXPECT_EQ(window.DirectoryDlg->FolderButton()->focusPolicy(), Qt::NoFocus);
  window.Hide();
}

TEST_F(FormTest, TheWindowIsCentredOnTheDesktopWhenFirstShown) {
  TTestWindow window(nullptr);
  window.Show();
  QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  QPoint centre = window.Widget()->frameGeometry().center();
  EXPECT_LE(std::abs(centre.x() - area.center().x()), 1);
  EXPECT_LE(std::abs(centre.y() - area.center().y()), 1);
  window.Hide();
}

TEST_F(FormTest, FontsAreTahomaElevenPixelsAndBoldWhereGiven) {
  TTestWindow window(nullptr);
  QFont font = window.Label1->Widget()->font();
  EXPECT_EQ(font.pixelSize(), 11);
  if (TahomaAvailable()) {
    EXPECT_EQ(QFontInfo(font).family().toStdString(), "Tahoma");
  }
  EXPECT_FALSE(font.bold());
  EXPECT_TRUE(window.LblDMactive->Widget()->font().bold());
  EXPECT_EQ(window.LblDMactive->Widget()->font().pixelSize(), 11);
  // A label sizes itself to its text; a fixed-size one keeps its size.
  QFontMetrics metrics(font);
  EXPECT_EQ(window.Label1->Width(), metrics.horizontalAdvance("Aktive Datenbank"));
  EXPECT_EQ(window.Label1->Height(), metrics.height());
  EXPECT_EQ(window.LblDMactive->Bounds(), QRect(160, 16, 289, 15));
}

TEST_F(FormTest, ClosingTheMainWindowEndsTheMessageLoop) {
  TTestWindow* window = nullptr;
  Application.CreateForm(window);
  ASSERT_EQ(Application.MainForm(), window);
  // The close box, once the loop runs: the window asks the form, which terminates.
  QMetaObject::invokeMethod(window->Widget(), [window] { window->Widget()->close(); }, Qt::QueuedConnection);
  Application.Run();
  EXPECT_TRUE(Application.Terminated());
  // Not hidden by the close; shutdown takes it down.
  EXPECT_TRUE(window->Widget()->isVisible());
  Application.Shutdown();
  EXPECT_EQ(Application.MainForm(), nullptr);
}

TEST_F(FormTest, AClickHandlerThatClosesTheMainWindowEndsTheLoopToo) {
  TTestWindow* window = nullptr;
  Application.CreateForm(window);
  QMetaObject::invokeMethod(window->Widget(), [window] { window->ButtonCANCEL->ButtonWidget()->click(); },
                            Qt::QueuedConnection);
  Application.Run();
  EXPECT_EQ(window->events, std::vector<std::string>{"CANCEL"});
  EXPECT_TRUE(Application.Terminated());
}

TEST_F(FormTest, AFailingCloseQueryIsShownAndTheWindowStays) {
  TTestWindow window(nullptr);
  window.SetOnCloseQuery([](TComponent*, bool&) { throw Exception("not now"); });
  window.Show();
  window.Widget()->close();
  EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{"not now."});
  EXPECT_TRUE(window.Widget()->isVisible());
  window.Hide();
}

}  // namespace
