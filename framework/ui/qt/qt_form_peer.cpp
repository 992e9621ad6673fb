#include "framework/ui/qt/qt_form_peer.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QIcon>
#include <QPalette>
#include <QPixmap>
#include <QScreen>
#include <QWindow>

#include "framework/controls/control.h"
#include "framework/controls/form.h"
#include "framework/core/handler_boundary.h"

namespace {

// The window's widget: its close box asks the form, which decides.
class FormWidget : public QWidget {
 public:
  explicit FormWidget(TForm& form) : form_(form) {}

 protected:
  void closeEvent(QCloseEvent* event) override {
    event->ignore();
    CallHandler(&form_, [this] { form_.Close(); });
  }

 private:
  TForm& form_;
};

}  // namespace

QtFormPeer::QtFormPeer(TForm& form) : widget_(new FormWidget(form)) {}

QtFormPeer::~QtFormPeer() { delete widget_; }

QWidget* QtFormPeer::WidgetOf(const TForm& form) { return dynamic_cast<QtFormPeer&>(form.Peer()).Widget(); }

void QtFormPeer::SetColor(const TColor& color) {
  QPalette palette = widget_->palette();
  palette.setColor(QPalette::Window, ToQColor(color));
  widget_->setPalette(palette);
  widget_->setAutoFillBackground(true);
}

void QtFormPeer::SetCaption(const std::string& caption) { widget_->setWindowTitle(QString::fromStdString(caption)); }

void QtFormPeer::SetClientSize(const TSize& size) {
  clientSize_ = size;
  ApplySize();
}

void QtFormPeer::ApplySize() {
  if (Sizeable(borderStyle_)) {
    widget_->setMinimumSize(0, 0);
    widget_->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    widget_->resize(clientSize_.width, clientSize_.height);
  } else {
    widget_->setFixedSize(clientSize_.width, clientSize_.height);
  }
}

void QtFormPeer::SetBorderStyle(TFormBorderStyle style) {
  borderStyle_ = style;
  Qt::WindowFlags flags;
  const Qt::WindowFlags titled = Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;
  switch (style) {
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
  ApplySize();
}

void QtFormPeer::SetFont(const TResolvedFont& font) {
  widget_->setFont(ToQFont(font));
  ApplyTextColor(*widget_, font.color);
}

void QtFormPeer::SetIcon(const TIcon& icon) {
  widget_->setWindowIcon(icon.Empty() ? QIcon() : QIcon(QPixmap::fromImage(ToQImage(icon.Image()))));
}

void QtFormPeer::HandleNeeded() { widget_->winId(); }

void QtFormPeer::PlaceOnScreen(TPosition position, TPoint designed) {
  QScreen* screen = widget_->screen() != nullptr ? widget_->screen() : QGuiApplication::primaryScreen();
  switch (position) {
    case TPosition::poScreenCenter:
    case TPosition::poDesktopCenter:
    case TPosition::poMainFormCenter:
    case TPosition::poOwnerFormCenter:
      if (screen != nullptr) {
        // The frame is centred, so its size is needed: it exists once the window does.
        widget_->winId();
        QMargins frame = widget_->windowHandle() != nullptr ? widget_->windowHandle()->frameMargins() : QMargins();
        QRect area = screen->availableGeometry();
        int width = widget_->width() + frame.left() + frame.right();
        int height = widget_->height() + frame.top() + frame.bottom();
        widget_->move(area.x() + (area.width() - width) / 2, area.y() + (area.height() - height) / 2);
      }
      break;
    case TPosition::poDesigned:
      widget_->move(designed.x, designed.y);
      break;
    case TPosition::poDefault:
      break;
  }
}

void QtFormPeer::Show() {
  widget_->show();
  widget_->raise();
  widget_->activateWindow();
}

void QtFormPeer::Hide() { widget_->hide(); }

bool QtFormPeer::Visible() const { return widget_->isVisible(); }

void QtFormPeer::CloseBox() { widget_->close(); }

void QtFormPeer::FocusChainChanged(const std::vector<TControl*>& chain) {
  QWidget* previous = nullptr;
  for (TControl* control : chain) {
    auto* peer = dynamic_cast<QtWidgetPeer*>(&control->Peer());
    if (peer == nullptr) continue;
    if (previous != nullptr) QWidget::setTabOrder(previous, peer->FocusWidget());
    previous = peer->FocusWidget();
  }
}

TSize QtFormPeer::ClientSize() const { return {widget_->width(), widget_->height()}; }

TBitmap QtFormPeer::Grab() const { return ToBitmap(widget_->grab().toImage()); }
