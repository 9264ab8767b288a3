#include "Units.h"

#include "model/koResourceItemSymbols.h"
#include "model/koResourceModulePE.h"
#include "model/koResourceModuleRes.h"
#include "model/koResources.h"
#include "model/koResourcesFiler.h"
#include "model/koResourcesItem.h"
#include "model/koResourcesKinds.h"
#include "model/koResourcesMessages.h"
#include "platform/PublishedProperties.h"

void InitializeUnits()
{
    // Value types of published properties first: registrations below may publish them.
    PublishedProperties_Initialize();
    koResources_Initialize();
    koResourcesItem_Initialize();
    // Item kinds: the catch-all generic kind, then the kinds in the order of their units.
    koResourcesKinds_Initialize();
    koResourceItemSymbols_Initialize();
    // Module readers and writers: RES, then PE, so lookups meet PE first.
    koResourceModuleRes_Initialize();
    koResourceModulePE_Initialize();
}

void FinalizeUnits()
{
    // The reverse of the start-up order.
    koResourceModulePE_Finalize();
    koResourceModuleRes_Finalize();
    koResourceItemSymbols_Finalize();
    koResourcesKinds_Finalize();
    koResourcesFiler_Finalize();
    koResourcesMessages_Finalize();
}
