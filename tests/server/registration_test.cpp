// Registration as an installer runs it, through the library's exports, and
// what a host then finds: registry entries, the type library, objects
// created by ProgID. Built twice: for the library and, with
// ZAN_LEGACY_CONFIGURATION, for its legacy configuration.
#include <string>
#include <vector>

#include "support/module_fixture.h"
#include "support/registry.h"

using zan::ComPtr;
using zan::UniqueBstr;
using zantest::Narrow;
using zantest::RegistryString;
using zantest::Wide;

namespace {

#ifdef ZAN_LEGACY_CONFIGURATION
constexpr bool kLegacy = true;
#else
constexpr bool kLegacy = false;
#endif

const char kScriptClass[] = "CLSID\\{40A814F1-0BD8-4387-9605-8D531606E8FE}";
const char kScriptLoadClass[] = "CLSID\\{3A330F94-F073-4DDE-9EF6-372C2BE25262}";
const char kDictionaryClass[] = "CLSID\\{073CE6AD-9884-4393-B63E-FCB66755A9C5}";
const char kTypeLib[] = "TypeLib\\{0B7C7621-56D6-4036-8988-C412E8132FF5}";
// The library's path and count live under the key for the width it was made
// for: win32, or win64 for 64-bit hosts.
const char kTypeLibPath[] = "TypeLib\\{0B7C7621-56D6-4036-8988-C412E8132FF5}\\1.0\\0\\" ZAN_TYPELIB_SYSKIND;
const char kAppId[] = "AppID\\{EF1ED09A-5207-48C7-B5E7-EFF0E2B472CE}";
const char kAppIdByName[] = "AppID\\ZanScript.DLL";
const char kIScriptInterface[] = "Interface\\{BA397A14-330B-4ED8-B5C2-7063561384F3}";
const GUID kStdOle = {0x00020430, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

bool KeyExists(const char* path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, Wide(path).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

// The registration count under a key, or -1 when there is none.
long long Count(const std::string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, Wide(path.c_str()).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return -1;
  DWORD type = 0, value = 0, size = sizeof value;
  LSTATUS status = RegQueryValueExW(key, OLESTR("RefCount"), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
  RegCloseKey(key);
  return status == ERROR_SUCCESS && type == REG_DWORD ? static_cast<long long>(value) : -1;
}

std::string Server(const char* clazz) { return std::string(clazz) + "\\InprocServer32"; }

template <class Fn>
Fn Export(const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(zantest::TheLibrary().module, name)));
}
HRESULT Register() { return Export<HRESULT(STDAPICALLTYPE*)()>("DllRegisterServer")(); }
HRESULT Unregister() { return Export<HRESULT(STDAPICALLTYPE*)()>("DllUnregisterServer")(); }

// The library's file name as the platform reports it, without folders.
std::string BaseName() {
  WCHAR path[MAX_PATH];
  DWORD n = GetModuleFileNameW(zantest::TheLibrary().module, path, MAX_PATH);
  std::string name = Narrow(path, n);
  return name.substr(name.find_last_of("\\/") + 1);
}

#ifdef ZAN_OTHER_LIBRARY_PATH
// The other build of the library (the legacy configuration for the library,
// and the reverse), loaded beside the one under test: they register the
// same classes and type library.
class OtherLibrary {
 public:
  OtherLibrary() {
    const char* path = ZAN_OTHER_LIBRARY_PATH;
    module_ = LoadLibraryW(Wide(path).c_str());
  }
  ~OtherLibrary() {
    if (module_) FreeLibrary(module_);
  }
  OtherLibrary(const OtherLibrary&) = delete;
  OtherLibrary& operator=(const OtherLibrary&) = delete;
  bool loaded() const { return module_ != nullptr; }
  HRESULT Register() const { return Call("DllRegisterServer"); }
  HRESULT Unregister() const { return Call("DllUnregisterServer"); }

 private:
  HRESULT Call(const char* name) const {
    auto entry = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
        reinterpret_cast<void (*)()>(GetProcAddress(module_, name)));
    return entry ? entry() : E_NOTIMPL;
  }
  HMODULE module_ = nullptr;
};
#endif

// Registered for the length of a scope, as an installer's install and
// uninstall bracket a host's use.
class Registered {
 public:
  Registered() : hr_(Register()) {}
  ~Registered() {
    if (SUCCEEDED(hr_)) Unregister();
  }
  Registered(const Registered&) = delete;
  Registered& operator=(const Registered&) = delete;
  HRESULT hr() const { return hr_; }

