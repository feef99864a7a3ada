#pragma once
// The trigger table. Triggers carry their own names.
#include <string>
#include <string_view>

#include "resources/Resource_List.h"
#include "resources/Trigger_Class.h"

class CStream;

CResourceList<CTrigger>& TriggerList();
int TriggerCount();
bool TriggerExists(int index);
CTrigger* GetTrigger(int index);
// The trigger's own name, "<Deleted>" when the index holds none.
std::string GetTriggerName(int index);
// First present trigger whose constant name is exactly name, or -1.
int FindTriggerConstant(std::string_view name);
bool PrepareTriggers();
void ClearTriggers();
// Section: version 800, count, per item a compressed block with the present
// flag and the trigger record.
bool LoadSection_Triggers(CStream& str);
void SaveSection_Triggers(CStream& str);
