// Notifications through data sources: what a control bound to a field sees
// for each view operation, the delivery order of links, disabled controls,
// and a handler that raises.
#include "tableaccess/data_source.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "tableaccess/batch_move.h"
#include "tableaccess/db_errors.h"
#include "tableaccess/field_data_link.h"
#include "tableaccess/string_field.h"
#include "tableaccess/table.h"
#include "tests/tableaccess/view_test_support.h"

namespace {

using viewtest::ViewTest;

// A bound control that writes down what it showed each time its
// data-change handler ran.
class RecordingControl : public TComponent {
 public:
  RecordingControl(TDataSource* source, const std::string& field, std::vector<std::string>& log,
                   const std::string& tag = "")
      : log_(log), tag_(tag) {
    link_.SetControl(this);
    link_.OnDataChange = [this] {
      log_.push_back(tag_ + (link_.Field() != nullptr ? link_.Field()->AsString() : std::string("(none)")));
      if (throwOnNext_) {
        throwOnNext_ = false;
        throw EDatabaseError("control failed");
      }
    };
    link_.SetFieldName(field);
    link_.SetDataSource(source);
  }
  TFieldDataLink& Link() { return link_; }
  void ThrowOnNext() { throwOnNext_ = true; }

 private:
  TFieldDataLink link_;
  std::vector<std::string>& log_;
  std::string tag_;
  bool throwOnNext_ = false;
};

class DataSourceTest : public ViewTest {
 protected:
  void SetUp() override {
    ViewTest::SetUp();
    viewtest::CreateTable(dir_.path(), "patient.db", viewtest::PatientDefinition(), {{"1", "A"}, {"2", "B"}, {"3", "C"}});
    table_.SetName("dPatient");
    table_.SetDatabaseName(viewtest::DirectoryName(dir_.path()));
    table_.SetTableName("patient.db");
    id_ = new TStringField(&table_);
    id_->SetFieldName("ID");
    id_->SetDataSet(&table_);
    name_ = new TStringField(&table_);
    name_->SetFieldName("Name");
    name_->SetSize(60);
    name_->SetDataSet(&table_);
    source_.SetName("dsPatient");
    source_.SetDataSet(&table_);
  }
  void TearDown() override {
    table_.Close();
    ViewTest::TearDown();
  }
  // The entries logged while `action` ran.
  template <typename F>
  std::vector<std::string> During(F action) {
    log_.clear();
    action();
    return log_;
  }

