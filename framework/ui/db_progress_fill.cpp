#include "framework/ui/db_progress_fill.h"

#include <QPaintEvent>
#include <QPainter>
#include <QWidget>
#include <algorithm>

#include "framework/ui/colors.h"
#include "tableaccess/data_source.h"
#include "tableaccess/field.h"

namespace {

constexpr int kBevelWidth = 1;
const QColor kDefaultFill(0, 0, 128);
const QColor kDefaultBack(255, 255, 255);
const QColor kBevelShadow(128, 128, 128);
const QColor kBevelLight(255, 255, 255);

}  // namespace

// Paints the prepared image; nothing here can throw.
class ProgressFillWidget : public QWidget {
 public:
  explicit ProgressFillWidget(TDBProgressFill* owner) : owner_(owner) {}

 protected:
  void paintEvent(QPaintEvent*) override { owner_->PaintImage(*this); }

 private:
  TDBProgressFill* owner_;
};

TDBProgressFill::TDBProgressFill(TComponent* owner)
    : TControl(owner, new ProgressFillWidget(this), false), fillColor_(kDefaultFill), backColor_(kDefaultBack) {
  link_.SetControl(this);
  link_.OnDataChange = [this] { DataChange(); };
  Prepare();
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

void TDBProgressFill::SetFillColor(const QColor& color) {
  fillColor_ = color;
  Prepare();
  Widget()->update();
}

void TDBProgressFill::SetBackColor(const QColor& color) {
  backColor_ = color;
  Prepare();
  Widget()->update();
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
  Prepare();
  Widget()->repaint();
}

void TDBProgressFill::BoundsChanged() {
  TControl::BoundsChanged();
  Prepare();
}

void TDBProgressFill::Prepare() {
  QSize size(std::max(1, Width()), std::max(1, Height()));
  image_ = QPixmap(size);
  QPainter painter(&image_);
  QRect outer(QPoint(0, 0), size);
  QRect inner = outer.adjusted(kBevelWidth, kBevelWidth, -kBevelWidth, -kBevelWidth);
  painter.fillRect(outer, backColor_);
  // A lowered bevel: shadow at the top and left, light at the bottom and right.
  painter.setPen(kBevelShadow);
  painter.drawLine(outer.topLeft(), outer.topRight());
  painter.drawLine(outer.topLeft(), outer.bottomLeft());
  painter.setPen(kBevelLight);
  painter.drawLine(outer.bottomLeft(), outer.bottomRight());
  painter.drawLine(outer.topRight(), outer.bottomRight());
  if (inner.width() > 0 && inner.height() > 0) {
    int filled = std::min(inner.width(), percent_ * inner.width() / 100);
    painter.fillRect(QRect(inner.x(), inner.y(), filled, inner.height()), fillColor_);
  }
}

void TDBProgressFill::PaintImage(QWidget& target) {
  ++paintCount_;
  QPainter painter(&target);
  painter.drawPixmap(0, 0, image_);
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
