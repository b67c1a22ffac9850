// The creatable classes, in the order they register.
#include "dictionary/zan_dictionary.h"
#include "object_map.h"

namespace {
ObjectMapEntry g_objectMap[] = {
    {&CLSID_ZanDictionary, &zan::CreateInstance<CZanDictionaryImpl>},
};
}  // namespace

ObjectMapEntry* ObjectMapBegin() { return std::begin(g_objectMap); }
ObjectMapEntry* ObjectMapEnd() { return std::end(g_objectMap); }