  TTable table_;
  TStringField* id_ = nullptr;
  TStringField* name_ = nullptr;
  TDataSource source_;
  std::vector<std::string> log_;
};

using Log = std::vector<std::string>;

TEST_F(DataSourceTest, BoundControlSeesEachOperationOnce) {
  RecordingControl control(&source_, "ID", log_);
  EXPECT_EQ(During([&] { table_.Open(); }), Log{"1"});
  EXPECT_EQ(During([&] { table_.GoLast(); }), Log{"3"});
  EXPECT_EQ(During([&] { table_.GoPrior(); }), Log{"2"});
  EXPECT_EQ(During([&] { table_.GoFirst(); }), Log{"1"});
  EXPECT_EQ(During([&] { table_.GoPrior(); }), Log{});  // already at the beginning
  EXPECT_EQ(During([&] { table_.GoNext(); }), Log{"2"});
  EXPECT_EQ(During([&] { table_.StartEdit(); }), Log{"2"});
  EXPECT_EQ(During([&] { name_->SetAsString("B2"); }), Log{});  // not its field
  EXPECT_EQ(During([&] { id_->SetAsString("20"); }), Log{"20"});
  EXPECT_EQ(During([&] { table_.PostRecord(); }), Log{"20"});
  EXPECT_EQ(During([&] { table_.StartEdit(); }), Log{"20"});
  EXPECT_EQ(During([&] { table_.CancelEdit(); }), Log{"20"});
  EXPECT_EQ(During([&] { table_.Close(); }), Log{"(none)"});
}

TEST_F(DataSourceTest, MoveThatOnlySetsTheFlagStillNotifiesOnce) {
  RecordingControl control(&source_, "ID", log_);
  table_.Open();
  table_.GoNext();
  table_.GoNext();
  EXPECT_FALSE(table_.AtEnd());
  EXPECT_EQ(During([&] { table_.GoNext(); }), Log{"3"});
  EXPECT_TRUE(table_.AtEnd());
  EXPECT_EQ(During([&] { table_.GoNext(); }), Log{});
}

TEST_F(DataSourceTest, VisualLinksHearTheMostRecentlyAttachedFirst) {
  RecordingControl first(&source_, "ID", log_, "first:");
  RecordingControl second(&source_, "ID", log_, "second:");
  table_.Open();
  EXPECT_EQ(During([&] { table_.GoNext(); }), (Log{"second:2", "first:2"}));
}

TEST_F(DataSourceTest, DataSourceEventsFollowItsLinks) {
  RecordingControl control(&source_, "ID", log_);
  source_.OnStateChange = [this](TDataSource& s) {
    log_.push_back(s.State() == TDataSetState::dsInactive ? "state:inactive" : "state:active");
  };
  source_.OnDataChange = [this](TDataSource&, TField* field) { log_.push_back(field ? "data:" + field->FieldName() : "data"); };
  EXPECT_EQ(During([&] { table_.Open(); }), (Log{"1", "state:active", "data"}));
  EXPECT_EQ(During([&] { table_.GoNext(); }), (Log{"2", "data"}));
  table_.StartEdit();
  EXPECT_EQ(During([&] { name_->SetAsString("x"); }), (Log{"data:Name"}));
}

TEST_F(DataSourceTest, DisabledControlsSeeTheResultOnceAfterwards) {
  RecordingControl control(&source_, "ID", log_);
  table_.Open();
  const Log seen = During([&] {
    table_.DisableControls();
    table_.GoNext();
    table_.GoNext();
    table_.DisableControls();
    table_.GoPrior();
    table_.EnableControls();
    EXPECT_TRUE(log_.empty());
    table_.EnableControls();
  });
  EXPECT_EQ(seen, Log{"2"});
  EXPECT_FALSE(table_.ControlsDisabled());
}

TEST_F(DataSourceTest, ClosingWhileDisabledTellsOnlyThatTheViewIsInactive) {
  RecordingControl control(&source_, "ID", log_);
  table_.Open();
  table_.DisableControls();
  EXPECT_EQ(During([&] { table_.Close(); }), Log{"(none)"});
  EXPECT_EQ(source_.State(), TDataSetState::dsInactive);
  table_.EnableControls();
}

TEST_F(DataSourceTest, ClosedAndOpenedAgainWhileDisabledTheViewIsActiveAndShownAfterwards) {
  RecordingControl control(&source_, "ID", log_);
  table_.Open();
  table_.GoLast();
  const Log seen = During([&] {
    table_.DisableControls();
    table_.Close();
    table_.Open();
    table_.EnableControls();
  });
  // Each change of activity travels, and the pending change shows the record.
  EXPECT_EQ(seen, (Log{"(none)", "1", "1"}));
  EXPECT_EQ(source_.State(), TDataSetState::dsBrowse);
  EXPECT_TRUE(control.Link().Active());
}

TEST_F(DataSourceTest, BatchAppendOfClosedViewsLeavesTheirDataSourcesInactive) {
  // The append opens both views with their controls disabled and closes them
  // again: the controls must end where the views end, not where they were
  // while the records moved.
  const std::filesystem::path other = dir_.path() / "ziel";
  std::filesystem::create_directories(other);
  ASSERT_NO_FATAL_FAILURE(viewtest::CreateTable(other, "patient.db", viewtest::PatientDefinition(), {{"9"}}));
  TTable destination;
  destination.SetDatabaseName(viewtest::DirectoryName(other));
  destination.SetTableName("patient.db");
  TDataSource destinationSource;
  destinationSource.SetDataSet(&destination);
  RecordingControl control(&source_, "ID", log_);
  RecordingControl target(&destinationSource, "ID", log_, "ziel:");
  TBatchMove move;
  move.SetSource(&table_);
  move.SetDestination(&destination);
  const Log seen = During([&] { move.Execute(); });
  EXPECT_EQ(move.MovedCount(), 3);
  EXPECT_FALSE(table_.Active());
  EXPECT_FALSE(destination.Active());
  EXPECT_EQ(source_.State(), TDataSetState::dsInactive);
  EXPECT_EQ(destinationSource.State(), TDataSetState::dsInactive);
  EXPECT_FALSE(control.Link().Active());
  EXPECT_FALSE(target.Link().Active());
  // The views opening and closing again, not the records moved.
  EXPECT_EQ(seen, (Log{"1", "ziel:9", "ziel:(none)", "(none)"}));
}

TEST_F(DataSourceTest, DisabledDataSourcePassesNothing) {
  RecordingControl control(&source_, "ID", log_);
  source_.SetEnabled(false);
  EXPECT_EQ(During([&] { table_.Open(); }), Log{});
  EXPECT_EQ(During([&] { table_.GoNext(); }), Log{});
  EXPECT_EQ(During([&] { source_.SetEnabled(true); }), Log{"2"});
}

TEST_F(DataSourceTest, HandlerThatRaisesDuringOpenLeavesTheViewOpen) {
  RecordingControl control(&source_, "ID", log_);
  bool afterOpen = false;
  table_.AfterOpen = [&afterOpen](TDataSet&) { afterOpen = true; };
  control.ThrowOnNext();
  try {
    table_.Open();
    FAIL() << "no exception";
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(e.Message(), "control failed");
  }
  EXPECT_TRUE(table_.Active());
  EXPECT_EQ(table_.State(), TDataSetState::dsBrowse);
  EXPECT_TRUE(table_.AtBegin());
  EXPECT_FALSE(afterOpen);
}

TEST_F(DataSourceTest, HandlerThatRaisesStopsTheDeliveryAndReachesTheCaller) {
  RecordingControl first(&source_, "ID", log_, "first:");
  RecordingControl second(&source_, "ID", log_, "second:");
  table_.Open();
  second.ThrowOnNext();
  log_.clear();
  EXPECT_THROW(table_.GoNext(), EDatabaseError);
  EXPECT_EQ(log_, Log{"second:2"});  // the first link never heard of it
}

TEST_F(DataSourceTest, ControlBoundToAMissingFieldFailsWhenTheViewOpens) {
  RecordingControl control(&source_, "Nachname", log_);
  EXPECT_THROW(table_.Open(), EDatabaseError);
  EXPECT_TRUE(table_.Active());
}

TEST_F(DataSourceTest, DestroyedViewLeavesItsDataSourceInactive) {
  auto view = std::make_unique<TTable>();
  view->SetDatabaseName(viewtest::DirectoryName(dir_.path()));
  view->SetTableName("patient.db");
  TDataSource source;
  source.SetDataSet(view.get());
  RecordingControl control(&source, "ID", log_);
  view->Open();
  view.reset();
  EXPECT_EQ(source.DataSet(), nullptr);
  EXPECT_EQ(source.State(), TDataSetState::dsInactive);
  EXPECT_FALSE(control.Link().Active());
}

}  // namespace
