#include "tools/sample_values.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "engine/format/date_time.h"

namespace sample {

namespace {

using Names = std::span<const std::string_view>;

constexpr std::string_view kSurnames[] = {
    "Müller",   "Schmidt",  "Schneider", "Fischer",  "Weber",     "Meyer",   "Wagner",   "Becker",  "Schulz",
    "Hoffmann", "Schäfer",  "Koch",      "Bauer",    "Richter",   "Klein",   "Wolf",     "Schröder", "Neumann",
    "Schwarz",  "Zimmermann", "Braun",   "Krüger",   "Hofmann",   "Hartmann", "Lange",   "Schmitt", "Werner",
    "Krause",   "Meier",    "Lehmann",   "Köhler",   "Huber",     "Kaiser",  "Fuchs",    "Peters",  "Möller",
    "Weiß",     "Jung",     "Hahn",      "Vogel",    "Günther",   "Jäger",   "Groß",     "Böhm",    "Förster",
    "Strauß",   "Fröhlich", "Kühn",      "Dürr",     "Götz",      "Süß",     "Bäcker",   "Nüßlein", "Löffler",
    "Brückner", "Märker",   "Schütz",    "Krämer",   "Roßmann",   "Ölschläger"};
constexpr std::string_view kMen[] = {"Jürgen", "Jörg",    "Björn",   "Sören",  "Günter", "Uwe",     "Klaus",
                                     "Hans",   "Peter",   "Michael", "Thomas", "Andreas", "Stefan", "Dieter",
                                     "Horst",  "Manfred", "Wolfgang", "Bernd", "Ralf",   "Matthias", "Lukas",
                                     "Jonas",  "Götz",    "Rüdiger", "Mehmet", "Ömer"};
constexpr std::string_view kWomen[] = {"Käthe",   "Bärbel", "Brigitte", "Ursula", "Renate",  "Monika", "Sabine",
                                       "Petra",   "Andrea", "Claudia",  "Susanne", "Birgit", "Karin",  "Heike",
                                       "Anja",    "Jülide", "Özlem",    "Lea",     "Anna",   "Jasmin", "Hannelore",
                                       "Gisela",  "Dörte",  "Maren",    "Frauke",  "Ilse",   "Agnès"};
constexpr std::string_view kStreets[] = {
    "Hauptstraße", "Bahnhofstraße", "Goethestraße", "Schillerstraße", "Mühlenweg",    "Am Bürgerpark",
    "Lindenallee", "Kirchplatz",    "Gartenstraße", "Schloßstraße",   "Königsallee",  "Brückenstraße",
    "Dorfstraße",  "Talstraße",     "Am Hügel",     "Weißdornweg",    "Rosenstraße",  "Friedrich-Ebert-Straße",
    "Grüner Weg",  "Übersetzweg"};
constexpr std::string_view kTowns[] = {
    "50667 Köln",     "40210 Düsseldorf", "41061 Mönchengladbach", "47051 Duisburg", "45127 Essen",
    "52062 Aachen",   "53111 Bonn",       "42103 Wuppertal",       "44135 Dortmund", "48143 Münster",
    "33602 Bielefeld", "80331 München",   "90402 Nürnberg",        "70173 Stuttgart", "20095 Hamburg",
    "37073 Göttingen", "38100 Braunschweig", "59065 Hamm",         "58095 Hagen",    "97070 Würzburg",
    "66111 Saarbrücken", "01067 Dresden", "99084 Erfurt",          "18055 Rostock",  "79098 Freiburg im Breisgau"};
constexpr std::string_view kInsurers[] = {"AOK Rheinland", "Barmer Ersatzkasse", "DAK", "Techniker Krankenkasse",
                                          "KKH", "IKK Nordrhein", "BKK Bayer", "Gmünder Ersatzkasse",
                                          "Hamburg-Münchener Krankenkasse", "Privat", "Postbeamtenkrankenkasse",
                                          "Knappschaft"};
constexpr std::string_view kReferrers[] = {"Dr. Krämer", "Dr. Schäfer-Lüdtke", "Dr. Öztürk", "Dr. Weiß",
                                           "Dr. Müller-Hößl", "Hausarzt", "Klinikum Süd"};
constexpr std::string_view kRemarks[] = {
    "Septumdeviation rechts",
    "Z.n. Polypektomie",
    "Heuschnupfen seit der Kindheit",
    "Asthma bronchiale, Spray bei Bedarf",
    "Muschelhyperplasie beidseits, Nasenspray abgesetzt",
    "Patient klagt über behinderte Nasenatmung nachts",
    "Überweisung zur Abklärung einer Allergie",
    "Kontrolle in 3 Monaten",
    "Messung wegen Schnupfen nur eingeschränkt verwertbar",
    "Größere Schwankungen zwischen den Atemzügen",
    "Nach Abschwellung deutliche Besserung der Atmung"};
constexpr std::string_view kLongRemark =
    "Anamnese: seit mehreren Jahren saisonale Beschwerden von März bis Juni mit Niesreiz, wäßriger "
    "Sekretion und Augenjucken; ganzjährig behinderte Nasenatmung, vor allem morgens. Vorbehandlung mit "
    "Antihistaminika und cortisonhaltigem Nasenspray ohne anhaltenden Erfolg. Hauttest positiv für "
    "Frühblüher und Gräser. Der Patient wünscht eine Hyposensibilisierung; Rücksprache mit dem Hausarzt "
    "erfolgt. Nächste Messung nach Absetzen der Medikation (mindestens 14 Tage).";
constexpr std::string_view kTitles[] = {"Rhinomanometrie", "Erstuntersuchung", "Verlaufskontrolle",
                                        "Kontrolle nach Septumplastik", "Abschwelltest", "Gutachten"};
constexpr double kColours[] = {255, 65280, 16711680, 32768, 8388736, 0, 8421504};

constexpr Technician kTechnicians[] = {
    {"HB", "Dr. Hans Bäumer", true, "Praxisinhaber; Zugang zu allen Auswertungen", "rhino", "Arzt"},
    {"KM", "Käthe Mößner", false, "Arzthelferin, führt die Messungen durch", "", "MTA"},
    {"SW", "Sören Weiß", false, "Weiterbildungsassistent", "", "Arzt"},
    {"AÖ", "Anja Özdemir", false, "", "", "MTA"},
    {"GL", "Dr. Gisela Lüdtke", true, "Vertretung donnerstags und in den Ferien, bitte Rückruf unter der "
                                      "Praxisnummer", "lüdtke", "Arzt"}};
constexpr Practice kPractices[] = {
    {"HNO1", "HNO-Gemeinschaftspraxis am Schloßpark", "Dr. med. Hans Bäumer", "Schloßstraße 12",
     "50667 Köln", "0221 / 25 78 90", "KV 27 11 223 00", "COM2:9600,N,8,1"},
    {"HNO2", "HNO-Gemeinschaftspraxis am Schloßpark, Zweigpraxis", "Dr. med. Gisela Lüdtke", "Marktplatz 4",
     "51465 Bergisch Gladbach", "02202 / 4 41 20", "KV 27 11 224 00", "COM1:9600,N,8,1"}};
constexpr CatalogueItem kCatalogue[] = {
    {"Birke", "Betula verrucosa, Baumpollen", "Allergopharma", "AP-10201", 'A'},
    {"Erle", "Alnus glutinosa, Baumpollen", "Allergopharma", "AP-10203", 'A'},
    {"Hasel", "Corylus avellana, Baumpollen", "ALK-Abelló", "ALK-108", 'A'},
    {"Esche", "Fraxinus excelsior, Baumpollen", "HAL Allergie", "HAL-3310", 'A'},
    {"Gräsermischung", "6 Gräser, Wiesenlieschgras u.a.", "Allergopharma", "AP-20600", 'A'},
    {"Roggen", "Secale cereale, Getreidepollen", "Bencard", "BC-4471", 'A'},
    {"Beifuß", "Artemisia vulgaris, Kräuterpollen", "ALK-Abelló", "ALK-312", 'A'},
    {"Spitzwegerich", "Plantago lanceolata, Kräuterpollen", "HAL Allergie", "HAL-3402", 'A'},
    {"Hausstaubmilbe D.pt.", "Dermatophagoides pteronyssinus", "Allergopharma", "AP-50010", 'A'},
    {"Hausstaubmilbe D.f.", "Dermatophagoides farinae", "Allergopharma", "AP-50020", 'A'},
    {"Katzenepithelien", "Felis domesticus", "ALK-Abelló", "ALK-555", 'A'},
    {"Hundeepithelien", "Canis familiaris", "ALK-Abelló", "ALK-553", 'A'},
    {"Pferdeepithelien", "Equus caballus", "Bencard", "BC-6120", 'A'},
    {"Alternaria", "Alternaria alternata, Schimmelpilz", "HAL Allergie", "HAL-7701", 'A'},
    {"Aspergillus", "Aspergillus fumigatus, Schimmelpilz", "Lofarma", "LO-881", 'A'},
    {"NaCl 0,9 %", "Physiologische Kochsalzlösung", "B. Braun", "BB-0090", 'S'},
    {"Phosphatpuffer", "Phosphatgepufferte Lösung pH 7,4", "Allergopharma", "AP-90001", 'S'},
    {"Glycerin 50 %", "Glycerinhaltige Kontrolllösung", "ALK-Abelló", "ALK-900", 'S'},
    {"Lösungsmittel HAL", "Lösungsmittel für HAL-Testlösungen", "HAL Allergie", "HAL-9000", 'S'}};

// Rest flows, then the steps of the protocol; later steps repeat the last.
constexpr Step kProvocationSteps[] = {{"Ausgangswert", 1.0, false, false},
                                      {"Lösungsmittel", 0.97, false, true},
                                      {"Provokation 10 min", 0.78, true, false},
                                      {"Provokation 20 min", 0.66, true, false},
                                      {"Provokation 30 min", 0.62, true, false},
                                      {"nach Abschwellung", 1.25, false, false}};
constexpr Step kPlainSteps[] = {{"Ausgangswert", 1.0, false, false},
                                {"Wiederholung", 1.02, false, false},
                                {"nach Abschwellung", 1.35, false, false},
                                {"Kontrolle", 1.3, false, false}};

template <typename T, std::size_t N>
const T& pickFrom(Random& r, const T (&items)[N]) {
  return items[r.below(N)];
}

std::string digits(Random& r, int count) {
  std::string s;
  for (int i = 0; i < count; ++i) s += static_cast<char>('0' + r.below(10));
  return s;
}

// One period of a sine, so that long curves cost a lookup per sample.
const std::array<double, 256>& sineTable() {
  static const std::array<double, 256> table = [] {
    std::array<double, 256> t{};
    for (std::size_t i = 0; i < t.size(); ++i) t[i] = std::sin(2 * std::numbers::pi * static_cast<double>(i) / 256);
    return t;
  }();
  return table;
}

}  // namespace

Random::Random(std::uint64_t seed, std::uint64_t stream) : state_(seed ^ (stream * 0xD1B54A32D192ED03ull)) {
  next();
}

std::uint64_t Random::next() {
  std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

std::size_t Random::below(std::size_t n) { return n == 0 ? 0 : static_cast<std::size_t>(next() % n); }

std::int64_t Random::between(std::int64_t low, std::int64_t high) {
  return low + static_cast<std::int64_t>(below(static_cast<std::size_t>(high - low + 1)));
}

double Random::uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }

double Random::around(double mean, double spread) { return mean * (1 + spread * (2 * uniform() - 1)); }

bool Random::chance(double p) { return uniform() < p; }

double timestamp(std::int32_t day, std::int64_t minuteOfDay) {
  return static_cast<double>(day) * static_cast<double>(px::kMillisecondsPerDay) +
         static_cast<double>(minuteOfDay) * 60'000.0;
}

std::int32_t dayOf(double timestamp) {
  return static_cast<std::int32_t>(timestamp / static_cast<double>(px::kMillisecondsPerDay));
}

double hundredths(double value) { return std::round(value * 100) / 100; }

Person person(Random& r) {
  const bool male = r.chance(0.48);
  const std::string_view given = male ? pickFrom(r, kMen) : pickFrom(r, kWomen);
  std::string surname(pickFrom(r, kSurnames));
  if (r.chance(0.05)) surname += "-" + std::string(pickFrom(r, kSurnames));
  return {surname + ", " + std::string(given), male};
}

std::string insuranceNumber(Random& r) {
  return std::string(1, static_cast<char>('A' + r.below(26))) + digits(r, 9);
}

std::string street(Random& r) {
  std::string s = std::string(pickFrom(r, kStreets)) + " " + std::to_string(r.between(1, 180));
  if (r.chance(0.1)) s += static_cast<char>('a' + r.below(3));
  return s;
}

std::string town(Random& r) { return std::string(pickFrom(r, kTowns)); }

std::string birthDate(Random& r, std::int32_t firstVisit) {
  const std::int32_t day = firstVisit - static_cast<std::int32_t>(r.between(6 * 365, 85 * 365));
  const px::CivilDate d = px::civilFromDayNumber(day);
  char text[16];
  std::snprintf(text, sizeof text, "%02d%02d%04d", d.day, d.month, d.year);
  return text;
}

std::string insurance(Random& r) { return std::string(pickFrom(r, kInsurers)); }

std::string referral(Random& r) { return "Überweisung " + std::string(pickFrom(r, kReferrers)); }

std::string remark(Random& r, double share) {
  if (!r.chance(share)) return {};
  if (r.chance(0.12)) {
    // Cut between characters, never inside one.
    std::size_t end = std::min(kLongRemark.size(), static_cast<std::size_t>(r.between(80, 420)));
    while (end < kLongRemark.size() && (static_cast<unsigned char>(kLongRemark[end]) & 0xC0) == 0x80) --end;
    return std::string(kLongRemark.substr(0, end));
  }
  std::string s(pickFrom(r, kRemarks));
  if (r.chance(0.3)) s += "; " + std::string(pickFrom(r, kRemarks));
  return s;
}

std::string seriesTitle(Random& r) { return std::string(pickFrom(r, kTitles)); }

std::string batch(Random& r) { return "Ch.-B. " + digits(r, 5); }

double curveColour(Random& r) { return pickFrom(r, kColours); }

Step step(bool provocation, int position) {
  const std::span<const Step> steps = provocation ? std::span<const Step>(kProvocationSteps)
                                                  : std::span<const Step>(kPlainSteps);
  return steps[std::min(static_cast<std::size_t>(position), steps.size() - 1)];
}

px::Bytes curve(Random& r, double flow) {
  const double kind = r.uniform();
  const auto samples = static_cast<std::size_t>(kind < 0.15    ? r.between(8, 110)
                                                : kind < 0.95 ? r.between(150, 500)
                                                              : r.between(1000, 3000));
  px::Bytes bytes;
  bytes.reserve(2 + 2 * samples);
  auto put16 = [&bytes](std::uint16_t v) {
    bytes.push_back(static_cast<std::uint8_t>(v & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(v >> 8));
  };
  put16(static_cast<std::uint16_t>(samples));
  const auto& sine = sineTable();
  const std::size_t period = static_cast<std::size_t>(r.between(40, 90));
  for (std::size_t k = 0; k < samples; ++k) {
    const double noise = static_cast<double>(r.between(-6, 6));
    const double v = std::clamp(flow * sine[(k % period) * sine.size() / period] + noise, -32000.0, 32000.0);
    const int rounded = static_cast<int>(v < 0 ? v - 0.5 : v + 0.5);
    put16(static_cast<std::uint16_t>(static_cast<std::int16_t>(rounded)));
  }
  return bytes;
}

std::span<const Technician> technicians() { return kTechnicians; }
std::span<const Practice> practices() { return kPractices; }
std::span<const CatalogueItem> catalogue() { return kCatalogue; }

std::string doctorId(Random& r) { return std::string(pickFrom(r, kTechnicians).id); }

std::size_t allergenCount() {
  std::size_t n = 0;
  for (const CatalogueItem& item : kCatalogue) n += item.kind == 'A';
  return n;
}

std::string allergen(std::size_t i) {
  for (const CatalogueItem& item : kCatalogue)
    if (item.kind == 'A' && i-- == 0) return std::string(item.name);
  return {};
}

std::string solvent(Random& r) {
  const std::size_t solvents = std::size(kCatalogue) - allergenCount();
  std::size_t i = r.below(solvents);
  for (const CatalogueItem& item : kCatalogue)
    if (item.kind == 'S' && i-- == 0) return std::string(item.name);
  return {};
}

}  // namespace sample
