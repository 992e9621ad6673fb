#include "database/dm_ra5.h"

#include "descriptions/dm_ra5.h"
#include "framework/core/class_registry.h"
#include "tableaccess/data_source.h"
#include "tableaccess/integer_field.h"
#include "tableaccess/registered_classes.h"
#include "tableaccess/string_field.h"
#include "tableaccess/table.h"

TdmRA5* dmRA5 = nullptr;

TdmRA5::TdmRA5(TComponent* owner) : TDataModule(owner) {
  Register();
  ReadDescription(descriptions::dm_ra5, descriptions::dm_ra5_source);
}

void TdmRA5::Register() {
  static const bool registered = [] {
    RegisterTableAccessClasses();
    RegisterComponentClass<TdmRA5, TDataModule>("TdmRA5")
        .Field("dPatient", &TdmRA5::dPatient)
        .Field("dPatientM", &TdmRA5::dPatientM)
        .Field("dSession", &TdmRA5::dSession)
        .Field("dSessionM", &TdmRA5::dSessionM)
        .Field("dData", &TdmRA5::dData)
        .Field("dData2", &TdmRA5::dData2)
        .Field("dDataM", &TdmRA5::dDataM)
        .Field("dTech", &TdmRA5::dTech)
        .Field("dSystem", &TdmRA5::dSystem)
        .Field("dAllerg", &TdmRA5::dAllerg)
        .Field("dSolvent", &TdmRA5::dSolvent)
        .Field("dIndex", &TdmRA5::dIndex)
        .Field("dPatientID", &TdmRA5::dPatientID)
        .Field("dPatientName", &TdmRA5::dPatientName)
        .Field("dIndexLastPatient", &TdmRA5::dIndexLastPatient)
        .Field("dIndexLastSession", &TdmRA5::dIndexLastSession)
        .Field("dIndexLastData", &TdmRA5::dIndexLastData)
        .Field("dsIndex", &TdmRA5::dsIndex)
        .Method("DataModuleCreate", &TdmRA5::DataModuleCreate)
        .Method("dPatientBeforePost", &TdmRA5::dPatientBeforePost);
    return true;
  }();
  (void)registered;
}

void TdmRA5::DataModuleCreate(TComponent*) {
  // Details open before their masters; the master links take effect when the masters open.
  for (TTable* view : {dSystem, dIndex, dTech, dAllerg, dSolvent, dData, dData2, dDataM, dSession, dSessionM, dPatient,
                       dPatientM}) {
    view->Open();
  }
}

void TdmRA5::dPatientBeforePost(TDataSet*) {
  if (dPatientName->AsString().empty()) dPatientName->SetAsString(dPatientID->AsString());
}
