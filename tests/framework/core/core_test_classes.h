// Component classes for the framework's core tests: a probe with one property
// of each kind, a data module and a window without a window system.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "framework/core/class_registry.h"
#include "framework/core/custom_form.h"
#include "framework/core/data_module.h"

enum class TProbeMode { pmOff, pmSlow, pmFast };
enum class TProbeOption { poRed, poGreen, poBlue };

// What the probes heard, in order, across one test.
inline std::vector<std::string>& ProbeLog() {
  static std::vector<std::string> log;
  return log;
}

class TProbe : public TComponent {
 public:
  explicit TProbe(TComponent* owner) : TComponent(owner) {}
  std::string_view ClassName() const override { return "TProbe"; }

  TComponent* Link() const { return link; }
  void SetLink(TComponent* target) {
    if (link != nullptr) RemoveFreeNotification(link);
    link = target;
    if (link != nullptr) FreeNotification(link);
    ProbeLog().push_back(Name() + ".Link=" + (target ? target->Name() : "null"));
  }
  void SetParentComponent(TComponent* p) override { parent = p; }

  std::string caption;
  int size = 0;
  bool flag = false;
  TProbeMode mode = TProbeMode::pmOff;
  std::set<TProbeOption> options;
  std::vector<std::string> lines;
  TComponent* link = nullptr;
  TComponent* parent = nullptr;
  TNotifyEvent onFire;

 protected:
  void Loaded() override { ProbeLog().push_back("loaded " + Name() + (Loading() ? " (loading)" : "")); }
  void Notification(TComponent* component, TOperation operation) override {
    if (operation == TOperation::opRemove && component == link) link = nullptr;
  }
};

// A module with members for its probes and two handlers.
class TProbeModule : public TDataModule {
 public:
  explicit TProbeModule(TComponent* owner) : TDataModule(owner) {}
  std::string_view ClassName() const override { return "TProbeModule"; }
  void Fired(TComponent* sender) { fired.push_back(sender); }
  void ModuleCreate(TComponent*) {
    ProbeLog().push_back("create " + Name());
    if (failOnCreate) throw Exception("the creation handler failed");
  }

  TProbe* Probe1 = nullptr;
  TProbe* Probe2 = nullptr;
  std::vector<TComponent*> fired;
  bool failOnCreate = false;
};

// A window without a window system.
class TPlainForm : public TCustomForm {
 public:
  explicit TPlainForm(TComponent* owner) : TCustomForm(owner) {}
  ~TPlainForm() override { DestroyWindowContents(); }
  std::string_view ClassName() const override { return "TPlainForm"; }
  void Show() override { visible = true; }
  void Hide() override { visible = false; }
  bool Visible() const override { return visible; }
  void HandleNeeded() override { handleCreated = true; }

  bool visible = false;
  bool handleCreated = false;
};

inline void RegisterProbeClasses() {
  RegisterComponentClass<TProbe>("TProbe")
      .Text("Caption", [](TProbe& p, const std::string& v) { p.caption = v; })
      .Integer("Size", [](TProbe& p, int v) { p.size = v; })
      .Boolean("Flag", [](TProbe& p, bool v) { p.flag = v; })
      .Enum<TProbeMode>("Mode", [](TProbe& p, TProbeMode v) { p.mode = v; },
                        {{"pmOff", TProbeMode::pmOff}, {"pmSlow", TProbeMode::pmSlow}, {"pmFast", TProbeMode::pmFast}})
      .Set<TProbeOption>("Options", [](TProbe& p, const std::set<TProbeOption>& v) { p.options = v; },
                         {{"poRed", TProbeOption::poRed}, {"poGreen", TProbeOption::poGreen},
                          {"poBlue", TProbeOption::poBlue}})
      .Strings("Lines", [](TProbe& p, const std::vector<std::string>& v) { p.lines = v; })
      .Reference<TComponent>("Link", &TProbe::Link, &TProbe::SetLink)
      .Reference<TProbe>("Peer", &TProbe::Link, &TProbe::SetLink)
      .Event("OnFire", [](TProbe& p, TNotifyEvent e) { p.onFire = std::move(e); });
  RegisterComponentClass<TProbeModule, TDataModule>("TProbeModule")
      .Field("Probe1", &TProbeModule::Probe1)
      .Field("Probe2", &TProbeModule::Probe2)
      .Method("Fired", &TProbeModule::Fired)
      .Method("ModuleCreate", &TProbeModule::ModuleCreate);
  RegisterComponentClass<TPlainForm, TCustomForm>("TPlainForm");
}
