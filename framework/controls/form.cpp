#include "framework/controls/form.h"

#include <algorithm>

#include "framework/controls/control.h"
#include "framework/controls/font_properties.h"
#include "framework/core/class_registry.h"
#include "framework/core/embedded_resources.h"

namespace {

void CollectFocusChain(const TControlContainer& container, std::vector<TControl*>& chain) {
  for (TControl* control : container.TabOrderedControls()) {
    if (TControlContainer* inner = control->AsContainer()) {
      CollectFocusChain(*inner, chain);
    } else if (control->TabStop()) {
      chain.push_back(control);
    }
  }
}

}  // namespace

TForm::TForm(TComponent* owner) : TCustomForm(owner), peer_(WidgetSet().CreateForm(*this)) {
  peer_->SetBorderStyle(borderStyle_);
  peer_->SetClientSize(ClientSize());
  peer_->SetColor(color_);
  peer_->SetFont(ResolvedFont());
}

TForm::~TForm() {
  // The controls go first, while the window's native window still holds theirs.
  DestroyWindowContents();
}

void TForm::Show() {
  if (!placed_) {
    peer_->PlaceOnScreen(position_, TPoint{left_, top_});
    placed_ = true;
  }
  peer_->Show();
}

void TForm::Hide() { peer_->Hide(); }

bool TForm::Visible() const { return peer_->Visible(); }

void TForm::HandleNeeded() { peer_->HandleNeeded(); }

void TForm::SetCaption(const std::string& caption) {
  caption_ = caption;
  peer_->SetCaption(caption);
}

void TForm::SetClientWidth(int width) {
  clientWidth_ = width;
  peer_->SetClientSize(ClientSize());
  Realign();
}

void TForm::SetClientHeight(int height) {
  clientHeight_ = height;
  peer_->SetClientSize(ClientSize());
  Realign();
}

void TForm::SetBorderStyle(TFormBorderStyle style) {
  borderStyle_ = style;
  peer_->SetBorderStyle(style);
  peer_->SetClientSize(ClientSize());
  Realign();
}

void TForm::SetColor(const TColor& color) {
  color_ = color;
  peer_->SetColor(color);
  ColorChanged();
}

void TForm::SetIcon(const TIcon& icon) {
  icon_ = icon;
  peer_->SetIcon(icon_);
}

void TForm::FontChanged() {
  peer_->SetFont(ResolvedFont());
  TControlContainer::FontChanged();
}

std::vector<TControl*> TForm::FocusChain() const {
  std::vector<TControl*> chain;
  CollectFocusChain(*this, chain);
  return chain;
}

TControl* TForm::ActiveControl() const {
  for (TControl* control : FocusChain()) {
    if (control->Focused()) return control;
  }
  return nullptr;
}

TControl* TForm::FindNextControl(TControl* current, bool forward) const {
  std::vector<TControl*> chain = FocusChain();
  if (!forward) std::reverse(chain.begin(), chain.end());
  auto start = std::find(chain.begin(), chain.end(), current);
  const std::size_t first = start == chain.end() ? 0 : static_cast<std::size_t>(start - chain.begin()) + 1;
  for (std::size_t i = 0; i < chain.size(); ++i) {
    TControl* candidate = chain[(first + i) % chain.size()];
    if (candidate->Showing()) return candidate;
  }
  return nullptr;
}

void TForm::SelectNext(bool forward) {
  if (TControl* next = FindNextControl(ActiveControl(), forward)) next->SetFocus();
}

void TForm::TabOrderChanged() {
  if (LayoutSuspended()) return;
  peer_->FocusChainChanged(FocusChain());
}

void TForm::Loaded() {
  TCustomForm::Loaded();
  Realign();
  TabOrderChanged();
}

void TForm::Register() {
  auto builder = RegisterComponentClass<TForm, TCustomForm>("TForm");
  builder.Text("Caption", &TForm::SetCaption)
      .Integer("ClientWidth", &TForm::SetClientWidth)
      .Integer("ClientHeight", &TForm::SetClientHeight)
      .Integer("Left", &TForm::SetLeft)
      .Integer("Top", &TForm::SetTop)
      .Enum<TFormBorderStyle>("BorderStyle", &TForm::SetBorderStyle,
                              {{"bsNone", TFormBorderStyle::bsNone},
                               {"bsSingle", TFormBorderStyle::bsSingle},
                               {"bsSizeable", TFormBorderStyle::bsSizeable},
                               {"bsDialog", TFormBorderStyle::bsDialog},
                               {"bsToolWindow", TFormBorderStyle::bsToolWindow},
                               {"bsSizeToolWin", TFormBorderStyle::bsSizeToolWin}})
      .Enum<TPosition>("Position", &TForm::SetPosition,
                       {{"poDesigned", TPosition::poDesigned},
                        {"poDefault", TPosition::poDefault},
                        {"poScreenCenter", TPosition::poScreenCenter},
                        {"poDesktopCenter", TPosition::poDesktopCenter},
                        {"poMainFormCenter", TPosition::poMainFormCenter},
                        {"poOwnerFormCenter", TPosition::poOwnerFormCenter}})
      .Value("Color", [](TForm& form, const TPropertyValue& v) { form.SetColor(ColorFromValue(v)); })
      // The icon file, compiled into the program (embedded_resources.h).
      .Text("Icon", [](TForm& form, const std::string& name) {
        form.SetIcon(TIcon::FromIcoFile(EmbeddedResource(name)));
      });
  RegisterFontProperties(builder);
}
