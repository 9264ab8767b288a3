#include "Units.h"

#include "model/koResources.h"
#include "model/koResourcesFiler.h"
#include "model/koResourcesItem.h"
#include "model/koResourcesMessages.h"
#include "platform/PublishedProperties.h"

void InitializeUnits()
{
    // Value types of published properties first: registrations below may publish them.
    PublishedProperties_Initialize();
    koResources_Initialize();
    koResourcesItem_Initialize();
}

void FinalizeUnits()
{
    // The reverse of the start-up order.
    koResourcesFiler_Finalize();
    koResourcesMessages_Finalize();
}
