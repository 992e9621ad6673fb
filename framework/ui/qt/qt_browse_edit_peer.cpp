// The directory field on Qt: a QLineEdit with a QToolButton inside its frame
// at the right end. While the field has the focus, Qt's cursor flash time is
// the field's blink period; the application's own comes back when it loses it.
#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPixmap>
#include <QResizeEvent>
#include <QStyle>
#include <QStyleHints>
#include <QToolButton>

#include "framework/controls/browse_edit.h"
#include "framework/core/handler_boundary.h"
#include "framework/ui/qt/qt_control_peer.h"
#include "framework/ui/qt/qt_peers.h"

namespace {

// The text field, with the button inside its frame at the right end.
class BrowseLineEdit : public QLineEdit {
 public:
  BrowseLineEdit() : button_(new QToolButton(this)) {
    button_->setFocusPolicy(Qt::NoFocus);
    button_->setCursor(Qt::ArrowCursor);
    button_->setIcon(QIcon(QPixmap::fromImage(ToQImage(FolderGlyph()))));
    button_->setIconSize(QSize(kFolderGlyphWidth, kFolderGlyphHeight));
    button_->setAutoRaise(false);
  }

  QToolButton* Button() const { return button_; }

  void SetButtonWidth(int width) {
    buttonWidth_ = width;
    setTextMargins(0, 0, width, 0);
    PlaceButton();
  }
  void SetBlinkTime(int milliseconds) { blinkTime_ = milliseconds; }

 protected:
  void resizeEvent(QResizeEvent* event) override {
    QLineEdit::resizeEvent(event);
    PlaceButton();
  }
  // Qt's flash time is one whole period of showing and hiding, twice the blink time.
  void focusInEvent(QFocusEvent* event) override {
    if (blinkTime_ > 0 && !savedFlashTime_) {
      savedFlashTime_ = QGuiApplication::styleHints()->cursorFlashTime();
      QApplication::setCursorFlashTime(2 * blinkTime_);
    }
    QLineEdit::focusInEvent(event);
  }
  void focusOutEvent(QFocusEvent* event) override {
    QLineEdit::focusOutEvent(event);
    if (savedFlashTime_) {
      QApplication::setCursorFlashTime(*savedFlashTime_);
      savedFlashTime_.reset();
    }
  }

 private:
  void PlaceButton() {
    int frame = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
    button_->setGeometry(width() - frame - buttonWidth_, frame, buttonWidth_, std::max(0, height() - 2 * frame));
  }

  QToolButton* button_;
  int buttonWidth_ = kBrowseButtonWidth;
  int blinkTime_ = 0;
  std::optional<int> savedFlashTime_;
};

class QtBrowseEditPeer : public QtControlPeer<TBrowseEditPeer> {
 public:
  explicit QtBrowseEditPeer(TBrowseEdit& edit) : QtControlPeer(new BrowseLineEdit) {
    QToolButton* button = Edit()->Button();
    QObject::connect(button, &QToolButton::clicked, button,
                     [&edit] { CallHandler(&edit, [&edit] { edit.ButtonClick(); }); });
  }

  std::string Text() const override { return Edit()->text().toStdString(); }
  void SetText(const std::string& text) override { Edit()->setText(QString::fromStdString(text)); }
  void SetButtonWidth(int width) override { Edit()->SetButtonWidth(width); }
  void SetReadOnly(bool readOnly) override { Edit()->setReadOnly(readOnly); }
  // 0 means no limit, as QLineEdit's own largest length does.
  void SetMaxLength(int length) override { Edit()->setMaxLength(length > 0 ? length : 32767); }
  void SetCaretBlinkTime(int milliseconds) override { Edit()->SetBlinkTime(milliseconds); }
  TRect ButtonBounds() const override {
    const QRect r = Edit()->Button()->geometry();
    return {r.x(), r.y(), r.width(), r.height()};
  }
  void ClickButton() override { Edit()->Button()->click(); }
  void TypeText(const std::string& text) override {
    for (QChar c : QString::fromStdString(text)) {
      QKeyEvent press = c == '\n' ? QKeyEvent(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier)
                                  : QKeyEvent(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
      QApplication::sendEvent(Edit(), &press);
    }
  }

 private:
  BrowseLineEdit* Edit() const { return static_cast<BrowseLineEdit*>(Widget()); }
};

}  // namespace

std::unique_ptr<TBrowseEditPeer> NewQtBrowseEditPeer(TBrowseEdit& edit) {
  return std::make_unique<QtBrowseEditPeer>(edit);
}
