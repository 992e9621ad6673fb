#include "framework/core/application.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>

#include "framework/core/application_title.h"
#include "framework/core/handler_boundary.h"
#include "framework/core/message_dialog.h"
#include "framework/core/message_loop.h"
#include "framework/core/recording_dialogs.h"
#include "tests/framework/core/core_test_classes.h"

namespace {

// A loop that dispatches queued messages through the handler boundary.
class ScriptedLoop : public TMessageLoop {
 public:
  void Run() override {
    while (!quit_ && !messages.empty()) {
      auto message = std::move(messages.front());
      messages.pop_front();
      CallHandler(nullptr, message);
    }
    ++runs;
  }
  void PostQuit() override { quit_ = true; }
  void ProcessMessages() override {
    while (!messages.empty()) {
      auto message = std::move(messages.front());
      messages.pop_front();
      CallHandler(nullptr, message);
    }
  }

  std::deque<std::function<void()>> messages;
  int runs = 0;

 private:
  bool quit_ = false;
};

// Records, in its constructor, whether the create-object step had already set
// the reference, and fails there on demand.
class TStepProbe : public TDataModule {
 public:
  static TStepProbe* reference;
  static bool referenceSetBeforeConstructor;
  static bool fail;
  explicit TStepProbe(TComponent* owner) : TDataModule(owner) {
    referenceSetBeforeConstructor = reference == this;
    SetName("dmStep");
    if (fail) throw Exception("construction failed");
  }
};
TStepProbe* TStepProbe::reference = nullptr;
bool TStepProbe::referenceSetBeforeConstructor = false;
bool TStepProbe::fail = false;

class TLoggedForm : public TPlainForm {
 public:
  explicit TLoggedForm(TComponent* owner) : TPlainForm(owner) {}
  ~TLoggedForm() override { ProbeLog().push_back("destroy " + Name()); }
  void Hide() override {
    ProbeLog().push_back("hide " + Name());
    TPlainForm::Hide();
  }
};
class TLoggedModule : public TProbeModule {
 public:
  explicit TLoggedModule(TComponent* owner) : TProbeModule(owner) {}
  ~TLoggedModule() override { ProbeLog().push_back("destroy " + Name()); }
};

class ApplicationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterProbeClasses();
    ProbeLog().clear();
    previousLoop_ = Application.SetMessageLoop(&loop);
  }
  void TearDown() override {
    Application.Shutdown();
    Application.SetMessageLoop(previousLoop_);
  }

  ScriptedLoop loop;
  TRecordingDialogs dialogs;
  TDialogsScope dialogsScope{dialogs};

 private:
  TMessageLoop* previousLoop_ = nullptr;
};

TEST_F(ApplicationTest, CreateObjectSetsTheReferenceFirstAndClearsItWhenConstructionFails) {
  TStepProbe::fail = false;
  Application.CreateForm(TStepProbe::reference);
  EXPECT_TRUE(TStepProbe::referenceSetBeforeConstructor);
  ASSERT_NE(TStepProbe::reference, nullptr);
  EXPECT_EQ(TStepProbe::reference->Owner(), &Application);
  // Modules never become the main window.
  EXPECT_EQ(Application.MainForm(), nullptr);
  delete TStepProbe::reference;

  TStepProbe::fail = true;
  EXPECT_THROW(Application.CreateForm(TStepProbe::reference), Exception);
  EXPECT_TRUE(TStepProbe::referenceSetBeforeConstructor);
  EXPECT_EQ(TStepProbe::reference, nullptr);
  EXPECT_EQ(Application.ComponentCount(), 0u);
  TStepProbe::fail = false;
}

TEST_F(ApplicationTest, TheFirstWindowBecomesTheMainWindowAndShutdownDestroysLastCreatedFirst) {
  TLoggedForm* first = nullptr;
  TLoggedModule* module = nullptr;
  TLoggedForm* second = nullptr;
  Application.CreateForm(module);
  module->SetName("dmFirst");
  Application.CreateForm(first);
  first->SetName("Form2");
  Application.CreateForm(second);
  second->SetName("Popup");
  EXPECT_EQ(Application.MainForm(), first);
  EXPECT_TRUE(first->handleCreated);
  EXPECT_FALSE(second->handleCreated);
  second->Show();

  Application.Run();  // shows the main window; the loop has nothing queued
  EXPECT_TRUE(first->visible);
  EXPECT_TRUE(Application.Terminated());

  ProbeLog().clear();
  Application.AddExitProc([] { ProbeLog().push_back("exit proc 1"); });
  Application.AddExitProc([] { ProbeLog().push_back("exit proc 2"); });
  Application.Shutdown();
  // The pop-up is hidden before anything is destroyed; the main window is not.
  EXPECT_EQ(ProbeLog(), (std::vector<std::string>{"hide Popup", "destroy Popup", "destroy Form2", "destroy dmFirst",
                                                  "exit proc 2", "exit proc 1"}));
  EXPECT_EQ(Application.MainForm(), nullptr);
  EXPECT_EQ(Application.ComponentCount(), 0u);
}