 private:
  HRESULT hr_;
};

// Every test leaves the keys the library may touch exactly as it found
// them: on Windows the registry outlives the process, so a leftover would
// change the next run's counts.
class RegistrationTest : public zantest::ModuleTest {
 protected:
  void SetUp() override {
    ASSERT_HR(S_OK, CoInitialize(nullptr));
    before_ = zantest::ExportRegistration();
  }
  void TearDown() override {
    EXPECT_EQ(before_, zantest::ExportRegistration()) << "the test left the registry changed";
    // Whatever a failed test left goes again, so the next one starts clean.
    for (int i = 0; i < 8 && Count(kTypeLibPath) > 0; ++i) Unregister();
    CoFreeUnusedLibraries();
    CoUninitialize();
    ModuleTest::TearDown();
  }
  std::string before_;
};
}  // namespace

TEST_F(RegistrationTest, CountedRegistrationKeepsEntriesUntilTheLastUnregistration) {
  const std::string base = BaseName();
  ASSERT_HR(S_OK, Register());
  for (const char* clazz : {kScriptClass, kScriptLoadClass, kDictionaryClass}) {
    SCOPED_TRACE(clazz);
    EXPECT_EQ(1, Count(Server(clazz)));
    EXPECT_EQ(base, RegistryString(Server(clazz).c_str()));  // relative: the bare file name
    EXPECT_EQ("Apartment", RegistryString(Server(clazz).c_str(), OLESTR("ThreadingModel")));
    EXPECT_EQ("{0B7C7621-56D6-4036-8988-C412E8132FF5}", RegistryString((std::string(clazz) + "\\TypeLib").c_str()));
    EXPECT_TRUE(KeyExists((std::string(clazz) + "\\Programmable").c_str()));
  }
  EXPECT_EQ("Script Class", RegistryString("Korvane.Script"));
  EXPECT_EQ("Korvane.Script.1", RegistryString("Korvane.Script\\CurVer"));
  EXPECT_EQ("{40A814F1-0BD8-4387-9605-8D531606E8FE}", RegistryString("Korvane.Script.1\\CLSID"));
  EXPECT_EQ("Korvane.ScriptLoad", RegistryString("CLSID\\{3A330F94-F073-4DDE-9EF6-372C2BE25262}\\VersionIndependentProgID"));
  EXPECT_EQ("Korvane.ZanDictionary.1",
            RegistryString("CLSID\\{073CE6AD-9884-4393-B63E-FCB66755A9C5}\\VersionIndependentProgID"));
  EXPECT_EQ("Korvane.ZanDictionary.1", RegistryString("Korvane.ZanDictionary\\CurVer"));
  EXPECT_EQ(1, Count(kTypeLibPath));
  EXPECT_EQ(base, RegistryString(kTypeLibPath));
  EXPECT_EQ("", RegistryString("TypeLib\\{0B7C7621-56D6-4036-8988-C412E8132FF5}\\1.0\\HELPDIR"));
  EXPECT_EQ("ZanScript 1.0 Type Library", RegistryString("TypeLib\\{0B7C7621-56D6-4036-8988-C412E8132FF5}\\1.0"));
  // Only automation interfaces are coupled to the library.
  EXPECT_EQ(!kLegacy, KeyExists(kIScriptInterface));
  EXPECT_EQ(kLegacy ? "(no key)" : "ZanScript", RegistryString(kAppId));
  EXPECT_EQ(kLegacy ? "(no key)" : "{EF1ED09A-5207-48C7-B5E7-EFF0E2B472CE}",
            RegistryString(kAppIdByName, OLESTR("AppID")));

  ASSERT_HR(S_OK, Register());
  EXPECT_EQ(2, Count(Server(kScriptClass)));
  EXPECT_EQ(2, Count(Server(kDictionaryClass)));
  EXPECT_EQ(2, Count(kTypeLibPath));

  EXPECT_HR(S_FALSE, Unregister());  // one registration remains
  EXPECT_EQ(1, Count(Server(kScriptLoadClass)));
  EXPECT_EQ(1, Count(kTypeLibPath));
  EXPECT_EQ("Script Class", RegistryString("Korvane.Script.1"));
  EXPECT_EQ(base, RegistryString(kTypeLibPath));
  EXPECT_FALSE(KeyExists(kAppId));  // not counted: gone with every unregistration
  EXPECT_FALSE(KeyExists(kAppIdByName));

  EXPECT_HR(S_OK, Unregister());
  for (const char* gone : {kScriptClass, kScriptLoadClass, kDictionaryClass, "Korvane.Script", "Korvane.Script.1",
                           "Korvane.ScriptLoad", "Korvane.ZanDictionary.1", kTypeLib, kIScriptInterface})
    EXPECT_FALSE(KeyExists(gone)) << gone;
  EXPECT_TRUE(KeyExists("CLSID"));
  EXPECT_TRUE(KeyExists("AppID"));
}

