// Every allocation an operation makes, failed in turn (the k-th BSTR,
// SAFEARRAY, task-memory block or C++ allocation from the start of the
// call, for every k until the call no longer meets the fault), and every
// step of writing or reading a file, failed in turn. After each fault the
// call has returned (no exception crossed), nothing leaked, and the
// document still reads, saves and loads back as a whole.
#include <new>

#include "support/module_fixture.h"

#if defined(ZAN_PLATFORM_POSIX)

#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "support/script_registration.h"
#include "support/temp_folder.h"
#include "zanole/file_edit.h"

// Every close of the process, the library's included: one of a descriptor
// closed already would, in a process with threads, close another's file.
std::atomic<int> g_closedTwice{0};
extern "C" int close(int fd) {
  const long result = syscall(SYS_close, fd);
  if (result != 0 && errno == EBADF) ++g_closedTwice;
  return static_cast<int>(result);
}

// The C++ allocations of the whole process, the library's included, count
// against the armed fault. (They are malloc's blocks, freed with free.)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t n) {
  if (!ZanAllocationMayProceed()) throw std::bad_alloc();
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
  return ZanAllocationMayProceed() ? std::malloc(n ? n : 1) : nullptr;
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
#pragma GCC diagnostic pop

namespace zantest {
namespace {

using zan::ComPtr;
using zan::UniqueBstr;

// Disarms the fault however the armed call ends.
class ArmedAllocationFault {
 public:
  explicit ArmedAllocationFault(LONG k) { ZanInjectAllocationFault(k); }
  ~ArmedAllocationFault() { ZanInjectAllocationFault(-1); }
  ArmedAllocationFault(const ArmedAllocationFault&) = delete;
  ArmedAllocationFault& operator=(const ArmedAllocationFault&) = delete;
};

class Sink : public _IScriptDataEvents {
 public:
  ULONG refs = 1;
  int events = 0;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** ppv) override {
    if (!IsEqualGUID(iid, IID_IUnknown) && !IsEqualGUID(iid, IidOf<_IScriptDataEvents>())) {
      *ppv = nullptr;
      return E_NOINTERFACE;
    }
    *ppv = static_cast<_IScriptDataEvents*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  HRESULT STDMETHODCALLTYPE OnScriptUpdate(ScriptUpdateInfo*, IUnknown*) override { return ++events, S_OK; }
  HRESULT STDMETHODCALLTYPE OnCurrentLineChange(LONG) override { return ++events, S_OK; }
};

// What one scenario works on: a script of five lines with information, a
// second script to take lines from, a saved file and the strings the calls
// take, all made before the fault is armed.
struct World {
  Sink sink;  // outlives the scripts, whatever a fault left subscribed
  ComPtr<IScript4> script;
  ComPtr<IScript4> other;
  TempFolder folder;
  WString saved;
  WString target;
  std::vector<UniqueBstr> text;

  BSTR S(size_t i) { return text.at(i).get(); }
};

enum Text { kLines, kKey, kValue, kOld, kNew, kSource, kComments };

using Scenario = std::function<HRESULT(World&)>;

// Creation as a host does it, with no test expectation inside the armed
// window (a failure there is the point).
template <class I>
HRESULT New(REFCLSID clsid, ComPtr<I>* out) {
  ComPtr<IClassFactory> factory;
  HRESULT hr = DllGetClassObjectOfLibrary(clsid, IidOf<IClassFactory>(), factory.put_void());
  return SUCCEEDED(hr) ? factory->CreateInstance(nullptr, IidOf<I>(), out->put_void()) : hr;
}

class FaultInjectionTest : public ModuleTest {
 protected:
  // Builds the world, unarmed.
  void Build(World& w) {
    ASSERT_HR(S_OK, Create(CLSID_Script, &w.script));
    ASSERT_HR(S_OK, Create(CLSID_Script, &w.other));
    for (const WCHAR* s : {OLESTR("one\r\ntwo Grüße\r\nthree 🎵"), OLESTR("note"), OLESTR("a value"), OLESTR("t"),
                           OLESTR("TT"), OLESTR("script source"), OLESTR("script comments")})
      w.text.emplace_back(SysAllocString(s));
    for (IScript4* s : {w.script.get(), w.other.get()}) {
      ASSERT_HR(S_OK, s->AppendScriptLine(w.S(kLines)));
      ASSERT_HR(S_OK, s->AppendScriptLine(w.S(kLines)));
      ASSERT_HR(S_OK, s->SetLineInfo(1, w.S(kKey), w.S(kValue)));
      ASSERT_HR(S_OK, s->SetLineInfo(2, w.S(kComments), w.S(kValue)));
    }
    w.saved = w.folder.WidePath("saved.script");
    w.target = w.folder.WidePath("target.script");
    ComPtr<IPersistFile> file;
    ASSERT_HR(S_OK, w.script.As(IidOf<IPersistFile>(), &file));
    ASSERT_HR(S_OK, file->Save(w.saved.c_str(), TRUE));
  }

