// The seam between the controls, which know no toolkit, and a back end that
// draws them with one (framework/ui/qt with Qt, framework/ui/win32 with the
// Windows API). Each control makes one peer through the installed widget set
// and tells it every change of what it shows; the peer calls the control back
// when the user acts, through the handler boundary. Bounds and font sizes go
// to peers in design pixels (96 per inch); a peer maps them to the screen.
// Peers that simulate input (Click, ClickButton, TypeText) deliver it through
// the window system as the user's own input would arrive, so that tests drive
// the controls the way a user does. User-interface thread only.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "framework/controls/bitmap.h"
#include "framework/controls/color.h"
#include "framework/controls/font.h"
#include "framework/controls/form_styles.h"
#include "framework/controls/geometry.h"

class TBrowseEdit;
class TButton;
class TCheckBox;
class TControl;
class TForm;
class TIcon;
class TPaintBox;
class TSimplePanel;

// A native window that holds the native widgets of other controls.
class TContainerPeer {
 public:
  virtual ~TContainerPeer() = default;
  // The background the container and the text on it are drawn on.
  virtual void SetColor(const TColor& color) = 0;
};

class TControlPeer {
 public:
  virtual ~TControlPeer() = default;
  // Puts the native widget into `parent`'s client area; null takes it out.
  virtual void SetParent(TContainerPeer* parent) = 0;
  // Relative to the parent's client area, in design pixels.
  virtual void SetBounds(const TRect& bounds) = 0;
  virtual void SetVisible(bool visible) = 0;
  virtual void SetFont(const TResolvedFont& font) = 0;
  virtual void SetTabStop(bool tabStop) = 0;
  virtual bool HasFocus() const = 0;
  virtual void SetFocus() = 0;
  // Whether the widget is on the screen: it and every parent visible.
  virtual bool Showing() const = 0;
  // What the widget shows now, in screen pixels.
  virtual TBitmap Grab() const = 0;
};

class TPanelPeer : public TControlPeer, public TContainerPeer {};

// Labels and the static text: text without a border on the parent's background.
class TTextPeer : public TControlPeer {
 public:
  // Line breaks ("\n") start new lines.
  virtual void SetText(const std::string& text) = 0;
  // The text as the widget shows it.
  virtual std::string Text() const = 0;
  // The size the text takes in the peer's font, in design pixels, rounded up.
  virtual TSize TextExtent(const std::string& text) const = 0;
};

class TButtonPeer : public TControlPeer {
 public:
  virtual void SetCaption(const std::string& caption) = 0;
  virtual void Click() = 0;
};

class TCheckBoxPeer : public TControlPeer {
 public:
  virtual void SetCaption(const std::string& caption) = 0;
  virtual bool Checked() const = 0;
  virtual void SetChecked(bool checked) = 0;
  virtual void Click() = 0;
};

class TBrowseEditPeer : public TControlPeer {
 public:
  virtual std::string Text() const = 0;
  virtual void SetText(const std::string& text) = 0;
  virtual void SetButtonWidth(int width) = 0;
  virtual void SetReadOnly(bool readOnly) = 0;
  // 0: no limit.
  virtual void SetMaxLength(int length) = 0;
  // The caret's blink period while the field has the focus; 0: the platform's.
  virtual void SetCaretBlinkTime(int milliseconds) = 0;
  // The folder button, relative to the field, in design pixels.
  virtual TRect ButtonBounds() const = 0;
  // A mouse click on the folder button.
  virtual void ClickButton() = 0;
  // Keys typed into the field, Enter for "\n".
  virtual void TypeText(const std::string& text) = 0;
};

// A control that shows an image its control prepares, in screen pixels.
class TPaintBoxPeer : public TControlPeer {
 public:
  virtual TSize DeviceSize() const = 0;
  // Draws `image` onto the screen at once, without waiting for the window
  // system's next paint, and keeps it for the paints after.
  virtual void DrawNow(const TBitmap& image) = 0;
};

class TFormPeer : public TContainerPeer {
 public:
  virtual void SetCaption(const std::string& caption) = 0;
  virtual void SetClientSize(const TSize& size) = 0;
  virtual void SetBorderStyle(TFormBorderStyle style) = 0;
  virtual void SetFont(const TResolvedFont& font) = 0;
  virtual void SetIcon(const TIcon& icon) = 0;
  // Creates the native window if it does not exist yet.
  virtual void HandleNeeded() = 0;
  // Places the frame on the screen; `designed` is the frame's position for poDesigned.
  virtual void PlaceOnScreen(TPosition position, TPoint designed) = 0;
  virtual void Show() = 0;
  virtual void Hide() = 0;
  virtual bool Visible() const = 0;
  // A click on the close box of the title bar.
  virtual void CloseBox() = 0;
  // The controls that take the focus by the Tab key changed order.
  virtual void FocusChainChanged(const std::vector<TControl*>& chain) = 0;
  // The client area as it is, in design pixels.
  virtual TSize ClientSize() const = 0;
  // What the client area shows now, in screen pixels.
  virtual TBitmap Grab() const = 0;
};

class TWidgetSet {
 public:
  virtual ~TWidgetSet() = default;
  virtual std::unique_ptr<TFormPeer> CreateForm(TForm& form) = 0;
  virtual std::unique_ptr<TPanelPeer> CreatePanel(TSimplePanel& panel) = 0;
  virtual std::unique_ptr<TTextPeer> CreateText(TControl& control) = 0;
  virtual std::unique_ptr<TButtonPeer> CreateButton(TButton& button) = 0;
  virtual std::unique_ptr<TCheckBoxPeer> CreateCheckBox(TCheckBox& box) = 0;
  virtual std::unique_ptr<TBrowseEditPeer> CreateBrowseEdit(TBrowseEdit& edit) = 0;
  virtual std::unique_ptr<TPaintBoxPeer> CreatePaintBox(TPaintBox& box) = 0;
  // A system colour as the platform draws it now; other colours as they are.
  virtual TRgb ResolveColor(const TColor& color) const = 0;
  // The screen's resolution: design pixels are scaled by it / 96.
  virtual int PixelsPerInch() const = 0;
};

// The installed widget set; throws EComponentError when there is none.
TWidgetSet& WidgetSet();
// Installs `widgetSet` (null: none); returns the previous.
TWidgetSet* SetWidgetSet(TWidgetSet* widgetSet);