TEST_F(ApplicationTest, ClosingTheMainWindowEndsTheLoopAndAnotherWindowOnlyHides) {
  TPlainForm* main = nullptr;
  TPlainForm* other = nullptr;
  Application.CreateForm(main);
  Application.CreateForm(other);
  other->Show();
  bool lateMessageRan = false;
  loop.messages.push_back([&] { other->Close(); });
  loop.messages.push_back([&] { throw Exception("Handler failed"); });
  loop.messages.push_back([&] { main->Close(); });
  loop.messages.push_back([&] { lateMessageRan = true; });
  Application.Run();
  EXPECT_FALSE(other->visible);
  // The exception reached the display and the loop went on to the close.
  EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{"Handler failed."});
  EXPECT_FALSE(lateMessageRan);
  EXPECT_TRUE(Application.Terminated());
  // The main window is not hidden when it closes.
  EXPECT_TRUE(main->visible);
}

TEST_F(ApplicationTest, ACloseQueryHandlerCanKeepTheMainWindowOpen) {
  TPlainForm* main = nullptr;
  Application.CreateForm(main);
  main->SetOnCloseQuery([](TComponent*, bool& canClose) { canClose = false; });
  bool lateMessageRan = false;
  loop.messages.push_back([&] { main->Close(); });
  loop.messages.push_back([&] { lateMessageRan = true; });
  Application.Run();
  EXPECT_TRUE(lateMessageRan);
}

TEST_F(ApplicationTest, AFailingModuleCreationHandlerIsShownAndTheModuleStillCounts) {
  TLoggedModule* module = nullptr;
  Application.SetTitle("Merge");
  Application.CreateForm(module);
  module->failOnCreate = true;
  module->ReadDescription("TProbeModule dmRA5 { OnCreate = ModuleCreate }", "dm.fwd");
  EXPECT_EQ(ProbeLog(), std::vector<std::string>{"create dmRA5"});
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_EQ(dialogs.shown[0].text, "the creation handler failed.");
  EXPECT_EQ(dialogs.shown[0].caption, "Merge");
  EXPECT_EQ(Application.ComponentCount(), 1u);
  Application.SetTitle("");
}

TEST(ExceptionDisplayTextTest, AppendsAPeriodOnlyAfterCharactersAboveThePeriod) {
  EXPECT_EQ(ExceptionDisplayText("Field 'X' not found"), "Field 'X' not found.");
  EXPECT_EQ(ExceptionDisplayText("error 42"), "error 42.");
  EXPECT_EQ(ExceptionDisplayText("Done."), "Done.");
  EXPECT_EQ(ExceptionDisplayText("beschädigt!"), "beschädigt!");
  EXPECT_EQ(ExceptionDisplayText("(error $2108)"), "(error $2108)");
  EXPECT_EQ(ExceptionDisplayText("Really?"), "Really?.");
  EXPECT_EQ(ExceptionDisplayText("dPatient:"), "dPatient:.");
  EXPECT_EQ(ExceptionDisplayText("trailing "), "trailing ");
  EXPECT_EQ(ExceptionDisplayText("line one\r\nline two\n"), "line one\r\nline two\n");
  EXPECT_EQ(ExceptionDisplayText("x-"), "x-");
  EXPECT_EQ(ExceptionDisplayText("x/"), "x/.");
  EXPECT_EQ(ExceptionDisplayText("Größe ß"), "Größe ß.");
  EXPECT_EQ(ExceptionDisplayText(""), "");
}

TEST(TitleFromFileNameTest, CutsFoldersAndExtensionAndLowersAllButTheFirstCharacter) {
  EXPECT_EQ(TitleFromFileName("C:\\Program Files\\VELDA\\MERGE.TOOL.EXE"), "Merge");
  // The first character keeps its case.
  EXPECT_EQ(TitleFromFileName("/usr/local/bin/mergeTool"), "mergetool");
  EXPECT_EQ(TitleFromFileName("MERGETOOL"), "Mergetool");
  EXPECT_EQ(TitleFromFileName("C:\\a.b\\PROG"), "Prog");
  EXPECT_EQ(TitleFromFileName(".hidden"), "");
  EXPECT_EQ(TitleFromFileName(""), "");
}

