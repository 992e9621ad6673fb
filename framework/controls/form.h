// A window: a fixed client area in design pixels, a frame chosen by
// BorderStyle (a tool window has a small title bar with only a close box and
// cannot be resized), a start position (centred on the desktop for
// poDesktopCenter), caption, colour, font and icon. Its close box runs
// Close(): the main window ends the program. It lays out its aligned controls
// and keeps the focus chain in the controls' tab order. The native window is
// the back end's (TFormPeer).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "framework/controls/color.h"
#include "framework/controls/control_container.h"
#include "framework/controls/font.h"
#include "framework/controls/form_styles.h"
#include "framework/controls/icon.h"
#include "framework/controls/widget_set.h"
#include "framework/core/custom_form.h"

class TForm : public TCustomForm, public TControlContainer {
 public:
  explicit TForm(TComponent* owner);
  ~TForm() override;
  std::string_view ClassName() const override { return "TForm"; }

  TFormPeer& Peer() const { return *peer_; }
  TContainerPeer& ContainerPeer() const override { return *peer_; }
  TSize ClientSize() const override { return {clientWidth_, clientHeight_}; }
  TControlContainer* ParentContainer() const override { return nullptr; }
  bool LayoutSuspended() const override { return Loading() || Destroying(); }
  TResolvedFont ResolvedFont() const override { return font_.ResolvedOver(DefaultFont()); }
  TColor Color() const override { return color_; }

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
  void SetColor(const TColor& color);
  const TIcon& Icon() const { return icon_; }
  void SetIcon(const TIcon& icon);
  TFont& Font() { return font_; }
  void FontChanged();

  // The controls that take the focus by the Tab key, in order: the controls
  // by tab order, a panel's controls in its place.
  std::vector<TControl*> FocusChain() const;
  // The control of the focus chain that has the focus, or null.
  TControl* ActiveControl() const;
  // The next control of the chain after `current` (before it when not
  // `forward`) that is on the screen, wrapping around; from null, the first
  // (last). Null when none is on the screen.
  TControl* FindNextControl(TControl* current, bool forward) const;
  // What the Tab key (with Shift: backward) does: the focus moves on.
  void SelectNext(bool forward);

  static void Register();

 protected:
  void Loaded() override;
  void TabOrderChanged() override;

 private:
  std::unique_ptr<TFormPeer> peer_;
  std::string caption_;
  int clientWidth_ = 320;
  int clientHeight_ = 240;
  int left_ = 0;
  int top_ = 0;
  TFormBorderStyle borderStyle_ = TFormBorderStyle::bsSizeable;
  TPosition position_ = TPosition::poDesigned;
  TColor color_ = TColor::System(TSystemColor::BtnFace);
  TIcon icon_;
  TFont font_;
  bool placed_ = false;
};
