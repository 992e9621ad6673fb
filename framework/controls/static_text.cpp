#include "framework/controls/static_text.h"

#include "framework/controls/label.h"

TStaticText::TStaticText(TComponent* owner) : TControl(owner, false) {
  peer_ = InitPeer(WidgetSet().CreateText(*this));
}

void TStaticText::SetCaption(const std::string& caption) {
  caption_ = caption;
  Refresh();
}

void TStaticText::SetAutoSize(bool autoSize) {
  autoSize_ = autoSize;
  Refresh();
}

std::string TStaticText::ShownText() const {
  std::string shown;
  const std::string text = StripAccelChars(caption_);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      shown.push_back('\n');
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      shown.push_back(text[i]);
    }
  }
  return shown;
}

void TStaticText::Loaded() {
  TControl::Loaded();
  Refresh();
}

void TStaticText::Refresh() {
  const std::string shown = ShownText();
  peer_->SetText(shown);
  if (!autoSize_ || Loading()) return;
  const TSize size = peer_->TextExtent(shown);
  SetBounds(Left(), Top(), size.width, size.height);
}

void TStaticText::Register() {
  RegisterComponentClass<TStaticText, TControl>("TStaticText")
      .Text("Caption", &TStaticText::SetCaption)
      .Boolean("AutoSize", &TStaticText::SetAutoSize);
}
