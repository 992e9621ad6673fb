// mergetool-cli --old DIR [--yes | --check]: the merge without a window, for
// administrators, scripts and machines without a display. It builds the same
// two database modules and batch appends as the window, checks the old
// database as the window's directory handler does, asks for the backup
// confirmation on the terminal, runs the merge procedure and reports, with
// the dry run's report of what it found beforehand. With --check it only
// prints that report and changes nothing.
#include "app/mergetool_cli.h"

#include <cstdint>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "app/merge_check.h"
#include "app/merge_procedure.h"
#include "app/old_database.h"
#include "app/terminal_dialogs.h"
#include "engine/access/database_name.h"
#include "engine/access/engine_config.h"
#include "engine/io/platform.h"
#include "database/dm_ra5.h"
#include "database/dm_ra5old.h"
#include "framework/core/application.h"
#include "framework/core/application_title.h"
#include "framework/core/exceptions.h"
#include "tableaccess/batch_move.h"
#include "tableaccess/engine_binding.h"
#include "tableaccess/session.h"
#include "tableaccess/table.h"

namespace {

constexpr const char* kUsage =
    "usage: mergetool-cli --old DIR [--yes | --check]\n"
    "  Merges the old database in DIR into the active database (alias winvelda5).\n"
    "  --yes    do not ask for the confirmation that backup copies exist\n"
    "  --check  only report what a merge would do, change nothing; exit status\n"
    "           0: it would go through cleanly, 1: with warnings, 2: it would fail\n";

struct Options {
  std::string oldDirectory;
  bool yes = false;
  bool check = false;
};

bool ParseOptions(const std::vector<std::string>& args, Options& options, std::string& error) {
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--old") {
      if (i + 1 >= args.size()) {
        error = "--old needs a directory";
        return false;
      }
      options.oldDirectory = args[++i];
    } else if (arg == "--yes") {
      options.yes = true;
    } else if (arg == "--check") {
      options.check = true;
    } else {
      error = "unknown argument: " + arg;
      return false;
    }
  }
  if (options.oldDirectory.empty()) {
    error = "--old DIR is required";
    return false;
  }
  if (options.check && options.yes) {
    error = "--check and --yes exclude each other";
    return false;
  }
  return true;
}

const char* PhaseName(MergePhase phase) {
  switch (phase) {
    case MergePhase::Patients: return "Patienten umnummerieren";
    case MergePhase::Sessions: return "Messreihen umnummerieren";
    case MergePhase::Data: return "Messungen umnummerieren";
    case MergePhase::Appending: return "Alte Daten anfügen";
    case MergePhase::Writing: return "Datenbanken schreiben";
  }
  return "";
}

void PrintCounters(const char* when, const MergeCounters& c) {
  std::cout << when << ": Patient " << c.patient << ", Messreihe " << c.session << ", Messungen " << c.data << '\n';
}

bool Confirmed() {
  std::cout << "Ich bestätige von den Dateien der aktiven\n"
               "Datenbank und von den Dateien der alten\n"
               "einzumischenden Datenbank jeweils eine\n"
               "Sicherungskopie erstellt zu haben.\n"
               "Zustimmung (j/n)? "
            << std::flush;
  std::string answer;
  if (!std::getline(std::cin, answer)) return false;
  return answer == "j" || answer == "J" || answer == "ja" || answer == "Ja";
}

// Shows a phase's walk as it goes; on a terminal the line is rewritten.
MergeProgress TerminalProgress() {
  MergeProgress progress;
  progress.phaseStarted = [](MergePhase phase) { std::cout << PhaseName(phase) << '\n' << std::flush; };
  progress.recordDone = [](MergePhase, std::int64_t done) {
    if (done % 1000 == 0) std::cout << "  " << done << " Datensätze\r" << std::flush;
  };
  return progress;
}

// The dry run's report when the databases could not be opened: what made
// them fail, and whether another program has them in use.
int ReportUnopened(MergeCheckReport& report, const std::string& failure) {
  if (!failure.empty()) report.Add(CheckSeverity::Error, CheckTopic::OpenFailed, failure);
  CheckDatabasesInUse(report);
  std::cout << FormatCheckReport(report);
  return report.ExitStatus();
}

// The directories of both databases as the engine will find them; a path
// stays empty when the configuration does not give it.
MergeCheckReport DirectoriesOf(const Options& options) {
  MergeCheckReport report;
  px::EngineConfig config;
  std::filesystem::path active;
  if (px::EngineConfig::load(config).ok() && config.resolveAlias("winvelda5", active).ok()) {
    report.activeDirectory = active;
  }
  report.oldDirectory = px::directoryFromName(options.oldDirectory + "\\");
  return report;
}

