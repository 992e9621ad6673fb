#include "framework/dbcontrols/db_progress_fill.h"

#include <algorithm>

#include "tableaccess/data_source.h"
#include "tableaccess/field.h"

namespace {

constexpr int kBevelWidth = 1;
constexpr TColor kDefaultFill = TColor::Rgb(0, 0, 128);
constexpr TColor kDefaultBack = TColor::Rgb(255, 255, 255);
constexpr TColor kBevelShadow = TColor::Rgb(128, 128, 128);
constexpr TColor kBevelLight = TColor::Rgb(255, 255, 255);

}  // namespace

void DrawProgressFill(TBitmap& image, int percent, const TProgressFillColors& colors) {
  const int w = image.Width(), h = image.Height();
  image.Fill(TRect{0, 0, w, h}, colors.back.Pixel());
  image.Fill(TRect{0, 0, w, kBevelWidth}, colors.shadow.Pixel());
  image.Fill(TRect{0, 0, kBevelWidth, h}, colors.shadow.Pixel());
  image.Fill(TRect{0, h - kBevelWidth, w, kBevelWidth}, colors.light.Pixel());
  image.Fill(TRect{w - kBevelWidth, 0, kBevelWidth, h}, colors.light.Pixel());
  const int innerWidth = w - 2 * kBevelWidth, innerHeight = h - 2 * kBevelWidth;
  if (innerWidth <= 0 || innerHeight <= 0) return;
  const int filled = std::min(innerWidth, percent * innerWidth / 100);
  image.Fill(TRect{kBevelWidth, kBevelWidth, filled, innerHeight}, colors.fill.Pixel());
}

TDBProgressFill::TDBProgressFill(TComponent* owner)
    : TPaintBox(owner), fillColor_(kDefaultFill), backColor_(kDefaultBack) {
  link_.SetControl(this);
  link_.OnDataChange = [this] { DataChange(); };
  Redraw();
}

TDBProgressFill::~TDBProgressFill() {
  BeginDestroy();
  link_.OnDataChange = nullptr;
  link_.SetDataSource(nullptr);
}

TDataSource* TDBProgressFill::DataSource() const { return link_.DataSource(); }

void TDBProgressFill::SetDataSource(TDataSource* source) {
  if (link_.DataSource() != nullptr) RemoveFreeNotification(link_.DataSource());
  link_.SetDataSource(source);
  if (source != nullptr) FreeNotification(source);
  DataChange();
}

void TDBProgressFill::SetDataField(const std::string& name) {
  link_.SetFieldName(name);
  DataChange();
}

void TDBProgressFill::SetFillColor(const TColor& color) {
  fillColor_ = color;
  Redraw();
}

void TDBProgressFill::SetBackColor(const TColor& color) {
  backColor_ = color;
  Redraw();
}

int TDBProgressFill::PercentFor(int value) const {
  long long percent = value;
  if (!percentMode_) {
    if (maxValue_ <= minValue_) return 0;
    percent = (static_cast<long long>(value) - minValue_) * 100 / (static_cast<long long>(maxValue_) - minValue_);
  }
  return static_cast<int>(std::clamp(percent, 0LL, 100LL));
}

void TDBProgressFill::DataChange() {
  TField* field = link_.Field();
  // AsInteger may fail; the bar keeps what it showed and the failure goes
  // to whoever moved the view.
  int percent = field != nullptr ? PercentFor(field->AsInteger()) : 0;
  if (percent == percent_) return;
  percent_ = percent;
  Redraw();
}

void TDBProgressFill::DrawImage(TBitmap& image) const {
  const TWidgetSet& widgets = WidgetSet();
  DrawProgressFill(image, percent_,
                   TProgressFillColors{widgets.ResolveColor(fillColor_), widgets.ResolveColor(backColor_),
                                       widgets.ResolveColor(kBevelShadow), widgets.ResolveColor(kBevelLight)});
}

void TDBProgressFill::Notification(TComponent* component, TOperation operation) {
  if (operation == TOperation::opRemove && component != nullptr && component == link_.DataSource()) {
    link_.SetDataSource(nullptr);
  }
  TControl::Notification(component, operation);
}

void TDBProgressFill::Register() {
  RegisterComponentClass<TDBProgressFill, TControl>("TDBProgressFill")
      .Reference<TDataSource>("DataSource", &TDBProgressFill::DataSource, &TDBProgressFill::SetDataSource)
      .Text("DataField", &TDBProgressFill::SetDataField)
      .Boolean("PercentMode", &TDBProgressFill::SetPercentMode)
      .Integer("MinValue", &TDBProgressFill::SetMinValue)
      .Integer("MaxValue", &TDBProgressFill::SetMaxValue)
      .Value("FillColor", [](TDBProgressFill& c, const TPropertyValue& v) { c.SetFillColor(ColorFromValue(v)); })
      .Value("BackColor", [](TDBProgressFill& c, const TPropertyValue& v) { c.SetBackColor(ColorFromValue(v)); });
}
