#include "framework/ui/browse_edit.h"

#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QResizeEvent>
#include <QStyle>
#include <QToolButton>

#include "framework/core/handler_boundary.h"

namespace {

constexpr int kDefaultButtonWidth = 18;
constexpr int kGlyphWidth = 13;
constexpr int kGlyphHeight = 14;

// A yellow folder with a darker outline and tab.
QIcon FolderGlyph() {
  QPixmap pixmap(kGlyphWidth, kGlyphHeight);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  const QColor outline(128, 96, 0);
  painter.setPen(outline);
  painter.setBrush(QColor(240, 200, 64));
  painter.drawRect(0, 3, kGlyphWidth - 1, kGlyphHeight - 5);
  painter.setBrush(QColor(255, 224, 96));
  painter.drawRect(0, 1, 5, 2);
  painter.end();
  return QIcon(pixmap);
}

// The text field, with the button inside its frame at the right end.
class BrowseLineEdit : public QLineEdit {
 public:
  BrowseLineEdit() : button_(new QToolButton(this)) {
    button_->setFocusPolicy(Qt::NoFocus);
    button_->setCursor(Qt::ArrowCursor);
    button_->setIcon(FolderGlyph());
    button_->setIconSize(QSize(kGlyphWidth, kGlyphHeight));
    button_->setAutoRaise(false);
  }

  QToolButton* Button() const { return button_; }

  void SetButtonWidth(int width) {
    buttonWidth_ = width;
    setTextMargins(0, 0, width, 0);
    PlaceButton();
  }

 protected:
  void resizeEvent(QResizeEvent* event) override {
    QLineEdit::resizeEvent(event);
    PlaceButton();
  }

 private:
  void PlaceButton() {
    int frame = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
    button_->setGeometry(width() - frame - buttonWidth_, frame, buttonWidth_, std::max(0, height() - 2 * frame));
  }

  QToolButton* button_;
  int buttonWidth_ = kDefaultButtonWidth;
};

bool IsBlankOrControl(char c) { return static_cast<unsigned char>(c) <= 0x20; }

}  // namespace

std::string TrimBlanksAndControls(const std::string& text) {
  std::size_t begin = 0, end = text.size();
  while (begin < end && IsBlankOrControl(text[begin])) ++begin;
  while (end > begin && IsBlankOrControl(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

TBrowseEdit::TBrowseEdit(TComponent* owner)
    : TControl(owner, new BrowseLineEdit, true), buttonWidth_(kDefaultButtonWidth) {
  auto* edit = static_cast<BrowseLineEdit*>(Widget());
  edit_ = edit;
  button_ = edit->Button();
  edit->SetButtonWidth(buttonWidth_);
  QObject::connect(button_, &QToolButton::clicked, button_, [this] { CallHandler(this, [this] { ButtonClick(); }); });
}

std::string TBrowseEdit::Path() const { return edit_->text().toStdString(); }

void TBrowseEdit::SetPath(const std::string& path) { edit_->setText(QString::fromStdString(path)); }

void TBrowseEdit::SetButtonWidth(int width) {
  buttonWidth_ = width;
  static_cast<BrowseLineEdit*>(edit_)->SetButtonWidth(width);
}

void TBrowseEdit::SetReadOnly(bool readOnly) { edit_->setReadOnly(readOnly); }

void TBrowseEdit::SetMaxLength(int length) {
  // 0 means no limit, as QLineEdit's own largest length does.
  edit_->setMaxLength(length > 0 ? length : 32767);
}

TFolderPickerRequest TBrowseEdit::PickerRequest() const {
  TFolderPickerRequest request;
  request.fileSystemDirsOnly = options_.count(TBrowseOption::doReturnFileSysDirs) != 0;
  // The path is written into the status line, so without one it shows nowhere.
  request.showPath =
      options_.count(TBrowseOption::doShowPath) != 0 && options_.count(TBrowseOption::doStatusText) != 0;
  request.enableOkAtStart = options_.count(TBrowseOption::doEnableOK) != 0;
  if (startWithLast_) request.startFolder = lastPath_;
  return request;
}

void TBrowseEdit::ButtonClick() {
  if (!edit_->hasFocus()) edit_->setFocus(Qt::MouseFocusReason);
  std::optional<std::string> chosen = Dialogs().PickFolder(PickerRequest());
  if (!chosen) return;
  std::string path = TrimBlanksAndControls(*chosen);
  SetPath(path);
  lastPath_ = path;
  if (onDlgChange_) onDlgChange_(this);
}

void TBrowseEdit::Register() {
  RegisterComponentClass<TBrowseEdit, TControl>("TBrowseEdit")
      .Text("Path", &TBrowseEdit::SetPath)
      .Text("Text", &TBrowseEdit::SetPath)
      .Event("OnDlgChange", &TBrowseEdit::SetOnDlgChange)
      .Set<TBrowseOption>("Options", &TBrowseEdit::SetOptions,
                          {{"doReturnFileSysDirs", TBrowseOption::doReturnFileSysDirs},
                           {"doShowPath", TBrowseOption::doShowPath},
                           {"doStatusText", TBrowseOption::doStatusText},
                           {"doEnableOK", TBrowseOption::doEnableOK}})
      .Enum<TBrowseStartFolder>("StartFolder", &TBrowseEdit::SetStartFolder,
                                {{"bfoDesktop", TBrowseStartFolder::bfoDesktop},
                                 {"bfoDesktopExpanded", TBrowseStartFolder::bfoDesktopExpanded}})
      .Boolean("StartWithLast", &TBrowseEdit::SetStartWithLast)
      .Integer("CustomButtonWidth", &TBrowseEdit::SetButtonWidth)
      .Boolean("ReadOnly", &TBrowseEdit::SetReadOnly)
      .Integer("MaxLength", &TBrowseEdit::SetMaxLength);
}