  // The document as a whole: every line reads, the joined text has one
  // break per line, and a save loads back to the same text.
  void ExpectConsistent(World& w, const std::string& where) {
    LONG size = -1;
    ASSERT_HR(S_OK, w.script->get_Size(&size)) << where;
    for (LONG i = 0; i < size; ++i) {
      ComPtr<IDispatch> line;
      ASSERT_HR(S_OK, w.script->get_Line(i, line.put())) << where << ", line " << i;
    }
    UniqueBstr joined, again;
    ASSERT_HR(S_OK, w.script->get_ConcatScriptLinesWithComments(joined.put())) << where;
    std::string text = Narrow(joined.get());
    EXPECT_EQ(size, std::count(text.begin(), text.end(), '\n')) << where;
    ComPtr<IPersistFile> file;
    ASSERT_HR(S_OK, w.script.As(IidOf<IPersistFile>(), &file));
    ASSERT_HR(S_OK, file->Save(w.target.c_str(), TRUE)) << where;
    ComPtr<IScript4> loaded;
    ComPtr<IPersistFile> loader;
    ASSERT_HR(S_OK, Create(CLSID_Script, &loaded));
    ASSERT_HR(S_OK, loaded.As(IidOf<IPersistFile>(), &loader));
    ASSERT_HR(S_OK, loader->Load(w.target.c_str(), STGM_READ)) << where;
    ASSERT_HR(S_OK, loaded->get_ConcatScriptLinesWithComments(again.put())) << where;
    // A last line with nothing in it is no line of the saved file.
    if (text == "\n" || (text.size() > 1 && text.compare(text.size() - 2, 2, "\n\n") == 0)) text.pop_back();
    EXPECT_EQ(text, Narrow(again.get())) << where << ": the save did not load back";
  }

