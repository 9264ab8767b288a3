// The current workspace, reachable from anywhere: the workspace registers itself while it exists.
#pragma once

#include "model/koResourcesMessages.h"

#include <memory>

class QObject;
class TCustomResourceItem;
class IAtelierPropertyInspector;
class IResourceItemView;
class IResourceItemEditor;

class IAtelier {
public:
    virtual ~IAtelier() = default;
    virtual void SelectResourceItem(TCustomResourceItem* Item) = 0;
    // Shows what Target names (a logged message that carries an item); Target is kept alive until then.
    virtual void Navigate(const IResourceMessagePtr& Target) = 0;
    virtual std::shared_ptr<IResourceItemView> GetResourceItemView() = 0;
    virtual std::shared_ptr<IResourceItemEditor> GetResourceItemEditor() = 0;
    virtual IAtelierPropertyInspector* GetPropertyInspector() = 0;
};

// nullptr when no workspace is registered.
IAtelier* CurrentAtelier();
// Makes Atelier current; Previous receives the one it replaces.
void RegisterAtelier(IAtelier* Atelier, IAtelier*& Previous);
// Only the current workspace is unregistered.
void UnregisterAtelier(IAtelier* Atelier);
void koAtelierFramework_Finalize();
