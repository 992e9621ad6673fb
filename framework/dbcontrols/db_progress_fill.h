// A data-bound progress bar: a horizontal meter with a lowered 1-pixel bevel
// that fills from the left and shows no text. Its percentage p is the bound
// field's value read as an integer (AsInteger, which fails for a text that
// is not a whole number) limited to 0..100, or 0 while the view is closed.
// The filled part is p * w / 100 pixels wide (w: the width inside the
// bevel, cut toward zero). It draws at once (from an image prepared off
// screen, TPaintBox) whenever p differs from the value last drawn, so that
// it moves while a handler runs; and on every ordinary paint.
#pragma once

#include <string>

#include "framework/controls/color.h"
#include "framework/controls/paint_box.h"
#include "tableaccess/field_data_link.h"

class TDataSource;
class TField;

class TDBProgressFill : public TPaintBox {
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
  void SetFillColor(const TColor& color);
  void SetBackColor(const TColor& color);
  TColor FillColor() const { return fillColor_; }
  TColor BackColor() const { return backColor_; }

  // The percentage last worked out.
  int Percent() const { return percent_; }
  // The rule from a field's value to the percentage.
  int PercentFor(int value) const;

  static void Register();

 protected:
  void Notification(TComponent* component, TOperation operation) override;
  void DrawImage(TBitmap& image) const override;

 private:
  void DataChange();

  TFieldDataLink link_;
  int percent_ = 0;
  bool percentMode_ = true;
  int minValue_ = 0;
  int maxValue_ = 100;
  TColor fillColor_;
  TColor backColor_;
};

// The bar's colours as drawn.
struct TProgressFillColors {
  TRgb fill, back, shadow, light;
};
// Draws a bar of `percent` into `image`: a 1-pixel lowered bevel (shadow at
// the top and left, light at the bottom and right) around the inner area,
// whose left percent * inner width / 100 columns are filled.
void DrawProgressFill(TBitmap& image, int percent, const TProgressFillColors& colors);
