#include <gtest/gtest.h>

#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

#include "framework/core/application.h"
#include "framework/core/recording_dialogs.h"
#include "framework/ui/simple_panel.h"
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
  window.ButtonSTART->ButtonWidget()->click();
  EXPECT_EQ(window.events, std::vector<std::string>{"START"});
  // A handler's exception is shown and goes no further; the next click works.
  window.failWith = "Merge failed";
  window.ButtonSTART->ButtonWidget()->click();
  window.ButtonSTART->ButtonWidget()->click();
  EXPECT_EQ(window.events, (std::vector<std::string>{"START", "START", "START"}));
  EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{"Merge failed."});
  // Neither default nor cancel button of the window.
  EXPECT_FALSE(window.ButtonSTART->ButtonWidget()->isDefault());
  EXPECT_FALSE(window.ButtonSTART->ButtonWidget()->autoDefault());
}

TEST_F(ControlsTest, TheStaticTextShowsItsFourLines) {
  QString shown = static_cast<QLabel*>(window.StaticText1->Widget())->text();
  EXPECT_EQ(shown.split('\n').size(), 4);
  EXPECT_EQ(shown.split('\n')[0].toStdString(), "Ich bestätige von den Dateien der aktiven");
  EXPECT_EQ(shown.split('\n')[3].toStdString(), "Sicherungskopie erstellt zu haben.");
  // Fixed size.
  EXPECT_EQ(window.StaticText1->Bounds(), QRect(128, 110, 209, 59));
}

TEST_F(ControlsTest, TheCheckBoxStartsClearAndKnowsTwoStates) {
  QCheckBox* box = window.CheckBox1->CheckBoxWidget();
  EXPECT_FALSE(window.CheckBox1->Checked());
  EXPECT_FALSE(box->isTristate());
  EXPECT_EQ(box->text().toStdString(), "Zustimmung");
  box->click();
  EXPECT_TRUE(window.CheckBox1->Checked());
  box->click();
  EXPECT_FALSE(window.CheckBox1->Checked());
}

TEST_F(ControlsTest, LabelsStripAcceleratorMarksUnlessToldNot) {
  EXPECT_EQ(StripAccelChars("&Datei"), "Datei");
  EXPECT_EQ(StripAccelChars("Drag && Drop"), "Drag & Drop");
  EXPECT_EQ(StripAccelChars("end&"), "end");
  TLabel label(nullptr);
  label.SetCaption("A&B");
  EXPECT_EQ(static_cast<QLabel*>(label.Widget())->text().toStdString(), "AB");
  label.SetShowAccelChar(false);
  EXPECT_EQ(static_cast<QLabel*>(label.Widget())->text().toStdString(), "A&B");
  // Plain text: nothing is read as markup.
  label.SetCaption("<b>x</b>");
  EXPECT_EQ(static_cast<QLabel*>(label.Widget())->textFormat(), Qt::PlainText);
}

TEST_F(ControlsTest, ControlsMadeInCodeAlignAsTheyArePlaced) {
  auto* top = new TSimplePanel(&window);
  top->SetHeight(30);
  top->SetAlign(TAlign::alTop);
  top->SetParent(window.SimplePanel4);
  auto* rest = new TSimplePanel(&window);
  rest->SetAlign(TAlign::alClient);
  rest->SetParent(window.SimplePanel4);
  EXPECT_EQ(top->Bounds(), QRect(0, 0, 476, 30));
  EXPECT_EQ(rest->Bounds(), QRect(0, 30, 476, 229));
  top->SetHeight(50);
  EXPECT_EQ(rest->Bounds(), QRect(0, 50, 476, 209));
  // Destroying a panel leaves its controls without a parent, not destroyed.
  auto* child = new TLabel(&window);
  child->SetParent(rest);
  delete rest;
  EXPECT_EQ(child->Parent(), nullptr);
  EXPECT_EQ(child->Widget()->parentWidget(), nullptr);
  EXPECT_EQ(top->Bounds(), QRect(0, 0, 476, 50));
}

TEST_F(ControlsTest, APanelCannotHoldAControlOfAnotherKind) {
  TLabel label(nullptr);
  TButton button(nullptr);
  EXPECT_THROW(button.SetParentComponent(&label), EComponentError);
}

}  // namespace
