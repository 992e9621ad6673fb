// A window drawn with Qt: a fixed client area in pixels (at 96 dpi), a frame
// chosen by BorderStyle (a tool window has a small title bar with only a
// close box and cannot be resized), a start position (centred on the desktop
// for poDesktopCenter), caption, colour and font. Its close box runs Close():
// the main window ends the program. It lays out its aligned controls and
// keeps Qt's focus chain in the controls' tab order.
#pragma once

#include <QColor>
#include <QIcon>
#include <string>
#include <vector>

#include "framework/core/custom_form.h"
#include "framework/ui/control_container.h"
#include "framework/ui/font.h"

class QWidget;

enum class TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
enum class TPosition { poDesigned, poDefault, poScreenCenter, poDesktopCenter, poMainFormCenter, poOwnerFormCenter };

class TForm : public TCustomForm, public TControlContainer {
 public:
  explicit TForm(TComponent* owner);
  ~TForm() override;
  std::string_view ClassName() const override { return "TForm"; }

  QWidget* Widget() const { return widget_; }
  QWidget* ClientWidget() const override { return widget_; }
  TControlContainer* ParentContainer() const override { return nullptr; }
  bool LayoutSuspended() const override { return Loading() || Destroying(); }

  void Show() override;
  void Hide() override;
  bool Visible() const override;
  void HandleNeeded() override;

  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& caption);
  int ClientWidth() const { return clientWidth_; }
  int ClientHeight() const { return clientHeight_; }
  void SetClientWidth(int width);
  void SetClientHeight(int height);
  // The designed position of the frame, used with poDesigned.
  void SetLeft(int left) { left_ = left; }
  void SetTop(int top) { top_ = top; }
  TFormBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TFormBorderStyle style);
  TPosition Position() const { return position_; }
  void SetPosition(TPosition position) { position_ = position; }
  void SetColor(const QColor& color);
  void SetIcon(const QIcon& icon);
  TFont& Font() { return font_; }
  void FontChanged();

  // The widgets that take the focus by the Tab key, in order: the controls
  // by tab order, a panel's controls in its place.
  std::vector<QWidget*> FocusChain() const;

  static void Register();

 protected:
  void Loaded() override;
  void TabOrderChanged() override;

 private:
  void ApplyFrame();
  void ApplySize();
  void PlaceOnScreen();

  QWidget* widget_;
  std::string caption_;
  int clientWidth_ = 320;
  int clientHeight_ = 240;
  int left_ = 0;
  int top_ = 0;
  TFormBorderStyle borderStyle_ = TFormBorderStyle::bsSizeable;
  TPosition position_ = TPosition::poDesigned;
  TFont font_;
  bool placed_ = false;
};
