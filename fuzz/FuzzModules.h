// Helpers of the targets that read modules: what of a module a save must keep.
#pragma once

#include <QString>
#include <map>
#include <tuple>

class TCustomResourceModule;

// Type, name and language of every item a writer writes, string tables left out, with how many
// items share them.
using TItemCensus = std::map<std::tuple<QString, QString, uint16_t>, int>;
TItemCensus ItemCensus(TCustomResourceModule* Module);

// Every string of every string table but the empty ones: (language, ID) -> text.
using TStringCensus = std::map<std::pair<uint16_t, uint32_t>, QString>;
TStringCensus StringCensus(TCustomResourceModule* Module);

// Ends the process when the module read back from a save lost, gained or changed anything.
void CheckSameItems(TCustomResourceModule* Before, TCustomResourceModule* After, const char* What);