// The forecast a merge prints once it is done; the merge goes on without it
// when the tables cannot be read for it.
std::optional<MergeCheckReport> Forecast(const MergeTables& tables) {
  try {
    return CheckMerge(tables);
  } catch (const std::exception& e) {
    std::cerr << "Prüfung nicht möglich: " << ExceptionDisplayText(e.what()) << '\n';
    return std::nullopt;
  }
}

int Run(const Options& options, TTerminalDialogs& dialogs) {
  if (options.check) {
    // Opening a database that holds a commit cut short would finish it.
    MergeCheckReport unopened = DirectoriesOf(options);
    CheckUnfinishedCommits(unopened);
    if (!unopened.findings.empty()) return ReportUnopened(unopened, "");
  }
  Application.CreateForm(dmRA5old);
  Application.CreateForm(dmRA5);
  if (dialogs.errorsShown > 0) {  // a view of the active database did not open
    if (options.check) {
      MergeCheckReport unopened = DirectoriesOf(options);
      return ReportUnopened(unopened, "Die aktive Datenbank ließ sich nicht öffnen.");
    }
    return 1;
  }

  const MergeTables tables = CreateMergeTables(Application, *dmRA5, *dmRA5old);

  // Merged into itself, the active database would have every key renumbered.
  try {
    CheckNotActiveDatabase(*dmRA5, options.oldDirectory);
  } catch (const std::exception& e) {
    std::cerr << e.what() << '\n';
    return options.check ? 2 : 1;
  }
  BindOldDatabase(*dmRA5old, options.oldDirectory);
  try {
    OpenOldDatabase(*dmRA5old);
    CheckOldKeys(*dmRA5old);
  } catch (const std::exception& e) {
    CloseOldDatabase(*dmRA5old);
    if (options.check) {
      MergeCheckReport unopened = DirectoriesOf(options);
      return ReportUnopened(unopened, std::string(kOldDataMessage) + " (" + e.what() + ")");
    }
    std::cerr << kOldDataMessage << '\n' << "(" << e.what() << ")\n";
    return 1;
  }

  if (options.check) {
    const MergeCheckReport report = CheckMerge(tables);
    std::cout << FormatCheckReport(report);
    return report.ExitStatus();
  }
  PrintCounters("Zähler vorher", ReadCounters(tables));
  if (!options.yes && !Confirmed()) {
    std::cerr << "Keine Zustimmung: nichts geändert.\n";
    return 1;
  }
  const std::optional<MergeCheckReport> forecast = Forecast(tables);
  // Old patients under the very keys of the same people in the active
  // database: an earlier merge of this database went through (perhaps one cut
  // off after its last write), and another would add everything twice.
  if (forecast && forecast->Has(CheckTopic::AlreadyMerged) && forecast->alreadyMergedOffset == 0) {
    std::cout << '\n' << FormatCheckReport(*forecast, "Prüfung vor dem Zusammenführen:") << '\n';
    std::cerr << "Diese alte Datenbank ist schon eingemischt: nichts geändert.\n";
    return 1;
  }
  const MergeReport report = RunMerge(tables, TerminalProgress());
  PrintCounters("Zähler nachher", report.after);
  std::cout << "Angefügt: " << report.patients.moved << " Patienten, " << report.sessions.moved << " Messreihen, "
            << report.data.moved << " Messungen\n";
  if (report.anyRejected()) {
    std::string message = RejectedRecordsMessage(report);
    for (std::size_t at = message.find("\r\n"); at != std::string::npos; at = message.find("\r\n", at)) message.erase(at, 1);
    std::cout << message << '\n';
  }
  if (forecast) std::cout << '\n' << FormatCheckReport(*forecast, "Prüfung vor dem Zusammenführen:") << '\n';
  std::cout << "Fertig.\n";
  return 0;
}

}  // namespace

int RunMergeCommandLine(int argc, char** argv) {
  px::useUtf8Console();
  const std::vector<std::string> args = px::commandLineArguments(argc, argv);
  Options options;
  std::string error;
  if (!ParseOptions(args, options, error)) {
    std::cerr << "mergetool-cli: " << error << '\n' << kUsage;
    return 2;
  }
  TTerminalDialogs dialogs;
  TDialogsScope scope(dialogs);
  Application.SetExeName(args.empty() ? std::string() : args[0]);
  // A dry run that cannot finish cannot vouch for the merge.
  const int failed = options.check ? 2 : 1;
  int status = failed;
  try {
    status = Run(options, dialogs);
  } catch (const EAbort&) {
    status = failed;
  } catch (const std::exception& e) {
    std::cerr << ExceptionDisplayText(e.what()) << '\n';
    status = failed;
  }
  try {
    Application.Shutdown();
    EndDefaultSession();
  } catch (const std::exception& e) {
    std::cerr << ExceptionDisplayText(e.what()) << '\n';
    status = failed;
  }
  return status;
}
