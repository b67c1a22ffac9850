// The creatable classes, in the order they register.
#include "dictionary/zan_dictionary.h"
#include "object_map.h"
#include "script/script.h"

namespace {
ObjectMapEntry g_objectMap[] = {
    {&CLSID_ZanDictionary, &zan::CreateInstance<CZanDictionaryImpl>},
    {&CLSID_Script, &zan::CreateInstance<CScript>},
};
}  // namespace

ObjectMapEntry* ObjectMapBegin() { return std::begin(g_objectMap); }
ObjectMapEntry* ObjectMapEnd() { return std::end(g_objectMap); }
