// Panels, texts, push buttons and check boxes on Qt's widgets.
#include <QCheckBox>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>

#include "framework/controls/button.h"
#include "framework/controls/check_box.h"
#include "framework/core/handler_boundary.h"
#include "framework/ui/qt/qt_control_peer.h"
#include "framework/ui/qt/qt_peers.h"

namespace {

class QtPanelPeer : public QtControlPeer<TPanelPeer>, public QtContainerPeer {
 public:
  QtPanelPeer() : QtControlPeer(new QWidget) {}
  QWidget* ClientWidget() const override { return Widget(); }
  // A panel shows its parent's background, as a widget without its own fill does.
  void SetColor(const TColor&) override {}
};

QLabel* NewLabel() {
  auto* label = new QLabel;
  label->setTextFormat(Qt::PlainText);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label->setMargin(0);
  label->setIndent(0);
  label->setWordWrap(false);
  return label;
}

class QtTextPeer : public QtControlPeer<TTextPeer> {
 public:
  QtTextPeer() : QtControlPeer(NewLabel()) {}
  void SetText(const std::string& text) override { Label()->setText(QString::fromStdString(text)); }
  std::string Text() const override { return Label()->text().toStdString(); }
  TSize TextExtent(const std::string& text) const override {
    const QFontMetrics metrics(Label()->font());
    const QString shown = QString::fromStdString(text);
    if (!shown.contains('\n')) return {metrics.horizontalAdvance(shown), metrics.height()};
    const QSize size = metrics.size(0, shown);
    return {size.width(), size.height()};
  }

 private:
  QLabel* Label() const { return static_cast<QLabel*>(Widget()); }
};

class QtButtonPeer : public QtControlPeer<TButtonPeer> {
 public:
  explicit QtButtonPeer(TButton& button) : QtControlPeer(new QPushButton) {
    auto* widget = static_cast<QPushButton*>(Widget());
    widget->setAutoDefault(false);
    widget->setDefault(false);
    QObject::connect(widget, &QPushButton::clicked, widget,
                     [&button] { CallHandler(&button, [&button] { button.Click(); }); });
  }
  // Qt reads "&" marks as the component set does: "&x" an accelerator, "&&" an "&".
  void SetCaption(const std::string& caption) override {
    static_cast<QPushButton*>(Widget())->setText(QString::fromStdString(caption));
  }
  void Click() override { static_cast<QPushButton*>(Widget())->click(); }
};

class QtCheckBoxPeer : public QtControlPeer<TCheckBoxPeer> {
 public:
  QtCheckBoxPeer() : QtControlPeer(new QCheckBox) {
    Box()->setTristate(false);
    Box()->setStyleSheet(QString("QCheckBox { spacing: %1px; }").arg(kCheckBoxCaptionSpacing));
  }
  void SetCaption(const std::string& caption) override { Box()->setText(QString::fromStdString(caption)); }
  bool Checked() const override { return Box()->isChecked(); }
  void SetChecked(bool checked) override { Box()->setChecked(checked); }
  void Click() override { Box()->click(); }

 private:
  QCheckBox* Box() const { return static_cast<QCheckBox*>(Widget()); }
};

}  // namespace

std::unique_ptr<TPanelPeer> NewQtPanelPeer() { return std::make_unique<QtPanelPeer>(); }
std::unique_ptr<TTextPeer> NewQtTextPeer() { return std::make_unique<QtTextPeer>(); }
std::unique_ptr<TButtonPeer> NewQtButtonPeer(TButton& button) { return std::make_unique<QtButtonPeer>(button); }
std::unique_ptr<TCheckBoxPeer> NewQtCheckBoxPeer() { return std::make_unique<QtCheckBoxPeer>(); }
