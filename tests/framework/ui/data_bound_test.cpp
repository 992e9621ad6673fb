// The data-bound controls on real tables: a progress bar and a counter label
// bound to views of a patient table made in a temporary directory.
#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "framework/core/application.h"
#include "framework/core/data_module.h"
#include "framework/core/recording_dialogs.h"
#include "tableaccess/data_source.h"
#include "tableaccess/field.h"
#include "tableaccess/table.h"
#include "tests/framework/ui/ui_test_window.h"
#include "tests/tableaccess/view_test_support.h"

namespace {

const std::vector<std::vector<std::string>> kPatients = {
    {"37", "Meier"}, {"100", "Huber"}, {"256", "Gruber"}, {"0", "Bauer"}, {"-5", "Wagner"}};

// What the bar must show for each key: limited to 0..100.
int ExpectedPercent(const std::string& id) {
  static const std::map<std::string, int> expected = {{"37", 37}, {"100", 100}, {"256", 100}, {"0", 0}, {"-5", 0}};
  return expected.at(id);
}

class DataBoundTest : public viewtest::ViewTest {
 protected:
  void SetUp() override {
    ViewTest::SetUp();
    viewtest::CreateTable(dir_.path(), "patient.db", viewtest::PatientDefinition(), kPatients);
    table_.SetDatabaseName(viewtest::DirectoryName(dir_.path()));
    table_.SetTableName("patient.db");
    source_.SetDataSet(&table_);
    window_ = std::make_unique<TTestWindow>(nullptr);
    fill_ = window_->DBProgressFill1;
    fill_->SetDataSource(&source_);
  }
  void TearDown() override {
    window_.reset();
    table_.Close();
    ViewTest::TearDown();
  }

  // The filled pixels of the bar's middle row, read back from what it paints;
  // fails the test when the fill is not one run from the left inside the bevel.
  int FilledWidth() {
    const TBitmap image = fill_->Peer().Grab();
    EXPECT_EQ(image.Width(), 433);
    EXPECT_EQ(image.Height(), 20);
    const int y = image.Height() / 2;
    const std::uint32_t fill = WidgetSet().ResolveColor(fill_->FillColor()).Pixel();
    const std::uint32_t back = WidgetSet().ResolveColor(fill_->BackColor()).Pixel();
    EXPECT_EQ(image.Pixel(0, y), TRgb(128, 128, 128).Pixel()) << "left bevel";
    EXPECT_EQ(image.Pixel(image.Width() - 1, y), TRgb(255, 255, 255).Pixel()) << "right bevel";
    int filled = 0;
    while (1 + filled < image.Width() - 1 && image.Pixel(1 + filled, y) == fill) ++filled;
    for (int x = 1 + filled; x < image.Width() - 1; ++x) {
      EXPECT_EQ(image.Pixel(x, y), back) << "at x " << x;
    }
    // The whole inner height is filled.
    if (filled > 0) {
      EXPECT_EQ(image.Pixel(1, 1), fill);
      EXPECT_EQ(image.Pixel(1, image.Height() - 2), fill);
    }
    return filled;
  }

