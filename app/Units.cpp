#include "Units.h"

#include "kinds/koIconEncoder.h"
#include "kinds/koResourceItemAccelerator.h"
#include "kinds/koResourceItemAnimatedIconCursor.h"
#include "kinds/koResourceItemBitmap.h"
#include "kinds/koResourceItemDelphiStuff.h"
#include "kinds/koResourceItemDialog.h"
#include "kinds/koResourceItemDialogControls.h"
#include "kinds/koResourceItemDesignInfo.h"
#include "kinds/koResourceItemFont.h"
#include "kinds/koResourceItemHWB.h"
#include "kinds/koResourceItemHTML.h"
#include "kinds/koResourceItemIconCursor.h"
#include "kinds/koResourceItemImage.h"
#include "kinds/koResourceItemManifest.h"
#include "kinds/koResourceItemMenu.h"
#include "kinds/koResourceItemMessageTable.h"
#include "kinds/koResourceItemPE.h"
#include "kinds/koResourceItemPNG.h"
#include "kinds/koResourceItemRcData.h"
#include "kinds/koResourceItemString.h"
#include "kinds/koResourceItemToolbar.h"
#include "kinds/koResourceItemGIF.h"
#include "kinds/koResourceItemTypelib.h"
#include "kinds/koResourceItemVersionInfo.h"
#include "kinds/koResourceModuleRCAcceleratorWriter.h"
#include "kinds/koResourceModuleRCDesignInfoWriter.h"
#include "kinds/koResourceModuleRCDialogWriter.h"
#include "kinds/koResourceModuleRCMenuWriter.h"
#include "kinds/koResourceModuleRCStringTableWriter.h"
#include "kinds/koResourceModuleRCVersionInfoWriter.h"
#include "model/koResourceItemSymbols.h"
#include "model/koResourceModuleRC.h"
#include "model/koResourceModulePE.h"
#include "model/koResourceModuleRes.h"
#include "model/koResources.h"
#include "model/koResourcesFiler.h"
#include "model/koResourcesItem.h"
#include "model/koResourcesKinds.h"
#include "model/koResourcesMessages.h"
#include "platform/PublishedProperties.h"
#include "bitmapeditor/koGraphics32Color.h"
#include "designer/koDesignObjectControl.h"
#include "shell/koAtelier.h"
#include "shell/koAtelierFramework.h"
#include "shell/koConfigurationService.h"
#include "shell/koCursorService.h"
#include "shell/koGlyphService.h"
#include "shell/koResourceView.h"
#include "editors/koAtelierBinary.h"
#include "views/AtelierFrameObjectInspector.h"
#include "views/koResourceViewAccelerator.h"
#include "views/koResourceViewAnimatedCursor.h"
#include "views/koResourceViewCompressedBitmap.h"
#include "views/koResourceViewFont.h"
#include "views/koResourceViewGeneric.h"
#include "views/koResourceViewMedia.h"
#include "views/koResourceViewGraphics.h"
#include "views/koResourceViewHtml.h"
#include "views/koResourceViewRCScript.h"
#include "views/koResourceViewString.h"
#include "views/koResourceViewText.h"
#include "views/koResourceViewTypelib.h"
#include "views/koResourceViewVersion.h"

