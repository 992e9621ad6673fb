// A data-bound progress bar: a horizontal meter with a lowered 1-pixel bevel
// that fills from the left and shows no text. Its percentage p is the bound
// field's value read as an integer (AsInteger, which fails for a text that
// is not a whole number) limited to 0..100, or 0 while the view is closed.
// The filled part is p * w / 100 pixels wide (w: the width inside the
// bevel, cut toward zero). It draws at once (a synchronous repaint from an
// image prepared off screen) whenever p differs from the value last drawn,
// so that it moves while a handler runs; and on every ordinary paint.
#pragma once

#include <QColor>
#include <QPixmap>
#include <string>

#include "framework/ui/control.h"
#include "tableaccess/field_data_link.h"

class TDataSource;
class TField;

class TDBProgressFill : public TControl {
 public:
  explicit TDBProgressFill(TComponent* owner);
  ~TDBProgressFill() override;
  std::string_view ClassName() const override { return "TDBProgressFill"; }

  TDataSource* DataSource() const;
  void SetDataSource(TDataSource* source);
  const std::string& DataField() const { return link_.FieldName(); }
  void SetDataField(const std::string& name);
  TField* Field() const { return link_.Field(); }

  // With PercentMode (the default) the value is the percentage itself;
  // otherwise it is placed between MinValue and MaxValue.
  void SetPercentMode(bool percentMode) { percentMode_ = percentMode; }
  void SetMinValue(int value) { minValue_ = value; }
  void SetMaxValue(int value) { maxValue_ = value; }
  void SetFillColor(const QColor& color);
  void SetBackColor(const QColor& color);
  QColor FillColor() const { return fillColor_; }
  QColor BackColor() const { return backColor_; }

  // The percentage last worked out, and how often the bar was painted.
  int Percent() const { return percent_; }
  int PaintCount() const { return paintCount_; }
  // The rule from a field's value to the percentage.
  int PercentFor(int value) const;

  static void Register();

 protected:
  void Notification(TComponent* component, TOperation operation) override;
  void BoundsChanged() override;

 private:
  friend class ProgressFillWidget;
  void DataChange();
  void Prepare();
  void PaintImage(QWidget& target);

  TFieldDataLink link_;
  int percent_ = 0;
  bool percentMode_ = true;
  int minValue_ = 0;
  int maxValue_ = 100;
  QColor fillColor_;
  QColor backColor_;
  QPixmap image_;
  int paintCount_ = 0;
};