TEST_F(RegistrationTest, UnregisteringWhatWasNeverRegisteredChangesNothing) {
  EXPECT_HR(E_FAIL, Unregister());
  EXPECT_FALSE(KeyExists(kScriptClass));
  EXPECT_FALSE(KeyExists(kTypeLib));
}

TEST_F(RegistrationTest, ACounterOfAnotherTypeCountsAsZero) {
  ASSERT_HR(S_OK, Register());
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CLASSES_ROOT, Wide(Server(kScriptClass).c_str()).c_str(), 0,
                                         KEY_ALL_ACCESS, &key));
  const WCHAR text[] = OLESTR("7");
  RegSetValueExW(key, OLESTR("RefCount"), 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text);
  RegCloseKey(key);
  ASSERT_HR(S_OK, Register());
  EXPECT_EQ(1, Count(Server(kScriptClass)));
  EXPECT_EQ(2, Count(Server(kScriptLoadClass)));
  // The first unregistration takes the script class's count to 0 and its
  // entries away; in the second its missing key stops the classes after it,
  // which keep one registration each. An installer's cleanup removes them.
  EXPECT_HR(S_FALSE, Unregister());
  EXPECT_FALSE(KeyExists(kScriptClass));
  EXPECT_HR(S_OK, Unregister());
  for (const char* clazz : {kScriptLoadClass, kDictionaryClass}) {
    const long long left = Count(Server(clazz));
    EXPECT_TRUE(left == -1 || left == 1) << clazz << " counts " << left;
  }
  for (const char* key : {kScriptLoadClass, kDictionaryClass, "Korvane.ScriptLoad", "Korvane.ScriptLoad.1",
                          "Korvane.ZanDictionary", "Korvane.ZanDictionary.1"})
    RegDeleteTreeW(HKEY_CLASSES_ROOT, Wide(key).c_str());
}

// A server of the other width registered on the same machine: 64-bit
// Windows keeps its class keys in another view but shares the type library
// key (one subkey per width), the ProgIDs and, under Wine, the interfaces.
namespace {
const char kOtherTypeLibPath[] = "TypeLib\\{0B7C7621-56D6-4036-8988-C412E8132FF5}\\1.0\\0\\"
                                 ZAN_OTHER_TYPELIB_SYSKIND;
constexpr REGSAM kOtherView = sizeof(void*) == 8 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;

// Creates a key, in the given view, counting one registration.
void CountOneRegistration(const char* path, REGSAM view) {
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CLASSES_ROOT, Wide(path).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                           KEY_ALL_ACCESS | view, nullptr, &key, nullptr));
  const DWORD one = 1;
  RegSetValueExW(key, OLESTR("RefCount"), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof one);
  RegCloseKey(key);
}

void DeleteInView(const char* parent, const char* child, REGSAM view) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, Wide(parent).c_str(), 0, KEY_ALL_ACCESS | view, &key) != ERROR_SUCCESS) return;
  RegDeleteTreeW(key, Wide(child).c_str());
  RegCloseKey(key);
}

// Whether the other width's class keys are apart from ours (64-bit Windows
// and 64-bit Wine), rather than the same keys (one view, as on Linux).
bool ClassViewsApart() {
  const char kProbe[] = "CLSID\\{5E9D3C57-0A4B-4E1F-9C61-7B2F0D4E8A13}";
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CLASSES_ROOT, Wide(kProbe).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_ALL_ACCESS | kOtherView, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return false;
  RegCloseKey(key);
  const bool apart = !KeyExists(kProbe);
  DeleteInView("CLSID", kProbe + 6, kOtherView);
  return apart;
}
}  // namespace

