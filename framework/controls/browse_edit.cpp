#include "framework/controls/browse_edit.h"

namespace {

bool IsBlankOrControl(char c) { return static_cast<unsigned char>(c) <= 0x20; }

}  // namespace

TBitmap FolderGlyph() {
  TBitmap glyph(kFolderGlyphWidth, kFolderGlyphHeight, 0);
  const std::uint32_t outline = TRgb{128, 96, 0}.Pixel();
  auto frame = [&](const TRect& r, std::uint32_t inside) {
    glyph.Fill(r, outline);
    glyph.Fill(TRect{r.left + 1, r.top + 1, r.width - 2, r.height - 2}, inside);
  };
  frame(TRect{0, 1, 6, 3}, TRgb{255, 224, 96}.Pixel());                                     // the tab
  frame(TRect{0, 3, kFolderGlyphWidth, kFolderGlyphHeight - 4}, TRgb{240, 200, 64}.Pixel());  // the folder
  return glyph;
}

std::string TrimBlanksAndControls(const std::string& text) {
  std::size_t begin = 0, end = text.size();
  while (begin < end && IsBlankOrControl(text[begin])) ++begin;
  while (end > begin && IsBlankOrControl(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

TBrowseEdit::TBrowseEdit(TComponent* owner) : TControl(owner, true) {
  peer_ = InitPeer(WidgetSet().CreateBrowseEdit(*this));
  peer_->SetButtonWidth(buttonWidth_);
}

void TBrowseEdit::SetButtonWidth(int width) {
  buttonWidth_ = width;
  peer_->SetButtonWidth(width);
}

void TBrowseEdit::SetCaretBlinkTime(int milliseconds) {
  caretBlinkTime_ = milliseconds;
  peer_->SetCaretBlinkTime(milliseconds);
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
  if (!Focused()) SetFocus();
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
      .Integer("MaxLength", &TBrowseEdit::SetMaxLength)
      .Integer("CaretBlinkTime", &TBrowseEdit::SetCaretBlinkTime);
}
