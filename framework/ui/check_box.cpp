#include "framework/ui/check_box.h"

#include <QCheckBox>


namespace {

// Between the check mark and the caption.
constexpr int kCaptionSpacing = 4;

}  // namespace

TCheckBox::TCheckBox(TComponent* owner) : TControl(owner, new QCheckBox, true) {
  box_ = static_cast<QCheckBox*>(Widget());
  box_->setTristate(false);
  box_->setStyleSheet(QString("QCheckBox { spacing: %1px; }").arg(kCaptionSpacing));
}

void TCheckBox::SetCaption(const std::string& caption) {
  caption_ = caption;
  // Qt reads "&" marks as this system does: "&x" an accelerator, "&&" an "&".
  box_->setText(QString::fromStdString(caption));
}

bool TCheckBox::Checked() const { return box_->isChecked(); }

void TCheckBox::SetChecked(bool checked) { box_->setChecked(checked); }

void TCheckBox::Register() {
  RegisterComponentClass<TCheckBox, TControl>("TCheckBox")
      .Text("Caption", &TCheckBox::SetCaption)
      .Boolean("Checked", &TCheckBox::SetChecked);
}