TEST_F(RegistrationTest, TheOtherWidthsLibraryKeepsTheSharedTypeLibraryEntries) {
  CountOneRegistration(kOtherTypeLibPath, 0);
  ASSERT_HR(S_OK, Register());
  EXPECT_HR(S_OK, Unregister());
  // Only this width's subkey went; the other's count, the library's name
  // and the interface keys it needs stay.
  EXPECT_FALSE(KeyExists(kTypeLibPath));
  EXPECT_EQ(1, Count(kOtherTypeLibPath));
  EXPECT_EQ("ZanScript 1.0 Type Library", RegistryString("TypeLib\\{0B7C7621-56D6-4036-8988-C412E8132FF5}\\1.0"));
  EXPECT_EQ(!kLegacy, KeyExists(kIScriptInterface));
  EXPECT_FALSE(KeyExists(kScriptClass));

  // With the other width gone too, the last unregistration takes everything.
  RegDeleteTreeW(HKEY_CLASSES_ROOT, Wide(kOtherTypeLibPath).c_str());
  ASSERT_HR(S_OK, Register());
  EXPECT_HR(S_OK, Unregister());
  EXPECT_FALSE(KeyExists(kTypeLib));
  EXPECT_FALSE(KeyExists(kIScriptInterface));
}

TEST_F(RegistrationTest, TheOtherWidthsClassKeepsTheSharedProgIds) {
  if (!ClassViewsApart()) GTEST_SKIP() << "one registry view for every width here";
  CountOneRegistration(Server(kScriptClass).c_str(), kOtherView);
  ASSERT_HR(S_OK, Register());
  EXPECT_HR(S_OK, Unregister());
  // This width's class keys went, the other width's stayed, and so did the
  // ProgIDs that lead both widths' hosts to the class.
  EXPECT_FALSE(KeyExists(kScriptClass));
  EXPECT_FALSE(KeyExists(kScriptLoadClass));
  EXPECT_EQ("{40A814F1-0BD8-4387-9605-8D531606E8FE}", RegistryString("Korvane.Script.1\\CLSID"));
  EXPECT_EQ("Korvane.Script.1", RegistryString("Korvane.Script\\CurVer"));
  EXPECT_FALSE(KeyExists("Korvane.ScriptLoad"));  // no other width holds it

  DeleteInView("CLSID", kScriptClass + 6, kOtherView);
  ASSERT_HR(S_OK, Register());
  EXPECT_HR(S_OK, Unregister());
  EXPECT_FALSE(KeyExists("Korvane.Script"));
}

