// The creatable classes, in the order they register, and the table that
// serves their class objects.
#include "object_map.h"

#include "dictionary/zan_dictionary.h"
#include "script/script.h"
#include "scriptload/script_load.h"

namespace {
ObjectMapEntry g_objectMap[] = {
    {&CLSID_ZanDictionary, &zan::CreateInstance<CZanDictionaryImpl>},
    {&CLSID_Script, &zan::CreateInstance<CScript>},
    {&CLSID_ScriptLoad, &zan::CreateInstance<CScriptLoad>},
};

// Built when the library loads (after the map above, in the same unit) and
// torn down when it unloads; after that DllGetClassObject answers
// E_UNEXPECTED.
CClassObjectTable g_classObjects(g_objectMap);
}  // namespace

CClassObjectTable& ServerClassObjects() { return g_classObjects; }