void InitializeUnits()
{
    // Value types of published properties first: registrations below may publish them.
    PublishedProperties_Initialize();
    koResources_Initialize();
    koResourcesItem_Initialize();
    koGraphics32Color_Initialize();
    koGlyphService_Initialize();
    koCursorService_Initialize();
    koDesignObjectControl_Initialize();
    // Item kinds: the catch-all generic kind, then the kinds in the order of their units.
    koResourcesKinds_Initialize();
    koResourceItemSymbols_Initialize();
    koResourceItemImage_Initialize();
    koResourceItemBitmap_Initialize();
    koIconEncoder_Initialize();
    koResourceItemIconCursor_Initialize();
    koResourceItemAnimatedIconCursor_Initialize();
    koResourceItemPNG_Initialize();
    koResourceItemDialog_Initialize();
    koResourceItemDialogControls_Initialize();
    koResourceItemMenu_Initialize();
    koResourceItemAccelerator_Initialize();
    koResourceItemMessageTable_Initialize();
    koResourceItemVersionInfo_Initialize();
    koResourceItemRcData_Initialize();
    koResourceItemManifest_Initialize();
    koResourceItemHTML_Initialize();
    koResourceItemFont_Initialize();
    koResourceItemTypelib_Initialize();
    koResourceItemPE_Initialize();
    koResourceItemDelphiStuff_Initialize();
    koResourceItemToolbar_Initialize();
    koResourceItemGIF_Initialize();
    koResourceItemString_Initialize();
    koResourceItemDesignInfo_Initialize();
    koResourceItemHWB_Initialize();
    // Module readers and writers: RES, RC, then PE, so lookups meet PE first. The RC unit also registers
    // the general RC item writers; the writers of kinds follow.
    koResourceModuleRes_Initialize();
    koResourceModuleRC_Initialize();
    koResourceModulePE_Initialize();
    koResourceModuleRCDialogWriter_Initialize();
    koResourceModuleRCMenuWriter_Initialize();
    koResourceModuleRCAcceleratorWriter_Initialize();
    koResourceModuleRCVersionInfoWriter_Initialize();
    koResourceModuleRCStringTableWriter_Initialize();
    koResourceModuleRCDesignInfoWriter_Initialize();
    koConfigurationService_Initialize();
    // Views and editors of resources.
    koResourceViewGeneric_Initialize();
    koResourceViewText_Initialize();
    koResourceViewRCScript_Initialize();
    koResourceViewString_Initialize();
    koResourceViewAccelerator_Initialize();
    koResourceViewVersion_Initialize();
    koResourceViewGraphics_Initialize();
    koResourceViewCompressedBitmap_Initialize();
    koResourceViewHtml_Initialize();
    koResourceViewTypelib_Initialize();
    koResourceViewFont_Initialize();
    koResourceViewMedia_Initialize();
    koResourceViewAnimatedCursor_Initialize();
    koAtelierBinary_Initialize();
    AtelierFrameObjectInspector_Initialize();
    // Last: the settings of every unit live below the program's own key.
    SetConfigurationServiceRoot({}, ConfigurationServiceAtelierRoot);
}

void FinalizeUnits()
{
    // The reverse of the start-up order.
    AtelierFrameObjectInspector_Finalize();
    koAtelierBinary_Finalize();
    koResourceViewAnimatedCursor_Finalize();
    koResourceViewMedia_Finalize();
    koResourceViewFont_Finalize();
    koResourceViewTypelib_Finalize();
    koResourceViewHtml_Finalize();
    koResourceViewCompressedBitmap_Finalize();
    koResourceViewGraphics_Finalize();
    koResourceViewVersion_Finalize();
    koResourceViewAccelerator_Finalize();
    koResourceViewString_Finalize();
    koResourceViewRCScript_Finalize();
    koResourceViewText_Finalize();
    koResourceViewGeneric_Finalize();
    koConfigurationService_Finalize();
    koAtelierFramework_Finalize();
    koAtelier_Finalize();
    koResourceView_Finalize();
    koResourceModuleRCDesignInfoWriter_Finalize();
    koResourceModuleRCStringTableWriter_Finalize();
    koResourceModuleRCVersionInfoWriter_Finalize();
    koResourceModuleRCAcceleratorWriter_Finalize();
    koResourceModuleRCMenuWriter_Finalize();
    koResourceModuleRCDialogWriter_Finalize();
    koResourceModulePE_Finalize();
    koResourceModuleRC_Finalize();
    koResourceModuleRes_Finalize();
    koResourceItemHWB_Finalize();
    koResourceItemDesignInfo_Finalize();
    koResourceItemString_Finalize();
    koResourceItemGIF_Finalize();
    koResourceItemToolbar_Finalize();
    koResourceItemDelphiStuff_Finalize();
    koResourceItemPE_Finalize();
    koResourceItemTypelib_Finalize();
    koResourceItemFont_Finalize();
    koResourceItemHTML_Finalize();
    koResourceItemManifest_Finalize();
    koResourceItemRcData_Finalize();
    koResourceItemVersionInfo_Finalize();
    koResourceItemMessageTable_Finalize();
    koResourceItemAccelerator_Finalize();
    koResourceItemMenu_Finalize();
    koResourceItemDialogControls_Finalize();
    koResourceItemDialog_Finalize();
    koResourceItemPNG_Finalize();
    koResourceItemAnimatedIconCursor_Finalize();
    koResourceItemIconCursor_Finalize();
    koIconEncoder_Finalize();
    koResourceItemBitmap_Finalize();
    koResourceItemImage_Finalize();
    koResourceItemSymbols_Finalize();
    koResourcesKinds_Finalize();
    koResourcesFiler_Finalize();
    koResourcesMessages_Finalize();
    koDesignObjectControl_Finalize();
    koCursorService_Finalize();
    koGlyphService_Finalize();
    koGraphics32Color_Finalize();
}
