#include "framework/ui/label.h"

#include <QFontMetrics>
#include <QLabel>

namespace {

QLabel* NewLabel() {
  auto* label = new QLabel;
  label->setTextFormat(Qt::PlainText);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label->setMargin(0);
  label->setIndent(0);
  label->setWordWrap(false);
  return label;
}

}  // namespace

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
    : TControl(owner, NewLabel(), false), autoSize_(autoSize), showAccelChar_(showAccelChar) {
  label_ = static_cast<QLabel*>(Widget());
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
  label_->setText(QString::fromStdString(ShownText()));
  // Sizing waits for the end of loading, when the font is known.
  if (!autoSize_ || Loading()) return;
  QFontMetrics metrics(label_->font());
  SetBounds(Left(), Top(), metrics.horizontalAdvance(label_->text()), metrics.height());
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
