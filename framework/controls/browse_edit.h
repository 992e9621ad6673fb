// A one-line text field with a folder button at its right end. A click on
// the button gives the field the focus, opens the folder picker through the
// dialog seam (dialogs.h) and, when the user confirms a directory, puts its
// path (blanks and control characters trimmed from both ends) into the field
// and runs OnDlgChange. Typing into the field raises no event. The button
// takes no focus.
#pragma once

#include <optional>
#include <set>
#include <string>

#include "framework/controls/bitmap.h"
#include "framework/controls/control.h"
#include "framework/core/dialogs.h"
#include "framework/core/events.h"

enum class TBrowseOption { doReturnFileSysDirs, doShowPath, doStatusText, doEnableOK };
enum class TBrowseStartFolder { bfoDesktop, bfoDesktopExpanded };

// The folder button's width when the description gives none, in design pixels.
inline constexpr int kBrowseButtonWidth = 18;
// The folder glyph on the button.
inline constexpr int kFolderGlyphWidth = 13;
inline constexpr int kFolderGlyphHeight = 14;

class TBrowseEdit : public TControl {
 public:
  explicit TBrowseEdit(TComponent* owner);
  std::string_view ClassName() const override { return "TBrowseEdit"; }

  std::string Path() const { return peer_->Text(); }
  void SetPath(const std::string& path) { peer_->SetText(path); }
  void SetOnDlgChange(TNotifyEvent handler) { onDlgChange_ = std::move(handler); }

  void SetOptions(const std::set<TBrowseOption>& options) { options_ = options; }
  void SetStartFolder(TBrowseStartFolder folder) { startFolder_ = folder; }
  void SetStartWithLast(bool startWithLast) { startWithLast_ = startWithLast; }
  int ButtonWidth() const { return buttonWidth_; }
  void SetButtonWidth(int width);
  void SetReadOnly(bool readOnly) { peer_->SetReadOnly(readOnly); }
  // 0: no limit.
  void SetMaxLength(int length) { peer_->SetMaxLength(length); }
  // The caret's blink period in milliseconds while the field has the focus;
  // 0 leaves the platform's.
  int CaretBlinkTime() const { return caretBlinkTime_; }
  void SetCaretBlinkTime(int milliseconds);

  // What a click on the folder button does; an exception passes on to the
  // caller (the button's own click calls it through the handler boundary).
  void ButtonClick();
  // The picker request the button makes.
  TFolderPickerRequest PickerRequest() const;
  TBrowseEditPeer& EditPeer() const { return *peer_; }

  static void Register();

 private:
  TBrowseEditPeer* peer_;
  TNotifyEvent onDlgChange_;
  std::set<TBrowseOption> options_{TBrowseOption::doReturnFileSysDirs};
  TBrowseStartFolder startFolder_ = TBrowseStartFolder::bfoDesktop;
  bool startWithLast_ = false;
  std::string lastPath_;
  int buttonWidth_ = kBrowseButtonWidth;
  int caretBlinkTime_ = 0;
};

// The yellow folder the button shows, kFolderGlyphWidth x kFolderGlyphHeight,
// transparent around the folder.
TBitmap FolderGlyph();

// `text` without blanks and control characters (codes up to 0x20) at either end.
std::string TrimBlanksAndControls(const std::string& text);
