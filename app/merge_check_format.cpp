// The dry run's report as text: the figures first, then the findings, then
// the verdict, in the program's German.
#include <string>

#include "app/merge_check.h"
#include "app/merge_check_environment.h"

namespace {

// Left-out groups named one by one; the rest are summed up.
constexpr std::size_t kGroupsShown = 3;

std::string Counter(const char* label, const CounterForecast& counter) {
  return std::string("  ") + label + std::to_string(counter.now) + " -> " +
         (counter.after ? std::to_string(*counter.after) : std::string("?")) + "\n";
}

std::string LeftOut(const TableCheck& check) {
  std::string text;
  std::int64_t rest = 0;
  for (std::size_t i = 0; i < check.leftOut.size(); ++i) {
    const auto& [value, count] = check.leftOut[i];
    if (i >= kGroupsShown) {
      rest += count;
      continue;
    }
    if (!text.empty()) text += ", ";
    text += check.testedField + (value.empty() ? std::string(" leer") : " „" + value + "“") + ": " +
            std::to_string(count);
  }
  if (rest > 0) text += ", sonst: " + std::to_string(rest);
  return text;
}

std::string Table(const char* label, const TableCheck& check) {
  std::string line = std::string("  ") + label + std::to_string(check.total) + " Datensätze, " +
                     std::to_string(check.admitted) + " übernommen, " + std::to_string(check.leftOutCount()) +
                     " ausgelassen";
  if (check.leftOutCount() > 0) line += " (" + LeftOut(check) + ")";
  return line + "\n";
}

const char* SeverityLabel(CheckSeverity severity) {
  switch (severity) {
    case CheckSeverity::Info: return "Hinweis";
    case CheckSeverity::Warning: return "WARNUNG";
    case CheckSeverity::Error: return "FEHLER";
  }
  return "";
}

const char* Verdict(int status) {
  switch (status) {
    case 0: return "Das Zusammenführen würde ohne Befund durchlaufen.";
    case 1: return "Das Zusammenführen würde mit Warnungen durchlaufen.";
    default: return "Das Zusammenführen würde scheitern.";
  }
}

}  // namespace

std::string FormatCheckReport(const MergeCheckReport& report, const std::string& title) {
  std::string text = title + "\n";
  if (!report.activeDirectory.empty()) text += "Aktive Datenbank: " + report.activeDirectory.string() + "\n";
  if (!report.oldDirectory.empty()) text += "Alte Datenbank:   " + report.oldDirectory.string() + "\n";
  if (report.tablesRead) {
    text += "Zähler jetzt -> danach:\n";
    text += Counter("Patient:    ", report.patientCounter);
    text += Counter("Messreihe:  ", report.sessionCounter);
    text += Counter("Messungen:  ", report.dataCounter);
    text += "Alte Daten:\n";
    text += Table("Patienten:  ", report.patients);
    text += Table("Messreihen: ", report.sessions);
    text += Table("Messungen:  ", report.data);
    text += "Speicherplatz: benötigt etwa " + FormatBytes(report.spaceNeeded) + ", frei " +
            FormatBytes(report.spaceFree) + "\n";
  }
  text += "Befunde:";
  if (report.findings.empty()) text += " keine";
  text += "\n";
  for (const CheckFinding& finding : report.findings) {
    text += std::string("  ") + SeverityLabel(finding.severity) + ": " + finding.text + "\n";
  }
  text += std::string("Ergebnis: ") + Verdict(report.ExitStatus()) + "\n";
  return text;
}