TEST_F(RegistrationTest, TypeLibraryDescribesTheScriptInterfaces) {
  ComPtr<ITypeLib> lib;
  EXPECT_HR(TYPE_E_LIBNOTREGISTERED, LoadRegTypeLib(LIBID_ZANSCRIPTLib, 1, 0, 0, lib.put()));
  Registered registered;
  ASSERT_HR(S_OK, registered.hr());
  ASSERT_HR(S_OK, LoadRegTypeLib(LIBID_ZANSCRIPTLib, 1, 0, 0, lib.put()));
  TLIBATTR* attr = nullptr;
  ASSERT_HR(S_OK, lib->GetLibAttr(&attr));
  EXPECT_TRUE(IsEqualGUID(LIBID_ZANSCRIPTLib, attr->guid));
  EXPECT_EQ(1, attr->wMajorVerNum);
  EXPECT_EQ(0, attr->wMinorVerNum);
  EXPECT_EQ(0u, attr->lcid);
  lib->ReleaseTLibAttr(attr);
  UniqueBstr name, doc;
  ASSERT_HR(S_OK, lib->GetDocumentation(-1, name.put(), doc.put(), nullptr, nullptr));
  EXPECT_EQ("ZANSCRIPTLib", Narrow(name.get()));
  EXPECT_EQ("ZanScript 1.0 Type Library", Narrow(doc.get()));
  // Three coclasses and the interfaces they name; nothing else of ours.
  EXPECT_EQ(kLegacy ? 6u : 7u, lib->GetTypeInfoCount());
  ComPtr<ITypeInfo> info;
  EXPECT_HR(TYPE_E_ELEMENTNOTFOUND, lib->GetTypeInfoOfGuid(IID_IScriptData, info.put()));
  EXPECT_HR(TYPE_E_ELEMENTNOTFOUND, lib->GetTypeInfoOfGuid(IID_IUnknown, info.put()));
  EXPECT_EQ(kLegacy ? TYPE_E_ELEMENTNOTFOUND : S_OK, lib->GetTypeInfoOfGuid(IID_IScript4, info.put()));

  struct Expected {
    const IID* iid;
    const char* help;
    WORD funcs;
  };
  for (const Expected& e : {Expected{&IID_IScript, "IScript Interface", 17}, {&IID_IScript2, "IScript2 Interface", 3},
                            {&IID_IScript3, "IScript3 Interface", 1}}) {
    SCOPED_TRACE(e.help);
    ASSERT_HR(S_OK, lib->GetTypeInfoOfGuid(*e.iid, info.put()));
    TYPEATTR* type = nullptr;
    ASSERT_HR(S_OK, info->GetTypeAttr(&type));
    EXPECT_EQ(TKIND_INTERFACE, type->typekind);
    EXPECT_EQ(e.funcs, type->cFuncs);
    EXPECT_EQ(kLegacy ? 0 : TYPEFLAG_FOLEAUTOMATION, type->wTypeFlags & TYPEFLAG_FOLEAUTOMATION);
    info->ReleaseTypeAttr(type);
    ASSERT_HR(S_OK, info->GetDocumentation(MEMBERID_NIL, nullptr, doc.put(), nullptr, nullptr));
    EXPECT_EQ(e.help, Narrow(doc.get()));
  }

  // Member ids: interface number << 16 plus the index; a put shares its get's id.
  ASSERT_HR(S_OK, lib->GetTypeInfoOfGuid(IID_IScript, info.put()));
  for (UINT index : {1u, 2u, 3u}) {
    FUNCDESC* func = nullptr;
    ASSERT_HR(S_OK, info->GetFuncDesc(index, &func));
    EXPECT_EQ(index == 3 ? 0x60010003 : 0x60010001, func->memid);
    EXPECT_EQ(index == 1 ? INVOKE_PROPERTYGET : index == 2 ? INVOKE_PROPERTYPUT : INVOKE_FUNC, func->invkind);
    info->ReleaseFuncDesc(func);
  }
  ASSERT_HR(S_OK, info->GetDocumentation(0x60010003, name.put(), doc.put(), nullptr, nullptr));
  EXPECT_EQ("SetLineInfo", Narrow(name.get()));
  EXPECT_EQ("method SetLineInfo", Narrow(doc.get()));
  MEMBERID id = 0;
  LPOLESTR names[] = {const_cast<LPOLESTR>(OLESTR("ReplaceScriptStr"))};
  ASSERT_HR(S_OK, info->GetIDsOfNames(names, 1, &id));
  EXPECT_EQ(0x60010010, id);
}

TEST_F(RegistrationTest, EveryIUnknownIsTheStandardLibrarys) {
  Registered registered;
  ASSERT_HR(S_OK, registered.hr());
  ComPtr<ITypeLib> lib;
  ASSERT_HR(S_OK, LoadRegTypeLib(LIBID_ZANSCRIPTLib, 1, 0, 0, lib.put()));
  // The default interface of each coclass, and the base of IScript.
  struct Case {
    const char* name;
    const GUID* type;
    const IID* expected;
    bool inStdOle;
  };
  for (const Case& c : {Case{"Script", &CLSID_Script, kLegacy ? &IID_IScript3 : &IID_IScript4, false},
                        {"ScriptLoad", &CLSID_ScriptLoad, &IID_IScript, false},
                        {"ZanDictionary", &CLSID_ZanDictionary, &IID_IUnknown, true},
                        {"IScript", &IID_IScript, &IID_IUnknown, true}}) {
    SCOPED_TRACE(c.name);
    ComPtr<ITypeInfo> info, target;
    ASSERT_HR(S_OK, lib->GetTypeInfoOfGuid(*c.type, info.put()));
    TYPEATTR* type = nullptr;
    ASSERT_HR(S_OK, info->GetTypeAttr(&type));
    UINT defaultIndex = 0;
    for (UINT i = 0; i < type->cImplTypes; ++i) {
      INT flags = 0;
      info->GetImplTypeFlags(i, &flags);
      if (flags & IMPLTYPEFLAG_FDEFAULT) defaultIndex = i;
    }
    info->ReleaseTypeAttr(type);
    HREFTYPE ref = 0;
    ASSERT_HR(S_OK, info->GetRefTypeOfImplType(defaultIndex, &ref));
    ASSERT_HR(S_OK, info->GetRefTypeInfo(ref, target.put()));
    ASSERT_HR(S_OK, target->GetTypeAttr(&type));
    EXPECT_TRUE(IsEqualGUID(*c.expected, type->guid));
    target->ReleaseTypeAttr(type);
    ComPtr<ITypeLib> owner;
    UINT index = 0;
    ASSERT_HR(S_OK, target->GetContainingTypeLib(owner.put(), &index));
    TLIBATTR* attr = nullptr;
    ASSERT_HR(S_OK, owner->GetLibAttr(&attr));
    EXPECT_TRUE(IsEqualGUID(c.inStdOle ? kStdOle : LIBID_ZANSCRIPTLib, attr->guid));
    owner->ReleaseTLibAttr(attr);
  }
}

