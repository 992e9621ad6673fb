#include "framework/ui/static_text.h"

#include <QFontMetrics>
#include <QLabel>

#include "framework/ui/label.h"

TStaticText::TStaticText(TComponent* owner) : TControl(owner, new QLabel, false) {
  label_ = static_cast<QLabel*>(Widget());
  label_->setTextFormat(Qt::PlainText);
  label_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label_->setMargin(0);
  label_->setIndent(0);
  label_->setWordWrap(false);
}

void TStaticText::SetCaption(const std::string& caption) {
  caption_ = caption;
  Refresh();
}

void TStaticText::SetAutoSize(bool autoSize) {
  autoSize_ = autoSize;
  Refresh();
}

QString TStaticText::ShownText() const {
  QString text = QString::fromStdString(StripAccelChars(caption_));
  text.replace("\r\n", "\n");
  text.replace('\r', '\n');
  return text;
}

void TStaticText::Loaded() {
  TControl::Loaded();
  Refresh();
}

void TStaticText::Refresh() {
  label_->setText(ShownText());
  if (!autoSize_ || Loading()) return;
  QSize size = QFontMetrics(label_->font()).size(0, label_->text());
  SetBounds(Left(), Top(), size.width(), size.height());
}

void TStaticText::Register() {
  RegisterComponentClass<TStaticText, TControl>("TStaticText")
      .Text("Caption", &TStaticText::SetCaption)
      .Boolean("AutoSize", &TStaticText::SetAutoSize);
}
