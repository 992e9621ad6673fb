#include "framework/controls/form.h"

#include <gtest/gtest.h>

#include <memory>

#include "framework/core/application.h"
#include "framework/core/recording_dialogs.h"
#include "framework/core/reference_binding.h"
#include "tests/framework/ui/ui_test_window.h"

namespace {

class FormTest : public ::testing::Test {
 protected:
  void TearDown() override { Application.Shutdown(); }

  TRecordingDialogs dialogs;
  TDialogsScope scope{dialogs};
};

TEST_F(FormTest, TheDescribedWindowHasItsClientSizeFrameCaptionAndIcon) {
  auto window = std::make_unique<TTestWindow>(nullptr);
  EXPECT_EQ(window->Caption(), "VELDATEST Mergetool");
  EXPECT_EQ(window->BorderStyle(), TFormBorderStyle::bsToolWindow);
  EXPECT_EQ(window->Peer().ClientSize(), (TSize{476, 536}));
  // One 32x32 image in 16 colours.
  EXPECT_EQ(window->Icon().Width(), 32);
  EXPECT_EQ(window->Icon().Height(), 32);
  EXPECT_EQ(window->Icon().BitsPerPixel(), 4);
  // The references into modules that do not exist yet wait.
  EXPECT_EQ(PendingReferenceNames().size(), 2u);
}

TEST_F(FormTest, AlignedPanelsDivideTheClientArea) {
  TTestWindow window(nullptr);
  EXPECT_EQ(window.SimplePanel1->Bounds(), (TRect{0, 0, 476, 137}));
  EXPECT_EQ(window.SimplePanel2->Bounds(), (TRect{0, 137, 476, 80}));
  EXPECT_EQ(window.SimplePanel3->Bounds(), (TRect{0, 476, 476, 60}));
  EXPECT_EQ(window.SimplePanel4->Bounds(), (TRect{0, 217, 476, 259}));
  EXPECT_EQ(window.ButtonCANCEL->Parent(), window.SimplePanel3);
  EXPECT_EQ(window.ButtonCANCEL->Bounds(), (TRect{39, 14, 92, 25}));
  EXPECT_EQ(window.DirectoryDlg->Bounds(), (TRect{16, 45, 433, 21}));
  EXPECT_EQ(window.ButtonSTART->Owner(), &window);

  // Hiding a top panel lets the client panel grow into its room.
  window.SimplePanel2->SetVisible(false);
  EXPECT_EQ(window.SimplePanel4->Bounds(), (TRect{0, 137, 476, 339}));
  window.SimplePanel2->SetVisible(true);
  EXPECT_EQ(window.SimplePanel4->Bounds(), (TRect{0, 217, 476, 259}));
}

TEST_F(FormTest, ButtonsShowAsTheirVisibilitySays) {
  TTestWindow window(nullptr);
  window.Show();
  EXPECT_FALSE(window.ButtonSTART->Showing());
  EXPECT_TRUE(window.ButtonCANCEL->Showing());
  EXPECT_FALSE(window.ButtonQUIT->Showing());
  window.ButtonSTART->SetVisible(true);
  EXPECT_TRUE(window.ButtonSTART->Showing());
  window.Hide();
  EXPECT_FALSE(window.ButtonCANCEL->Showing());
}

TEST_F(FormTest, TheFocusMovesThroughTheControlsPanelByPanelSkippingTheHidden) {
  TTestWindow window(nullptr);
  EXPECT_EQ(window.FocusChain(), (std::vector<TControl*>{window.DirectoryDlg, window.ButtonSTART, window.ButtonCANCEL,
                                                         window.ButtonQUIT, window.CheckBox1}));
  window.Show();
  window.DirectoryDlg->SetFocus();
  std::vector<TControl*> walked;
  for (int i = 0; i < 4; ++i) {
    window.SelectNext(true);
    walked.push_back(window.ActiveControl());
  }
  EXPECT_EQ(walked, (std::vector<TControl*>{window.ButtonCANCEL, window.CheckBox1, window.DirectoryDlg,
                                            window.ButtonCANCEL}));
  window.SelectNext(false);
  EXPECT_EQ(window.ActiveControl(), window.DirectoryDlg);
  window.Hide();
}

TEST_F(FormTest, FontsAreTahomaElevenPixelsAndBoldWhereGiven) {
  TTestWindow window(nullptr);
  const TResolvedFont font = window.Label1->ResolvedFont();
  EXPECT_EQ(font.name, "Tahoma");
  EXPECT_EQ(font.pixelHeight, 11);
  EXPECT_FALSE(font.Bold());
  EXPECT_EQ(font.color, TColor::System(TSystemColor::WindowText));
  EXPECT_TRUE(window.LblDMactive->ResolvedFont().Bold());
  EXPECT_EQ(window.LblDMactive->ResolvedFont().pixelHeight, 11);
  // A label sizes itself to its text; a fixed-size one keeps its size.
  const TSize text = window.Label1->TextPeer().TextExtent("Aktive Datenbank");
  EXPECT_EQ(window.Label1->Bounds(), (TRect{16, 16, text.width, text.height}));
  EXPECT_EQ(window.LblDMactive->Bounds(), (TRect{160, 16, 289, 15}));
}

TEST_F(FormTest, TheCloseBoxOfTheMainWindowEndsTheMessageLoop) {
  TTestWindow* window = nullptr;
  Application.CreateForm(window);
  ASSERT_EQ(Application.MainForm(), window);
  window->Show();
  window->Peer().CloseBox();
  Application.Run();
  EXPECT_TRUE(Application.Terminated());
  // Not hidden by the close; shutdown takes it down.
  EXPECT_TRUE(window->Visible());
  Application.Shutdown();
  EXPECT_EQ(Application.MainForm(), nullptr);
}

TEST_F(FormTest, AClickHandlerThatClosesTheMainWindowEndsTheLoopToo) {
  TTestWindow* window = nullptr;
  Application.CreateForm(window);
  window->ButtonCANCEL->ButtonPeer().Click();
  Application.Run();
  EXPECT_EQ(window->events, std::vector<std::string>{"CANCEL"});
  EXPECT_TRUE(Application.Terminated());
}

TEST_F(FormTest, AFailingCloseQueryIsShownAndTheWindowStays) {
  TTestWindow window(nullptr);
  window.SetOnCloseQuery([](TComponent*, bool&) { throw Exception("not now"); });
  window.Show();
  window.Peer().CloseBox();
  EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{"not now."});
  EXPECT_TRUE(window.Visible());
  window.Hide();
}

}  // namespace
