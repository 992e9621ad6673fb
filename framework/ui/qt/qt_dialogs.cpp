#include "framework/ui/qt/qt_dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QWidget>
#include <map>

#include "framework/controls/form.h"
#include "framework/core/application.h"
#include "framework/ui/qt/qt_form_peer.h"

namespace {

const std::map<TDialogButton, QMessageBox::StandardButton>& ButtonMap() {
  static const std::map<TDialogButton, QMessageBox::StandardButton> map = {
      {TDialogButton::OK, QMessageBox::Ok},           {TDialogButton::Cancel, QMessageBox::Cancel},
      {TDialogButton::Abort, QMessageBox::Abort},     {TDialogButton::Retry, QMessageBox::Retry},
      {TDialogButton::Ignore, QMessageBox::Ignore},   {TDialogButton::Yes, QMessageBox::Yes},
      {TDialogButton::No, QMessageBox::No},           {TDialogButton::Close, QMessageBox::Close},
      {TDialogButton::Help, QMessageBox::Help},       {TDialogButton::All, QMessageBox::YesToAll},
      {TDialogButton::NoToAll, QMessageBox::NoToAll}, {TDialogButton::YesToAll, QMessageBox::YesToAll},
  };
  return map;
}

QMessageBox::Icon IconOf(TDialogIcon icon) {
  switch (icon) {
    case TDialogIcon::Error: return QMessageBox::Critical;
    case TDialogIcon::Warning: return QMessageBox::Warning;
    case TDialogIcon::Information: return QMessageBox::Information;
    case TDialogIcon::Question: return QMessageBox::Question;
    case TDialogIcon::None: break;
  }
  return QMessageBox::NoIcon;
}

void CentreOnScreen(QWidget& dialog) {
  QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  dialog.adjustSize();
  QRect area = screen->availableGeometry();
  dialog.move(area.center() - QPoint(dialog.width() / 2, dialog.height() / 2));
}

}  // namespace

QWidget* TQtDialogs::OwnerWindow() {
  if (QWidget* active = QApplication::activeWindow()) return active;
  if (auto* main = dynamic_cast<TForm*>(Application.MainForm())) return QtFormPeer::WidgetOf(*main);
  return nullptr;
}

QMessageBox* TQtDialogs::CreateMessageBox(const TDialogRequest& request) {
  QWidget* owner = request.kind == TDialogKind::MessageBox ? OwnerWindow() : nullptr;
  auto* box = new QMessageBox(owner);
  box->setWindowModality(Qt::ApplicationModal);
  box->setWindowTitle(QString::fromStdString(request.caption));
  box->setTextFormat(Qt::PlainText);
  box->setText(QString::fromStdString(request.text));
  box->setIcon(IconOf(request.icon));
  for (TDialogButton button : request.buttons) {
    auto it = ButtonMap().find(button);
    if (it != ButtonMap().end()) box->addButton(it->second);
  }
  auto find = [&](TDialogButton button) -> QAbstractButton* {
    auto it = ButtonMap().find(button);
    return it == ButtonMap().end() ? nullptr : box->button(it->second);
  };
  if (auto* defaultButton = qobject_cast<QPushButton*>(find(request.defaultButton))) box->setDefaultButton(defaultButton);
  if (QAbstractButton* cancel = find(request.cancelButton)) box->setEscapeButton(cancel);
  if (request.kind == TDialogKind::MessageDialog) CentreOnScreen(*box);
  return box;
}

TDialogButton TQtDialogs::ShowDialog(const TDialogRequest& request) {
  std::unique_ptr<QMessageBox> box(CreateMessageBox(request));
  box->exec();
  QAbstractButton* clicked = box->clickedButton();
  for (const auto& [button, standard] : ButtonMap()) {
    if (clicked != nullptr && box->button(standard) == clicked) return button;
  }
  return request.cancelButton;
}

std::optional<std::string> TQtDialogs::PickFolder(const TFolderPickerRequest& request) {
  QString start = QString::fromStdString(request.startFolder);
  if (start.isEmpty()) start = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
  QFileDialog dialog(OwnerWindow(), QString::fromStdString(request.title), start);
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setOption(QFileDialog::ShowDirsOnly, true);
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setWindowModality(Qt::ApplicationModal);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return QDir(dialog.selectedFiles().front()).absolutePath().toStdString();
}

void TQtDialogs::CancelMouseCapture() {
  if (QWidget* grabber = QWidget::mouseGrabber()) grabber->releaseMouse();
}
