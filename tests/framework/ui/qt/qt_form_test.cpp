// What the Qt back end makes of the window: the tool window's flags and fixed
// size, Qt's own focus chain, the position on the screen, the fonts Qt
// resolves, the icon, the caret's flash time and the widgets' placement.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFontInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyleHints>
#include <QToolButton>
#include <QWidget>
#include <memory>

#include "framework/core/application.h"
#include "framework/core/recording_dialogs.h"
#include "framework/ui/qt/qt_control_peer.h"
#include "framework/ui/qt/qt_fonts.h"
#include "framework/ui/qt/qt_form_peer.h"
#include "tests/framework/ui/ui_test_window.h"

namespace {

QWidget* WidgetOf(const TControl& control) { return dynamic_cast<QtWidgetPeer&>(control.Peer()).Widget(); }

class QtFormTest : public ::testing::Test {
 protected:
  TRecordingDialogs dialogs;
  TDialogsScope scope{dialogs};
  TTestWindow window{nullptr};
  QWidget* widget = QtFormPeer::WidgetOf(window);
};

TEST_F(QtFormTest, AToolWindowOfFixedSizeWhoseCloseEndsTheProgram) {
  EXPECT_EQ(widget->windowTitle().toStdString(), "VELDATEST Mergetool");
  EXPECT_EQ(widget->size(), QSize(476, 536));
  EXPECT_EQ(widget->minimumSize(), QSize(476, 536));
  EXPECT_EQ(widget->maximumSize(), QSize(476, 536));
  Qt::WindowFlags flags = widget->windowFlags();
  EXPECT_EQ(widget->windowType(), Qt::Tool);
  EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
  EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
  EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
  EXPECT_TRUE(widget->testAttribute(Qt::WA_QuitOnClose));
  // The icon is the 32x32 image of the description.
  const QImage icon = widget->windowIcon().pixmap(32, 32).toImage().convertToFormat(QImage::Format_ARGB32);
  ASSERT_EQ(icon.size(), QSize(32, 32));
  int same = 0;
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) same += icon.pixel(x, y) == window.Icon().Image().Pixel(x, y);
  }
  EXPECT_EQ(same, 32 * 32);
}

TEST_F(QtFormTest, WidgetsSitInTheirPanelsAndNoButtonIsTheDefault) {
  EXPECT_EQ(WidgetOf(*window.ButtonCANCEL)->parentWidget(), WidgetOf(*window.SimplePanel3));
  EXPECT_EQ(WidgetOf(*window.ButtonCANCEL)->geometry(), QRect(39, 14, 92, 25));
  EXPECT_EQ(WidgetOf(*window.SimplePanel4)->geometry(), QRect(0, 217, 476, 259));
  auto* start = static_cast<QPushButton*>(WidgetOf(*window.ButtonSTART));
  EXPECT_FALSE(start->isDefault());
  EXPECT_FALSE(start->autoDefault());
  EXPECT_FALSE(static_cast<QCheckBox*>(WidgetOf(*window.CheckBox1))->isTristate());
  EXPECT_EQ(static_cast<QLabel*>(WidgetOf(*window.Label1))->textFormat(), Qt::PlainText);
  auto* edit = static_cast<QLineEdit*>(WidgetOf(*window.DirectoryDlg));
  EXPECT_EQ(edit->findChild<QToolButton*>()->focusPolicy(), Qt::NoFocus);
}

TEST_F(QtFormTest, TheTabKeyWalksQtsChainInTabOrderSkippingTheHidden) {
  window.Show();
  std::vector<QWidget*> walked;
  QWidget* start = WidgetOf(*window.DirectoryDlg);
  QWidget* current = start;
  do {
    if ((current->focusPolicy() & Qt::TabFocus) && current->isVisible()) walked.push_back(current);
    current = current->nextInFocusChain();
  } while (current != start && walked.size() < 20);
  EXPECT_EQ(walked, (std::vector<QWidget*>{WidgetOf(*window.DirectoryDlg), WidgetOf(*window.ButtonCANCEL),
                                           WidgetOf(*window.CheckBox1)}));
  window.Hide();
}

TEST_F(QtFormTest, TheWindowIsCentredOnTheDesktopWhenFirstShown) {
  window.Show();
  QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  QPoint centre = widget->frameGeometry().center();
  EXPECT_LE(std::abs(centre.x() - area.center().x()), 1);
  EXPECT_LE(std::abs(centre.y() - area.center().y()), 1);
  window.Hide();
}

TEST_F(QtFormTest, FontsAreTahomaWhereTheSystemHasIt) {
  QFont font = WidgetOf(*window.Label1)->font();
  EXPECT_EQ(font.pixelSize(), 11);
  if (TahomaAvailable()) {
    EXPECT_EQ(QFontInfo(font).family().toStdString(), "Tahoma");
  }
  EXPECT_TRUE(WidgetOf(*window.LblDMactive)->font().bold());
  QFontMetrics metrics(font);
  EXPECT_EQ(window.Label1->Width(), metrics.horizontalAdvance("Aktive Datenbank"));
  EXPECT_EQ(window.Label1->Height(), metrics.height());
}

TEST_F(QtFormTest, TheCaretBlinksEvery530MillisecondsWhileTheFieldHasTheFocus) {
  const int own = QGuiApplication::styleHints()->cursorFlashTime();
  ASSERT_NE(own, 1060);
  window.Show();
  window.CheckBox1->SetFocus();
  Application.ProcessMessages();
  window.DirectoryDlg->SetFocus();
  Application.ProcessMessages();
  ASSERT_TRUE(window.DirectoryDlg->Focused());
  // Qt's flash time is a whole period of showing and hiding.
  EXPECT_EQ(QGuiApplication::styleHints()->cursorFlashTime(), 1060);
  window.CheckBox1->SetFocus();
  Application.ProcessMessages();
  EXPECT_EQ(QGuiApplication::styleHints()->cursorFlashTime(), own);
  window.Hide();
}

}  // namespace
