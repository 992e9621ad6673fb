#include "framework/controls/label.h"

std::string StripAccelChars(const std::string& caption) {
  std::string shown;
  for (std::size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == '&') {
      if (i + 1 < caption.size() && caption[i + 1] == '&') {
        shown.push_back('&');
        ++i;
      }
      continue;
    }
    shown.push_back(caption[i]);
  }
  return shown;
}

TCustomLabel::TCustomLabel(TComponent* owner, bool autoSize, bool showAccelChar)
    : TControl(owner, false), autoSize_(autoSize), showAccelChar_(showAccelChar) {
  peer_ = InitPeer(WidgetSet().CreateText(*this));
}

void TCustomLabel::SetAutoSize(bool autoSize) {
  autoSize_ = autoSize;
  Refresh();
}

void TCustomLabel::SetShowAccelChar(bool show) {
  showAccelChar_ = show;
  Refresh();
}

std::string TCustomLabel::ShownText() const { return showAccelChar_ ? StripAccelChars(text_) : text_; }

void TCustomLabel::SetLabelText(const std::string& text) {
  text_ = text;
  Refresh();
}

void TCustomLabel::Loaded() {
  TControl::Loaded();
  Refresh();
}

void TCustomLabel::Refresh() {
  const std::string shown = ShownText();
  peer_->SetText(shown);
  // Sizing waits for the end of loading, when the font is known.
  if (!autoSize_ || Loading()) return;
  const TSize size = peer_->TextExtent(shown);
  SetBounds(Left(), Top(), size.width, size.height);
}

void TCustomLabel::Register() {
  RegisterComponentClass<TCustomLabel, TControl>("TCustomLabel")
      .Boolean("AutoSize", &TCustomLabel::SetAutoSize)
      .Boolean("ShowAccelChar", &TCustomLabel::SetShowAccelChar);
}

TLabel::TLabel(TComponent* owner) : TCustomLabel(owner, true, true) {}

void TLabel::SetCaption(const std::string& caption) {
  caption_ = caption;
  SetLabelText(caption);
}

void TLabel::Register() {
  RegisterComponentClass<TLabel, TCustomLabel>("TLabel").Text("Caption", &TLabel::SetCaption);
}
