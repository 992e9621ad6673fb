#include "framework/controls/control_container.h"

#include <algorithm>
#include <climits>

#include "framework/controls/control.h"

namespace {

std::vector<TControl*> AlignedVisible(const std::vector<TControl*>& controls, TAlign align) {
  std::vector<TControl*> found;
  for (TControl* control : controls) {
    if (control->Align() == align && control->Visible()) found.push_back(control);
  }
  return found;
}

}  // namespace

void TControlContainer::Realign() {
  if (aligning_ || LayoutSuspended()) return;
  aligning_ = true;
  const TSize client = ClientSize();
  int left = 0, top = 0, right = client.width, bottom = client.height;

  auto tops = AlignedVisible(controls_, TAlign::alTop);
  std::stable_sort(tops.begin(), tops.end(), [](TControl* a, TControl* b) { return a->Top() < b->Top(); });
  for (TControl* c : tops) {
    c->SetBoundsFromParent(TRect{left, top, right - left, c->Height()});
    top += c->Height();
  }
  auto bottoms = AlignedVisible(controls_, TAlign::alBottom);
  std::stable_sort(bottoms.begin(), bottoms.end(),
                   [](TControl* a, TControl* b) { return a->Top() + a->Height() > b->Top() + b->Height(); });
  for (TControl* c : bottoms) {
    bottom -= c->Height();
    c->SetBoundsFromParent(TRect{left, bottom, right - left, c->Height()});
  }
  auto lefts = AlignedVisible(controls_, TAlign::alLeft);
  std::stable_sort(lefts.begin(), lefts.end(), [](TControl* a, TControl* b) { return a->Left() < b->Left(); });
  for (TControl* c : lefts) {
    c->SetBoundsFromParent(TRect{left, top, c->Width(), std::max(0, bottom - top)});
    left += c->Width();
  }
  auto rights = AlignedVisible(controls_, TAlign::alRight);
  std::stable_sort(rights.begin(), rights.end(),
                   [](TControl* a, TControl* b) { return a->Left() + a->Width() > b->Left() + b->Width(); });
  for (TControl* c : rights) {
    right -= c->Width();
    c->SetBoundsFromParent(TRect{right, top, c->Width(), std::max(0, bottom - top)});
  }
  for (TControl* c : AlignedVisible(controls_, TAlign::alClient)) {
    c->SetBoundsFromParent(TRect{left, top, std::max(0, right - left), std::max(0, bottom - top)});
  }
  aligning_ = false;
}

std::vector<TControl*> TControlContainer::TabOrderedControls() const {
  std::vector<TControl*> ordered = controls_;
  auto key = [](const TControl* c) { return c->TabOrder() < 0 ? INT_MAX : c->TabOrder(); };
  std::stable_sort(ordered.begin(), ordered.end(), [&](TControl* a, TControl* b) { return key(a) < key(b); });
  return ordered;
}

void TControlContainer::ReleaseControls() {
  while (!controls_.empty()) controls_.back()->SetParent(nullptr);
}

void TControlContainer::TabOrderChanged() {
  if (TControlContainer* parent = ParentContainer()) parent->TabOrderChanged();
}

void TControlContainer::FontChanged() {
  for (TControl* control : controls_) control->ApplyFont();
}

void TControlContainer::ColorChanged() {
  for (TControl* control : controls_) {
    if (TControlContainer* inner = control->AsContainer()) {
      inner->ContainerPeer().SetColor(inner->Color());
      inner->ColorChanged();
    }
  }
}

void TControlContainer::InsertControl(TControl* control) { controls_.push_back(control); }

void TControlContainer::RemoveControl(TControl* control) {
  controls_.erase(std::remove(controls_.begin(), controls_.end(), control), controls_.end());
}
