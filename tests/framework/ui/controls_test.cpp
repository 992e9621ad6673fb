#include <gtest/gtest.h>

#include "framework/core/application.h"
#include "framework/core/recording_dialogs.h"
#include "framework/controls/simple_panel.h"
#include "tests/framework/ui/ui_test_window.h"

namespace {

class ControlsTest : public ::testing::Test {
 protected:
  TRecordingDialogs dialogs;
  TDialogsScope scope{dialogs};
  TTestWindow window{nullptr};
};

TEST_F(ControlsTest, AButtonClickRunsItsHandlerThroughTheBoundary) {
  window.ButtonSTART->SetVisible(true);
  window.ButtonSTART->ButtonPeer().Click();
  EXPECT_EQ(window.events, std::vector<std::string>{"START"});
  // A handler's exception is shown and goes no further; the next click works.
  window.failWith = "Merge failed";
  window.ButtonSTART->ButtonPeer().Click();
  window.ButtonSTART->ButtonPeer().Click();
  EXPECT_EQ(window.events, (std::vector<std::string>{"START", "START", "START"}));
  EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{"Merge failed."});
}

TEST_F(ControlsTest, TheStaticTextShowsItsFourLines) {
  const std::string shown = window.StaticText1->TextPeer().Text();
  EXPECT_EQ(shown,
            "Ich bestätige von den Dateien der aktiven\nDatenbank und von den Dateien der alten\n"
            "einzumischenden Datenbank jeweils eine\nSicherungskopie erstellt zu haben.");
  // Fixed size.
  EXPECT_EQ(window.StaticText1->Bounds(), (TRect{128, 110, 209, 59}));
}

TEST_F(ControlsTest, TheCheckBoxStartsClearAndKnowsTwoStates) {
  EXPECT_FALSE(window.CheckBox1->Checked());
  EXPECT_EQ(window.CheckBox1->Caption(), "Zustimmung");
  window.CheckBox1->CheckBoxPeer().Click();
  EXPECT_TRUE(window.CheckBox1->Checked());
  window.CheckBox1->CheckBoxPeer().Click();
  EXPECT_FALSE(window.CheckBox1->Checked());
}

TEST_F(ControlsTest, LabelsStripAcceleratorMarksUnlessToldNot) {
  EXPECT_EQ(StripAccelChars("&Datei"), "Datei");
  EXPECT_EQ(StripAccelChars("Drag && Drop"), "Drag & Drop");
  EXPECT_EQ(StripAccelChars("end&"), "end");
  TLabel label(nullptr);
  label.SetCaption("A&B");
  EXPECT_EQ(label.TextPeer().Text(), "AB");
  label.SetShowAccelChar(false);
  EXPECT_EQ(label.TextPeer().Text(), "A&B");
}

TEST_F(ControlsTest, ControlsMadeInCodeAlignAsTheyArePlaced) {
  auto* top = new TSimplePanel(&window);
  top->SetHeight(30);
  top->SetAlign(TAlign::alTop);
  top->SetParent(window.SimplePanel4);
  auto* rest = new TSimplePanel(&window);
  rest->SetAlign(TAlign::alClient);
  rest->SetParent(window.SimplePanel4);
  EXPECT_EQ(top->Bounds(), (TRect{0, 0, 476, 30}));
  EXPECT_EQ(rest->Bounds(), (TRect{0, 30, 476, 229}));
  top->SetHeight(50);
  EXPECT_EQ(rest->Bounds(), (TRect{0, 50, 476, 209}));
  // Destroying a panel leaves its controls without a parent, not destroyed.
  auto* child = new TLabel(&window);
  child->SetParent(rest);
  delete rest;
  EXPECT_EQ(child->Parent(), nullptr);
  EXPECT_FALSE(child->Showing());
  EXPECT_EQ(top->Bounds(), (TRect{0, 0, 476, 50}));
}

TEST_F(ControlsTest, APanelCannotHoldAControlOfAnotherKind) {
  TLabel label(nullptr);
  TButton button(nullptr);
  EXPECT_THROW(button.SetParentComponent(&label), EComponentError);
}

}  // namespace
