// Labels: one line of text with no border, drawn on the parent's background.
// With AutoSize (the default) a label takes the size of its text; with
// ShowAccelChar a single "&" marks an accelerator and is not shown ("&&"
// shows one "&"). TLabel shows its Caption; TDBText (dbcontrols/db_text.h) a
// field's.
#pragma once

#include <string>

#include "framework/controls/control.h"

class TCustomLabel : public TControl {
 public:
  std::string_view ClassName() const override { return "TCustomLabel"; }

  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool autoSize);
  bool ShowAccelChar() const { return showAccelChar_; }
  void SetShowAccelChar(bool show);
  // The text as drawn.
  std::string ShownText() const;
  TTextPeer& TextPeer() const { return *peer_; }

  static void Register();

 protected:
  TCustomLabel(TComponent* owner, bool autoSize, bool showAccelChar);
  void SetLabelText(const std::string& text);
  void Loaded() override;
  void FontOrParentChanged() override { Refresh(); }

 private:
  void Refresh();
  TTextPeer* peer_;
  std::string text_;
  bool autoSize_;
  bool showAccelChar_;
};

class TLabel : public TCustomLabel {
 public:
  explicit TLabel(TComponent* owner);
  std::string_view ClassName() const override { return "TLabel"; }

  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& caption);

  static void Register();

 private:
  std::string caption_;
};

// The text of `caption` without accelerator marks.
std::string StripAccelChars(const std::string& caption);
