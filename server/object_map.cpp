// The creatable classes, in the order they register, the table that serves
// their class objects, and what the server registers besides them.
#include "object_map.h"

#include "dictionary/zan_dictionary.h"
#include "script/script_legacy.h"
#include "scriptload/script_load.h"
#include "server/resources/resource_ids.h"

namespace {

#ifdef ZAN_LEGACY_CONFIGURATION
ObjectMapEntry g_objectMap[] = {
    {&CLSID_Script, &zan::CreateInstance<CScriptLegacy>, IDR_SCRIPT},
    {&CLSID_ScriptLoad, &zan::CreateInstance<CScriptLoad>, IDR_SCRIPTLOAD},
    {&CLSID_ZanDictionary, &zan::CreateInstance<CZanDictionaryImpl>, IDR_ZANDICTIONARY},
};
// No AppID, and the thread locale is left alone while registering.
const RegistrationConfig kRegistration = {&LIBID_ZANSCRIPTLib, 0, nullptr, false};
#else
ObjectMapEntry g_objectMap[] = {
    {&CLSID_ZanDictionary, &zan::CreateInstance<CZanDictionaryImpl>, IDR_ZANDICTIONARY},
    {&CLSID_Script, &zan::CreateInstance<CScript>, IDR_SCRIPT},
    {&CLSID_ScriptLoad, &zan::CreateInstance<CScriptLoad>, IDR_SCRIPTLOAD},
};
const RegistrationConfig kRegistration = {&LIBID_ZANSCRIPTLib, IDR_ZANSCRIPT_APPID,
                                          OLESTR("{EF1ED09A-5207-48C7-B5E7-EFF0E2B472CE}"), true};
#endif

CClassObjectTable g_classObjects(g_objectMap);
const CModuleRegistration g_registration(g_classObjects, kRegistration);
bool g_initFailed = false;

}  // namespace

CClassObjectTable& ServerClassObjects() { return g_classObjects; }
const CModuleRegistration& ServerRegistration() { return g_registration; }
bool ServerInitFailed() noexcept { return g_initFailed; }

void StartServer() noexcept {
  g_initFailed = !g_classObjects.Init() || ZanModule().InitFailed();
  for (ObjectMapEntry& e : g_objectMap) e.classStartStop(true);
}

void StopServer() noexcept {
  for (ObjectMapEntry& e : g_objectMap) e.classStartStop(false);
  ZanModule().Term();
  g_classObjects.Term();
}

#ifndef ZAN_LEGACY_CONFIGURATION
namespace {
// Set up when the library loads, after the map above (the same unit
// orders them), before any entry point runs; torn down when it unloads.
struct ServerLifetime {
  ServerLifetime() { StartServer(); }
  ~ServerLifetime() { StopServer(); }
} g_lifetime;
}  // namespace
#endif