  // Runs the scenario once for every allocation it makes, failing that
  // one; returns how many faults it met.
  int RunEveryFault(const char* name, const Scenario& scenario) {
    const LONG strings = ZanLiveBstrCount(), arrays = ZanLiveSafeArrayCount();
    for (LONG k = 0;; ++k) {
      const std::string where = std::string(name) + ", allocation " + std::to_string(k) + " failed";
      HRESULT hr;
      bool fired;
      {
        World w;
        Build(w);
        if (HasFatalFailure()) return -1;
        {
          ArmedAllocationFault armed(k);
          hr = scenario(w);
          fired = ZanAllocationFaultFired();
        }
        if (!fired) {
          EXPECT_TRUE(SUCCEEDED(hr)) << name << " fails without a fault: " << HrText(hr);
          return k;
        }
        ExpectConsistent(w, where);
        if (HasFatalFailure()) return -1;
        EXPECT_EQ(1, w.sink.refs) << where << ": a subscriber reference was kept";
      }
      EXPECT_EQ(strings, ZanLiveBstrCount()) << where << ": strings leaked";
      EXPECT_EQ(arrays, ZanLiveSafeArrayCount()) << where << ": arrays leaked";
      EXPECT_HR(S_OK, DllCanUnloadNowOfLibrary()) << where << ": an object leaked";
      if (HasFailure()) return -1;
    }
  }
};

// ~20 host operations, each run with every one of its allocations failed.
TEST_F(FaultInjectionTest, EveryAllocationOfEveryOperationFailsCleanly) {
  const std::vector<std::pair<const char*, Scenario>> scenarios = {
      {"AppendScriptLine", [](World& w) { return w.script->AppendScriptLine(w.S(kLines)); }},
      {"InsertScriptLine", [](World& w) { return w.script->InsertScriptLine(2, w.S(kLines)); }},
      {"Resize", [](World& w) { return w.script->Resize(40); }},
      {"SetLineInfo", [](World& w) { return w.script->SetLineInfo(3, w.S(kKey), w.S(kValue)); }},
      {"SetLineInfo at the end", [](World& w) { return w.script->SetLineInfo(6, w.S(kSource), w.S(kValue)); }},
      {"SetLineInfoBSTR", [](World& w) { return w.script->SetLineInfoBSTR(0, w.S(kComments), w.S(kValue)); }},
      {"GetLineInfo",
       [](World& w) {
         UniqueBstr value;
         return w.script->GetLineInfo(1, w.S(kKey), value.put());
       }},
      {"DeleteLineInfo", [](World& w) { return w.script->DeleteLineInfo(1, w.S(kKey)); }},
      {"ConcatScriptLines",
       [](World& w) {
         UniqueBstr text;
         return w.script->get_ConcatScriptLines(text.put());
       }},
      {"ConcatScriptLinesWithComments",
       [](World& w) {
         UniqueBstr text;
         return w.script->get_ConcatScriptLinesWithComments(text.put());
       }},
      {"ReplaceScriptStr", [](World& w) { return w.script->ReplaceScriptStr(w.S(kOld), w.S(kNew), -1); }},
      {"UpdateFromScript", [](World& w) { return w.script->UpdateFromScript(w.other.get(), 1, 1, 2); }},
      {"put_Line and SetLine",
       [](World& w) {
         ComPtr<IDispatch> line;
         HRESULT hr = w.other->get_Line(0, line.put());
         for (int i = 0; SUCCEEDED(hr) && i < 20; ++i) hr = w.script->put_Line(0, line.get());
         return SUCCEEDED(hr) ? w.script->SetLine(3, line.get()) : hr;
       }},
      {"Load",
       [](World& w) {
         ComPtr<IPersistFile> file;
         HRESULT hr = w.script.As(IidOf<IPersistFile>(), &file);
         return SUCCEEDED(hr) ? file->Load(w.saved.c_str(), STGM_READ) : hr;
       }},
      {"Save",
       [](World& w) {
         ComPtr<IPersistFile> file;
         HRESULT hr = w.script.As(IidOf<IPersistFile>(), &file);
         return SUCCEEDED(hr) ? file->Save(w.target.c_str(), TRUE) : hr;
       }},
      {"Advise, notify, Unadvise",
       [](World& w) {
         ComPtr<IConnectionPointContainer> container;
         ComPtr<IConnectionPoint> point;
         ComPtr<IScriptData> data;
         DWORD cookie = 0;
         HRESULT hr = w.script.As(IidOf<IConnectionPointContainer>(), &container);
         if (SUCCEEDED(hr)) hr = container->FindConnectionPoint(IidOf<_IScriptDataEvents>(), point.put());
         if (SUCCEEDED(hr)) hr = point->Advise(&w.sink, &cookie);
         if (FAILED(hr)) return hr;
         hr = w.script.As(IidOf<IScriptData>(), &data);
         if (SUCCEEDED(hr)) data->SetCurrentLine(1);
         ScriptUpdateInfo info = {1, 0, 1, 0, 2, 0};
         if (SUCCEEDED(hr)) data->ApplyUpdate(&info, nullptr);
         const HRESULT unadvised = point->Unadvise(cookie);
         return FAILED(hr) ? hr : unadvised;
       }},
      {"CreateCopy",
       [](World& w) {
         ComPtr<IScriptData> data;
         ComPtr<IScript> copy;
         HRESULT hr = w.script.As(IidOf<IScriptData>(), &data);
         return SUCCEEDED(hr) ? data->CreateCopy(nullptr, copy.put()) : hr;
       }},
      {"Keys, Items and Clone of a line",
       [](World& w) {
         ComPtr<IDispatch> line;
         ComPtr<Scripting::IDictionary> dictionary;
         ComPtr<IKBCloneable> cloneable;
         ComPtr<IUnknown> clone;
         zan::UniqueVariant keys, items;
         HRESULT hr = w.script->get_Line(1, line.put());
         if (SUCCEEDED(hr)) hr = line.As(Scripting::IID_IDictionary, &dictionary);
         if (SUCCEEDED(hr)) hr = dictionary->Keys(keys.get());
         if (SUCCEEDED(hr)) hr = dictionary->Items(items.get());
         if (SUCCEEDED(hr)) hr = line.As(IidOf<IKBCloneable>(), &cloneable);
         return SUCCEEDED(hr) ? cloneable->Clone(clone.put()) : hr;
       }},
      {"ScriptLoad",
       [](World& w) {
         ComPtr<IScript> loader;
         ComPtr<IPersistFile> file;
         UniqueBstr text;
         HRESULT hr = New(CLSID_ScriptLoad, &loader);
         if (SUCCEEDED(hr)) hr = loader.As(IidOf<IPersistFile>(), &file);
         if (SUCCEEDED(hr)) hr = file->Load(w.saved.c_str(), STGM_READ);
         return SUCCEEDED(hr) ? loader->get_ConcatScriptLines(text.put()) : hr;
       }},
      {"creating a Script",
       [](World&) {
         ComPtr<IScript4> created;
         return New(CLSID_Script, &created);
       }},
  };
  ScriptRegistration registration;  // CreateCopy makes its copy through the registry
  ASSERT_TRUE(registration.ok());
  int faults = 0;
  for (const auto& [name, scenario] : scenarios) {
    const int met = RunEveryFault(name, scenario);
    ASSERT_GE(met, 0) << name;
    std::printf("[ FAULTS ] %-32s %4d\n", name, met);
    faults += met;
  }
  std::printf("[ FAULTS ] %zu operations, %d allocation faults met\n", scenarios.size(), faults);
}

std::vector<std::string> FilesIn(const TempFolder& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder.Path("")))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> LineTexts(IScript* script) {
  std::vector<std::string> texts;
  LONG size = 0;
  EXPECT_HR(S_OK, script->get_Size(&size));
  for (LONG i = 0; i < size; ++i) {
    UniqueBstr text;
    EXPECT_HR(S_OK, script->get_Script(i, text.put()));
    texts.push_back(Narrow(text.get()));
  }
  return texts;
}

// The reason GetLastError gives after a save failed by fault: the fault's
// own, never what cleaning up after it met.
DWORD ReasonOf(ZanFileFault fault, bool inPlace) {
  switch (fault) {
    case ZAN_FAULT_OPEN:
    case ZAN_FAULT_DEVICE_FULL: return ERROR_DISK_FULL;
    case ZAN_FAULT_REPLACE: return inPlace ? ERROR_WRITE_FAULT : ERROR_NOT_SAME_DEVICE;
    default: return ERROR_WRITE_FAULT;
  }
}

// Every step of a save failed in turn, in each encoding: opening the new
// file, each write (an I/O error, or a full device taking what fits), the
// flush to the disk, the close and the replacement; for a file replaced by
// a new one, and for a file with a second link, rewritten in place and
// written back.
TEST_F(FaultInjectionTest, EveryStepOfASaveFailsWithTheOldFileIntact) {
  World w;
  Build(w);
  ASSERT_HR(S_OK, w.script->AppendScriptLine(w.S(kLines)));
  ComPtr<IPersistFile> file;
  ASSERT_HR(S_OK, w.script.As(IidOf<IPersistFile>(), &file));
  const std::string old = w.folder.Read("saved.script");
  int cases = 0;
  for (bool inPlace : {false, true}) {
    if (inPlace) std::filesystem::create_hard_link(w.folder.Path("saved.script"), w.folder.Path("link.script"));
    const std::vector<std::string> names =
        inPlace ? std::vector<std::string>{"link.script", "saved.script"} : std::vector<std::string>{"saved.script"};
    for (LONG encoding : {0, 1, 2}) {
      ASSERT_HR(S_OK, w.script->put_SaveEncoding(encoding));
      ASSERT_HR(S_OK, file->Save(w.target.c_str(), TRUE));
      const LONGLONG size = static_cast<LONGLONG>(w.folder.Read("target.script").size());
      std::filesystem::remove(w.folder.Path("target.script"));
      std::vector<std::pair<ZanFileFault, LONGLONG>> faults = {
          {ZAN_FAULT_OPEN, 0}, {ZAN_FAULT_SYNC, 0}, {ZAN_FAULT_CLOSE, 0}, {ZAN_FAULT_REPLACE, 0}};
      for (LONGLONG at = 0; at < size; ++at) {
        faults.emplace_back(ZAN_FAULT_DEVICE_FULL, at);
        faults.emplace_back(ZAN_FAULT_WRITE_ERROR, at);
      }
      for (const auto& [fault, at] : faults) {
        const std::string where = std::string(inPlace ? "in place" : "replaced") + ", encoding " +
                                  std::to_string(encoding) + ", fault " + std::to_string(fault) + " at byte " +
                                  std::to_string(at);
        ASSERT_HR(S_OK, w.script->SetDirty(1));
        SetLastError(ERROR_SUCCESS);
        ZanInjectFileFault(fault, at);
        const HRESULT hr = file->Save(w.saved.c_str(), TRUE);
        const DWORD reason = GetLastError();
        const bool fired = ZanFileFaultFired();
        ZanInjectFileFault(ZAN_FAULT_NONE, 0);
        EXPECT_TRUE(fired) << where;
        EXPECT_HR(E_FAIL, hr) << where;
        EXPECT_EQ(ReasonOf(fault, inPlace), reason) << where;
        EXPECT_HR(S_OK, file->IsDirty()) << where << ": the edits are still unsaved";
        for (const std::string& name : names) EXPECT_EQ(old, w.folder.Read(name)) << where << ", " << name;
        EXPECT_EQ(names, FilesIn(w.folder)) << where;
        ++cases;
        if (HasFailure()) return;
      }
    }
  }
  std::printf("[ FAULTS ] %d save faults met\n", cases);
}

// A read error anywhere in a file ends the load with the lines before it,
// each whole, for the script and for ScriptLoad.
TEST_F(FaultInjectionTest, AReadErrorEndsALoadCleanly) {
  World w;
  Build(w);
  ComPtr<IPersistFile> file;
  ASSERT_HR(S_OK, w.script.As(IidOf<IPersistFile>(), &file));
  const std::vector<std::string> all = LineTexts(w.script.get());
  int cases = 0;
  for (LONG encoding : {1, 2}) {  // ANSI cannot hold the sample's text
    ASSERT_HR(S_OK, w.script->put_SaveEncoding(encoding));
    ASSERT_HR(S_OK, file->Save(w.saved.c_str(), TRUE));
    const LONGLONG size = static_cast<LONGLONG>(w.folder.Read("saved.script").size());
    for (LONGLONG at = 0; at < size; ++at) {
      const std::string where = "encoding " + std::to_string(encoding) + ", read error at byte " + std::to_string(at);
      ComPtr<IScript4> loaded;
      ComPtr<IPersistFile> loader;
      ASSERT_HR(S_OK, Create(CLSID_Script, &loaded));
      ASSERT_HR(S_OK, loaded.As(IidOf<IPersistFile>(), &loader));
      ZanInjectFileFault(ZAN_FAULT_READ_ERROR, at);
      const HRESULT hr = loader->Load(w.saved.c_str(), STGM_READ);
      const bool fired = ZanFileFaultFired();
      ZanInjectFileFault(ZAN_FAULT_NONE, 0);
      EXPECT_TRUE(fired) << where;
      EXPECT_TRUE(hr == S_OK || hr == E_FAIL) << where << ": " << HrText(hr);
      const std::vector<std::string> got = LineTexts(loaded.get());
      ASSERT_LT(got.size(), all.size()) << where;
      EXPECT_TRUE(std::equal(got.begin(), got.end(), all.begin())) << where << ": not the lines before the error";

      ComPtr<IScript> light;
      ComPtr<IPersistFile> lightFile;
      UniqueBstr text;
      ASSERT_HR(S_OK, Create(CLSID_ScriptLoad, &light));
      ASSERT_HR(S_OK, light.As(IidOf<IPersistFile>(), &lightFile));
      ZanInjectFileFault(ZAN_FAULT_READ_ERROR, at);
      const HRESULT lightHr = lightFile->Load(w.saved.c_str(), STGM_READ);
      ZanInjectFileFault(ZAN_FAULT_NONE, 0);
      EXPECT_TRUE(lightHr == S_OK || lightHr == E_FAIL) << where << ": " << HrText(lightHr);
      ASSERT_HR(S_OK, light->get_ConcatScriptLines(text.put()));
      std::string prefix;
      for (size_t i = 0; i < got.size(); ++i) prefix += all[i] + "\n";
      EXPECT_EQ(prefix, Narrow(text.get())) << where << ": ScriptLoad kept other lines than Script";
      ++cases;
      if (HasFailure()) return;
    }
  }
  std::printf("[ FAULTS ] %d read faults met\n", cases);
}

// The keys of a dictionary, in order, as text.
std::vector<std::string> KeysOf(Scripting::IDictionary* dictionary) {
  zan::UniqueVariant keys;
  EXPECT_HR(S_OK, dictionary->Keys(keys.get()));
  std::vector<std::string> out;
  LONG upper = -1;
  SafeArrayGetUBound(V_ARRAY(keys.get()), 1, &upper);
  for (LONG i = 0; i <= upper; ++i) {
    zan::UniqueVariant key;
    SafeArrayGetElement(V_ARRAY(keys.get()), &i, key.get());
    out.push_back(Narrow(V_BSTR(key.get())));
  }
  return out;
}

// A dictionary grown by one key and shrunk by one, at every size around
// the most a line holds, with each allocation failed in turn: the call
// either does all it was asked, or fails and leaves the keys as they were.
TEST_F(FaultInjectionTest, ADictionaryGrowingOrShrinkingPastALinesSizeFailsCleanly) {
  auto key = [](int n) {
    const WCHAR text[] = {'k', static_cast<WCHAR>('0' + n / 100), static_cast<WCHAR>('0' + n / 10 % 10),
                          static_cast<WCHAR>('0' + n % 10), 0};
    return zan::MakeVariantBstr(text);
  };
  int faults = 0;
  for (bool growing : {true, false}) {
    for (int size = 8; size <= 72; ++size) {
      for (LONG k = 0;; ++k) {
        const std::string where = std::string(growing ? "add to " : "remove from ") + std::to_string(size) +
                                  " keys, allocation " + std::to_string(k) + " failed";
        ComPtr<Scripting::IDictionary> dictionary;
        ASSERT_HR(S_OK, New(CLSID_ZanDictionary, &dictionary));
        // Odd keys only, so that the added key goes in the middle; shrinking
        // starts from many more keys than a line holds.
        const int made = growing ? size : 150;
        zan::UniqueVariant value = zan::MakeVariantBstr(OLESTR("a value"));
        for (int i = 0; i < made; ++i) ASSERT_HR(S_OK, dictionary->Add(key(2 * i + 1).get(), value.get()));
        for (int i = made - 1; i >= size; --i) ASSERT_HR(S_OK, dictionary->Remove(key(2 * i + 1).get()));
        const std::vector<std::string> before = KeysOf(dictionary.get());
        zan::UniqueVariant changed = key(growing ? size / 2 * 2 : size / 2 * 2 + 1);
        HRESULT hr;
        bool fired;
        {
          ArmedAllocationFault armed(k);
          hr = growing ? dictionary->Add(changed.get(), value.get()) : dictionary->Remove(changed.get());
          fired = ZanAllocationFaultFired();
        }
        // Either the call did all it was asked or, failing, nothing.
        if (!fired) {
          EXPECT_HR(S_OK, hr) << where;
        }
        if (FAILED(hr)) {
          EXPECT_HR(E_OUTOFMEMORY, hr) << where;
        }
        std::vector<std::string> after = before;
        const std::string changedText = Narrow(V_BSTR(changed.get()));
        if (SUCCEEDED(hr) && growing) {
          after.insert(std::upper_bound(after.begin(), after.end(), changedText), changedText);
        } else if (SUCCEEDED(hr)) {
          after.erase(std::find(after.begin(), after.end(), changedText));
        }
        EXPECT_EQ(after, KeysOf(dictionary.get())) << where;
        LONG count = -1;
        EXPECT_HR(S_OK, dictionary->get_Count(&count));
        EXPECT_EQ(static_cast<LONG>(after.size()), count) << where;
        if (HasFailure()) return;
        if (!fired) break;
        ++faults;
      }
    }
  }
  std::printf("[ FAULTS ] %d dictionary allocation faults met\n", faults);
}

// A hold that fails midway leaves no lock that keeps the next editor out.
TEST(FileEditFaults, AFailedHoldLeavesTheFileFree) {
  TempFolder folder;
  folder.Write("script", "x");
  const WString name = folder.WidePath("script");
  int failures = 0;
  for (LONG k = 0;; ++k) {
    WEditHold* hold;
    {
      ArmedAllocationFault fault(k);
      hold = WHoldForEdit(name.c_str(), false);
    }
    if (hold) {
      WReleaseHold(hold);
      break;
    }
    ++failures;
    bool others = false;
    std::thread other([&] {
      WEditHold* next = WHoldForEdit(name.c_str(), false);
      others = next != nullptr;
      WReleaseHold(next);
    });
    other.join();
    ASSERT_TRUE(others) << "allocation " << k << " failed, and the file stays held";
  }
  EXPECT_LT(0, failures);
}

// A scratch file that fails midway leaves no file, and closes no
// descriptor twice.
TEST(FileEditFaults, AFailedScratchFileLeavesNothingBehind) {
  TempFolder folder;
  folder.Write("script", "x");
  const char* tmp = std::getenv("TMPDIR");
  const std::string oldTmp = tmp ? tmp : "";
  setenv("TMPDIR", folder.Path("").c_str(), 1);
  const int before = g_closedTwice;
  FILE* file = nullptr;
  WString scratch;
  ZanInjectFileFault(ZAN_FAULT_OPEN, 0);
  const int error = WCreateScratchFile(&file, &scratch);
  const bool fired = ZanFileFaultFired();
  ZanInjectFileFault(ZAN_FAULT_NONE, 0);
  if (tmp) {
    setenv("TMPDIR", oldTmp.c_str(), 1);
  } else {
    unsetenv("TMPDIR");
  }
  EXPECT_EQ(std::vector<std::string>{"script"}, FilesIn(folder));
  EXPECT_TRUE(fired);
  EXPECT_EQ(ENOSPC, error);
  EXPECT_EQ(nullptr, file);
  EXPECT_TRUE(scratch.empty());
  EXPECT_EQ(before, g_closedTwice.load());
}

}  // namespace
}  // namespace zantest

#endif  // ZAN_PLATFORM_POSIX