TEST_F(RegistrationTest, HostsCreateEveryClassByProgIdWhileRegistered) {
  Registered registered;
  ASSERT_HR(S_OK, registered.hr());
  for (const WCHAR* progId : {OLESTR("Korvane.Script"), OLESTR("Korvane.ScriptLoad.1"), OLESTR("Korvane.ZanDictionary")}) {
    SCOPED_TRACE(Narrow(progId));
    CLSID clsid;
    ASSERT_HR(S_OK, CLSIDFromProgID(progId, &clsid));
    ComPtr<IUnknown> object;
    EXPECT_HR(S_OK, CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, object.put_void()));
  }
  // The script still answers for IScript4 where the library stops at IScript3.
  ComPtr<IScript4> script;
  ASSERT_HR(S_OK, CoCreateInstance(CLSID_Script, nullptr, CLSCTX_INPROC_SERVER, IID_IScript4, script.put_void()));
  UniqueBstr line(SysAllocString(OLESTR("a")));
  ASSERT_HR(S_OK, script->AppendScriptLine(line.get()));
  EXPECT_HR(kLegacy ? S_OK : E_POINTER, script->get_Line(0, nullptr));
  EXPECT_HR(E_FAIL, script->get_Line(1, nullptr));

  // The dictionary's IDispatch finds the library, which does not describe it.
  ComPtr<IDispatch> dictionary;
  ASSERT_HR(S_OK, CoCreateInstance(CLSID_ZanDictionary, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                   dictionary.put_void()));
  ComPtr<ITypeInfo> info;
  EXPECT_HR(TYPE_E_ELEMENTNOTFOUND, dictionary->GetTypeInfo(0, 0, info.put()));
}

#ifdef ZAN_OTHER_LIBRARY_PATH
TEST_F(RegistrationTest, EveryRegistrationUndoneLeavesTheRegistryAsBefore) {
  OtherLibrary other;
  ASSERT_TRUE(other.loaded());
  struct Step {
    bool other;
    bool registering;
  };
  const Step R{false, true}, U{false, false}, OR{true, true}, OU{true, false};
  struct Case {
    const char* name;
    std::vector<Step> steps;
  };
  const Case cases[] = {
      {"three of this library", {R, R, R, U, U, U}},
      {"three of the other", {OR, OR, OR, OU, OU, OU}},
      {"one after the other", {R, R, U, U, OR, OR, OU, OU}},
      {"interleaved, undone in order", {R, OR, R, OR, U, OU, U, OU}},
      {"interleaved, undone in reverse", {OR, R, OR, R, U, OU, U, OU}},
      {"nested", {R, OR, OR, OU, R, U, OU, U}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    size_t index = 0;
    for (const Step& step : c.steps) {
      SCOPED_TRACE(index++);
      const HRESULT hr = step.other ? (step.registering ? other.Register() : other.Unregister())
                                    : (step.registering ? Register() : Unregister());
      EXPECT_TRUE(SUCCEEDED(hr)) << std::hex << hr;
    }
    EXPECT_EQ(before_, zantest::ExportRegistration());
  }
}
#endif