  TTable table_;
  TDataSource source_;
  std::unique_ptr<TTestWindow> window_;
  TDBProgressFill* fill_ = nullptr;
  TRecordingDialogs dialogs_;
  TDialogsScope scope_{dialogs_};
};

constexpr int kInner = 431;  // 433 less the bevel on both sides

TEST_F(DataBoundTest, TheBarFillsByTheKeyLimitedToAHundred) {
  EXPECT_EQ(fill_->DataField(), "ID");
  EXPECT_EQ(FilledWidth(), 0);  // closed
  table_.Open();
  std::map<std::string, int> widths;
  for (;;) {
    std::string id = table_.FieldByName("ID")->AsString();
    EXPECT_EQ(fill_->Percent(), ExpectedPercent(id)) << id;
    widths[id] = FilledWidth();
    table_.GoNext();
    if (table_.AtEnd()) break;
  }
  EXPECT_EQ(widths, (std::map<std::string, int>{
                        {"37", 37 * kInner / 100}, {"100", kInner}, {"256", kInner}, {"0", 0}, {"-5", 0}}));
  table_.Close();
  EXPECT_EQ(fill_->Percent(), 0);
  EXPECT_EQ(FilledWidth(), 0);
}

TEST_F(DataBoundTest, AKeyThatIsNoWholeNumberFailsTheMoveAndTheBarKeepsItsFill) {
  viewtest::CreateTable(dir_.path(), "other.db", viewtest::PatientDefinition(), {{"37", "Meier"}, {"abc", "Pichler"}});
  table_.SetTableName("other.db");
  table_.Open();
  ASSERT_EQ(table_.FieldByName("ID")->AsString(), "37");
  EXPECT_THROW(table_.GoNext(), EConvertError);
  EXPECT_EQ(fill_->Percent(), 37);
  EXPECT_EQ(FilledWidth(), 37 * kInner / 100);
}

TEST_F(DataBoundTest, TheBarDrawsAtOnceAndOnlyWhenThePercentageChanges) {
  window_->Show();
  Application.ProcessMessages();
  ASSERT_TRUE(fill_->Showing());
  table_.Open();
  int shown = fill_->Percent();
  int changes = 0;
  int painted = fill_->PaintCount();
  for (;;) {
    table_.GoNext();
    if (table_.AtEnd()) break;
    // No event is processed in between: a change is on the screen when the move returns.
    int expected = ExpectedPercent(table_.FieldByName("ID")->AsString());
    if (expected != shown) ++changes;
    shown = expected;
    EXPECT_EQ(fill_->PaintCount(), painted + changes);
  }
  EXPECT_GE(changes, 2);
  window_->Hide();
}

TEST_F(DataBoundTest, TheCounterLabelShowsTheFieldTextOrNothing) {
  TDBText* label = window_->DBText2;
  label->SetDataSource(&source_);
  label->SetDataField("Count");
  auto shown = [&] { return label->TextPeer().Text(); };
  EXPECT_EQ(shown(), "");
  table_.Open();
  auto countOfCurrent = [&] { return table_.FieldByName("Count")->AsString(); };
  EXPECT_EQ(shown(), countOfCurrent());
  EXPECT_FALSE(shown().empty());
  table_.GoLast();
  EXPECT_EQ(shown(), countOfCurrent());
  label->SetDataField("Name");
  EXPECT_EQ(shown(), table_.FieldByName("Name")->AsString());
  EXPECT_FALSE(shown().empty());
  table_.Close();
  EXPECT_EQ(shown(), "");
  // Fixed size; no accelerator marks.
  EXPECT_EQ(label->Bounds(), (TRect{256, 56, 193, 17}));
  EXPECT_FALSE(label->ShowAccelChar());
}

TEST_F(DataBoundTest, AWindowReadBeforeItsModuleIsBoundWhenTheModuleIsRead) {
  RegisterComponentClass<TDataSource>("TDataSource")
      .Reference<TDataSet>("DataSet", &TDataSource::DataSet, &TDataSource::SetDataSet);
  auto window = std::make_unique<TTestWindow>(nullptr);
  ASSERT_EQ(window->DBProgressFill1->DataSource(), nullptr);
  auto module = std::make_unique<TDataModule>(nullptr);
  module->ReadDescription("TDataModule DMOLD { TDataSource dspatient { } }", "old.fwd");
  auto* source = dynamic_cast<TDataSource*>(module->FindComponent("dsPatient"));
  ASSERT_NE(source, nullptr);
  EXPECT_EQ(window->DBProgressFill1->DataSource(), source);
  source->SetDataSet(&table_);
  window->DBProgressFill1->SetDataField("ID");
  table_.Open();
  for (int i = 0; i < 5 && table_.FieldByName("ID")->AsString() != "37"; ++i) table_.GoNext();
  EXPECT_EQ(window->DBProgressFill1->Percent(), 37);
  // The module goes first, as at shutdown: the bar is left unbound and empty.
  module.reset();
  EXPECT_EQ(window->DBProgressFill1->DataSource(), nullptr);
  EXPECT_EQ(window->DBProgressFill1->Percent(), 0);
}

}  // namespace