TEST_F(ApplicationTest, TheExceptionDisplayShowsTheTextWithTheTitleAsCaption) {
  std::string exe = Application.ExeName();
  Application.SetTitle("");
  Application.SetExeName("C:\\TOOLS\\MERGE.TOOL.EXE");
  EXPECT_EQ(Application.Title(), "Merge");
  auto raise = [](auto exception) { return [exception] { throw exception; }; };
  CallHandler(nullptr, raise(Exception("Cannot open")));
  CallHandler(nullptr, raise(EConvertError("'' is not a valid integer value")));
  CallHandler(nullptr, raise(EAbort()));
  CallHandler(nullptr, [] { Abort(); });
  CallHandler(nullptr, raise(Exception("")));
  CallHandler(nullptr, raise(std::runtime_error("std failure")));
  CallHandler(nullptr, [] { throw 42; });
  EXPECT_EQ(dialogs.Texts(), (std::vector<std::string>{"Cannot open.", "'' is not a valid integer value.", "",
                                                       "std failure.", "Unknown exception."}));
  for (const TDialogRequest& shown : dialogs.shown) {
    EXPECT_EQ(shown.kind, TDialogKind::MessageBox);
    EXPECT_EQ(shown.caption, "Merge");
    EXPECT_EQ(shown.icon, TDialogIcon::Error);
    EXPECT_EQ(shown.buttons, std::vector<TDialogButton>{TDialogButton::OK});
    EXPECT_EQ(shown.defaultButton, TDialogButton::OK);
  }
  // The mouse capture is ended first, also for the swallowed aborts.
  EXPECT_EQ(dialogs.mouseCaptureCancels, 7);
  Application.SetExeName(exe);
}

TEST_F(ApplicationTest, ADisplayThatFailsItselfDoesNotLetTheExceptionOut) {
  dialogs.onShow = [](const TDialogRequest&) { throw std::runtime_error("no display"); };
  bool after = false;
  CallHandler(nullptr, [] { throw Exception("first"); });
  after = true;
  EXPECT_TRUE(after);
  EXPECT_EQ(dialogs.shown.size(), 1u);
}

TEST_F(ApplicationTest, TheMessageDialogIsCaptionedErrorWithOkAsDefaultAndCancel) {
  dialogs.answers.push_back(TDialogButton::OK);
  TDialogButton result = MessageDlg("Alte Daten nicht in diesem Verzeichnis, unvollständig oder beschädigt!",
                                    TMsgDlgType::mtError, {TMsgDlgBtn::mbOK}, 0);
  EXPECT_EQ(result, TDialogButton::OK);
  ASSERT_EQ(dialogs.shown.size(), 1u);
  const TDialogRequest& shown = dialogs.shown[0];
  EXPECT_EQ(shown.kind, TDialogKind::MessageDialog);
  EXPECT_EQ(shown.caption, "Error");
  EXPECT_EQ(shown.text, "Alte Daten nicht in diesem Verzeichnis, unvollständig oder beschädigt!");
  EXPECT_EQ(shown.icon, TDialogIcon::Error);
  EXPECT_EQ(shown.buttons, std::vector<TDialogButton>{TDialogButton::OK});
  EXPECT_EQ(shown.defaultButton, TDialogButton::OK);
  EXPECT_EQ(shown.cancelButton, TDialogButton::OK);

  TDialogRequest question =
      MessageDialogRequest("?", TMsgDlgType::mtConfirmation, {TMsgDlgBtn::mbYes, TMsgDlgBtn::mbNo});
  EXPECT_EQ(question.caption, "Confirm");
  EXPECT_EQ(question.defaultButton, TDialogButton::Yes);
  EXPECT_EQ(question.cancelButton, TDialogButton::No);
}

TEST_F(ApplicationTest, InitialisationHooksRunInOrder) {
  std::vector<int> order;
  TApplication local;
  local.AddInitProc([&] { order.push_back(1); });
  local.AddInitProc([&] { order.push_back(2); });
  local.Initialize();
  EXPECT_EQ(order, (std::vector<int>{1, 2}));
}

}  // namespace
