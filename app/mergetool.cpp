// The merge tool's entry: the application object, the merge window, then the
// old and the active database module, and the message loop. Closing the
// window ends the program: the modules and the window are destroyed, the
// last created first, and the engine session ends. No command line is read.
#include "app/form2.h"
#include "database/dm_ra5.h"
#include "database/dm_ra5old.h"
#include "framework/core/application.h"
#include "framework/ui/ui_runtime.h"
#include "tableaccess/session.h"

int main(int argc, char** argv) {
  TUiRuntime ui(argc, argv);
  TForm2::Register();
  TdmRA5old::Register();
  TdmRA5::Register();
  Application.Initialize();
  Application.SetMainFormOnTaskBar(true);
  Application.CreateForm(Form2);
  Application.CreateForm(dmRA5old);
  Application.CreateForm(dmRA5);
  Application.Run();
  Application.Shutdown();
  try {
    EndDefaultSession();
  } catch (const std::exception& e) {
    Application.ShowException(e.what());
  }
  return 0;
}
