#include "database/dm_ra5old.h"

#include "descriptions/dm_ra5old.h"
#include "framework/core/class_registry.h"
#include "tableaccess/data_source.h"
#include "tableaccess/registered_classes.h"
#include "tableaccess/string_field.h"
#include "tableaccess/table.h"

TdmRA5old* dmRA5old = nullptr;

TdmRA5old::TdmRA5old(TComponent* owner) : TDataModule(owner) {
  Register();
  ReadDescription(descriptions::dm_ra5old, descriptions::dm_ra5old_source);
}

void TdmRA5old::Register() {
  static const bool registered = [] {
    RegisterTableAccessClasses();
    RegisterComponentClass<TdmRA5old, TDataModule>("TdmRA5old")
        .Field("dPatient", &TdmRA5old::dPatient)
        .Field("dSession", &TdmRA5old::dSession)
        .Field("dData", &TdmRA5old::dData)
        .Field("dPatientID", &TdmRA5old::dPatientID)
        .Field("dSessionSessionID", &TdmRA5old::dSessionSessionID)
        .Field("dSessionPatient", &TdmRA5old::dSessionPatient)
        .Field("dDataDataID", &TdmRA5old::dDataDataID)
        .Field("dDataSessionID", &TdmRA5old::dDataSessionID)
        .Field("dsPatient", &TdmRA5old::dsPatient)
        .Field("dsSession", &TdmRA5old::dsSession)
        .Field("dsData", &TdmRA5old::dsData);
    return true;
  }();
  (void)registered;
}
