#include "framework/ui/form.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QPalette>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include "framework/core/class_registry.h"
#include "framework/core/handler_boundary.h"
#include "framework/ui/colors.h"
#include "framework/ui/control.h"
#include "framework/ui/font_properties.h"

namespace {

// The window's widget: its close box asks the form, which decides.
class FormWidget : public QWidget {
 public:
  explicit FormWidget(TForm* form) : form_(form) {}

 protected:
  void closeEvent(QCloseEvent* event) override {
    event->ignore();
    CallHandler(form_, [this] { form_->Close(); });
  }

 private:
  TForm* form_;
};

bool Sizeable(TFormBorderStyle style) {
  return style == TFormBorderStyle::bsSizeable || style == TFormBorderStyle::bsSizeToolWin;
}

void CollectFocusChain(const TControlContainer& container, std::vector<QWidget*>& chain) {
  for (TControl* control : container.TabOrderedControls()) {
    if (TControlContainer* inner = control->AsContainer()) {
      CollectFocusChain(*inner, chain);
    } else if (control->TabStop() && control->FocusWidget() != nullptr) {
      chain.push_back(control->FocusWidget());
    }
  }
}

}  // namespace

TForm::TForm(TComponent* owner) : TCustomForm(owner), widget_(new FormWidget(this)) {
  ApplyFrame();
  ApplySize();
}

TForm::~TForm() {
  // The controls go first, while the window's widget still holds theirs.
  DestroyWindowContents();
  delete widget_;
}

void TForm::Show() {
  if (!placed_) {
    PlaceOnScreen();
    placed_ = true;
  }
  widget_->show();
  widget_->raise();
  widget_->activateWindow();
}

void TForm::Hide() { widget_->hide(); }

bool TForm::Visible() const { return widget_->isVisible(); }

void TForm::HandleNeeded() { widget_->winId(); }

void TForm::SetCaption(const std::string& caption) {
  caption_ = caption;
  widget_->setWindowTitle(QString::fromStdString(caption));
}

void TForm::SetClientWidth(int width) {
  clientWidth_ = width;
  ApplySize();
}

void TForm::SetClientHeight(int height) {
  clientHeight_ = height;
  ApplySize();
}

void TForm::SetBorderStyle(TFormBorderStyle style) {
  borderStyle_ = style;
  ApplyFrame();
  ApplySize();
}

void TForm::SetColor(const QColor& color) {
  QPalette palette = widget_->palette();
  palette.setColor(QPalette::Window, color);
  widget_->setPalette(palette);
  widget_->setAutoFillBackground(true);
}

void TForm::SetIcon(const QIcon& icon) { widget_->setWindowIcon(icon); }

void TForm::FontChanged() { widget_->setFont(font_.ToQFont()); }

void TForm::ApplyFrame() {
  Qt::WindowFlags flags;
  const Qt::WindowFlags titled = Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;
  switch (borderStyle_) {
    case TFormBorderStyle::bsNone: flags = Qt::Window | Qt::FramelessWindowHint; break;
    case TFormBorderStyle::bsSingle:
      flags = Qt::Window | titled | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint;
      break;
    case TFormBorderStyle::bsSizeable: flags = Qt::Window; break;
    case TFormBorderStyle::bsDialog: flags = Qt::Dialog | titled; break;
    case TFormBorderStyle::bsToolWindow:
    case TFormBorderStyle::bsSizeToolWin: flags = Qt::Tool | titled; break;
  }
  bool wasVisible = widget_->isVisible();
  widget_->setWindowFlags(flags);
  // Qt clears this for tool windows; the main window's close must end the loop.
  widget_->setAttribute(Qt::WA_QuitOnClose, true);
  if (wasVisible) widget_->show();
}

void TForm::ApplySize() {
  if (Sizeable(borderStyle_)) {
    widget_->setMinimumSize(0, 0);
    widget_->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    widget_->resize(clientWidth_, clientHeight_);
  } else {
    widget_->setFixedSize(clientWidth_, clientHeight_);
  }
  Realign();
}

void TForm::PlaceOnScreen() {
  QScreen* screen = widget_->screen() != nullptr ? widget_->screen() : QGuiApplication::primaryScreen();
  switch (position_) {
    case TPosition::poScreenCenter:
    case TPosition::poDesktopCenter:
    case TPosition::poMainFormCenter:
    case TPosition::poOwnerFormCenter:
      if (screen != nullptr) {
        // The frame is centred, so its size is needed: it exists once the window does.
        widget_->winId();
        QMargins frame = widget_->windowHandle() != nullptr ? widget_->windowHandle()->frameMargins() : QMargins();
        QRect area = screen->availableGeometry();
        int width = clientWidth_ + frame.left() + frame.right();
        int height = clientHeight_ + frame.top() + frame.bottom();
        widget_->move(area.x() + (area.width() - width) / 2, area.y() + (area.height() - height) / 2);
      }
      break;
    case TPosition::poDesigned:
      widget_->move(left_, top_);
      break;
    case TPosition::poDefault:
      break;
  }
}

std::vector<QWidget*> TForm::FocusChain() const {
  std::vector<QWidget*> chain;
  CollectFocusChain(*this, chain);
  return chain;
}

void TForm::TabOrderChanged() {
  if (LayoutSuspended()) return;
  std::vector<QWidget*> chain = FocusChain();
  for (std::size_t i = 1; i < chain.size(); ++i) QWidget::setTabOrder(chain[i - 1], chain[i]);
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
      .Value("Color", [](TForm& form, const TPropertyValue& v) { form.SetColor(ColorFromValue(v)); });
  RegisterFontProperties(builder);
}
