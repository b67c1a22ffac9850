// Many threads, one module: eight host threads, each with its own scripts,
// line dictionaries, files, subscribers and copies, all created through
// the platform's activation, while one more thread asks the module whether
// it may unload, reads the registry and frees unused libraries in a loop.
// The module is loaded only by activation and by that thread's calls, so
// freeing it really unloads it. Built under ThreadSanitizer, this is where
// races between objects of one module show; in every build, a server
// unloaded under a thread still inside it crashes the run.
#include <gtest/gtest.h>

#include "support/hresult.h"

#if defined(ZAN_PLATFORM_POSIX)

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/com_ptr.h"
#include "base/unique_bstr.h"
#include "ZanScript_h.h"
#include "support/script_registration.h"

namespace zantest {
namespace {

using zan::ComPtr;
using zan::UniqueBstr;

// How long the threads run: a few seconds, or ZAN_STRESS_SECONDS.
std::chrono::seconds RunTime() {
  const char* text = std::getenv("ZAN_STRESS_SECONDS");
  const int seconds = text ? std::atoi(text) : 0;
  return std::chrono::seconds(seconds > 0 ? seconds : 3);
}

// The first failure any thread met, and how many.
class Failures {
 public:
  void Add(const std::string& what) {
    std::lock_guard<std::mutex> hold(lock_);
    if (count_++ == 0) first_ = what;
  }
  int count() const { return count_; }
  std::string first() const { return first_; }

 private:
  std::mutex lock_;
  int count_ = 0;
  std::string first_;
};

#define STRESS_CHECK(failures, hr, what)                                                   \
  do {                                                                                     \
    const HRESULT stress_hr_ = (hr);                                                       \
    if (FAILED(stress_hr_)) {                                                              \
      (failures).Add(std::string(what) + ": " + HrText(stress_hr_));                       \
      return false;                                                                        \
    }                                                                                      \
  } while (0)

class Subscriber : public _IScriptDataEvents {
 public:
  std::atomic<ULONG> refs{1};
  int lineChanges = 0;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** ppv) noexcept override {
    if (!IsEqualGUID(iid, IID_IUnknown) && !IsEqualGUID(iid, IidOf<_IScriptDataEvents>())) {
      *ppv = nullptr;
      return E_NOINTERFACE;
    }
    *ppv = static_cast<_IScriptDataEvents*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() noexcept override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() noexcept override { return --refs; }
  HRESULT STDMETHODCALLTYPE OnScriptUpdate(ScriptUpdateInfo*, IUnknown*) noexcept override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnCurrentLineChange(LONG) noexcept override { return ++lineChanges, S_OK; }
};

// One round of a host's work; false after a failure it recorded.
bool HostRound(int thread, int round, const std::filesystem::path& file, Failures& failures) {
  CLSID clsid;
  STRESS_CHECK(failures, CLSIDFromProgID(OLESTR("Korvane.Script"), &clsid), "CLSIDFromProgID");
  ComPtr<IScript4> script;
  STRESS_CHECK(failures,
               CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IidOf<IScript4>(), script.put_void()),
               "CoCreateInstance");
  const std::string text = "thread " + std::to_string(thread) + " round " + std::to_string(round);
  const std::u16string wide(text.begin(), text.end());
  UniqueBstr lines(SysAllocString(reinterpret_cast<const OLECHAR*>((wide + u"\nsecond\nthird").c_str())));
  UniqueBstr key(SysAllocString(OLESTR("note"))), value(SysAllocString(reinterpret_cast<const OLECHAR*>(wide.c_str())));
  STRESS_CHECK(failures, script->AppendScriptLine(lines.get()), "AppendScriptLine");
  STRESS_CHECK(failures, script->SetLineInfo(1, key.get(), value.get()), "SetLineInfo");

  // A line's dictionary and a copy of it.
  ComPtr<IDispatch> line;
  STRESS_CHECK(failures, script->get_Line(1, line.put()), "get_Line");
  ComPtr<IKBCloneable> cloneable;
  STRESS_CHECK(failures, line.As(IidOf<IKBCloneable>(), &cloneable), "IKBCloneable");
  ComPtr<IUnknown> clone;
  STRESS_CHECK(failures, cloneable->Clone(clone.put()), "Clone");

  // A subscriber told of the current line.
  Subscriber subscriber;
  {
    ComPtr<IConnectionPointContainer> container;
    STRESS_CHECK(failures, script.As(IidOf<IConnectionPointContainer>(), &container), "container");
    ComPtr<IConnectionPoint> point;
    STRESS_CHECK(failures, container->FindConnectionPoint(IidOf<_IScriptDataEvents>(), point.put()), "point");
    DWORD cookie = 0;
    STRESS_CHECK(failures, point->Advise(&subscriber, &cookie), "Advise");
    ComPtr<IScriptData> data;
    STRESS_CHECK(failures, script.As(IidOf<IScriptData>(), &data), "IScriptData");
    STRESS_CHECK(failures, data->SetCurrentLine(2), "SetCurrentLine");
    // A copy made through activation, sharing the lines.
    ComPtr<IScript> copy;
    STRESS_CHECK(failures, data->CreateCopy(nullptr, copy.put()), "CreateCopy");
    STRESS_CHECK(failures, point->Unadvise(cookie), "Unadvise");
  }
  if (subscriber.lineChanges != 1 || subscriber.refs != 1) failures.Add("the subscriber was not told once");

  // Its own file, saved and loaded back.
  const std::u16string name = file.u16string();
  ComPtr<IPersistFile> persist;
  STRESS_CHECK(failures, script.As(IidOf<IPersistFile>(), &persist), "IPersistFile");
  STRESS_CHECK(failures, persist->Save(reinterpret_cast<const OLECHAR*>(name.c_str()), TRUE), "Save");
  ComPtr<IScript4> loaded;
  STRESS_CHECK(failures,
               CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IidOf<IScript4>(), loaded.put_void()),
               "CoCreateInstance");
  ComPtr<IPersistFile> loader;
  STRESS_CHECK(failures, loaded.As(IidOf<IPersistFile>(), &loader), "IPersistFile");
  STRESS_CHECK(failures, loader->Load(reinterpret_cast<const OLECHAR*>(name.c_str()), STGM_READ), "Load");
  UniqueBstr back;
  STRESS_CHECK(failures, loaded->GetLineInfo(1, key.get(), back.put()), "GetLineInfo");
  if (!back.get() || std::u16string(reinterpret_cast<const char16_t*>(back.get())) != wide)
    failures.Add("the file did not load back");
  return true;
}

TEST(StressTest, HostThreadsAndAnUnloaderShareOneModule) {
  ScriptRegistration registration;
  ASSERT_TRUE(registration.ok());
  const char* path = ZAN_LIBRARY_PATH;
  const WString module(path, path + std::char_traits<char>::length(path));
  const auto folder = std::filesystem::temp_directory_path() / ("zan_stress_" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);

  std::atomic<bool> stop{false};
  Failures failures;
  std::atomic<long> rounds{0}, sweeps{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&, t] {
      if (FAILED(CoInitialize(nullptr))) return failures.Add("CoInitialize");
      const auto file = folder / ("thread" + std::to_string(t) + ".script");
      for (int round = 0; !stop && HostRound(t, round, file, failures); ++round) ++rounds;
      CoUninitialize();
    });
  }
  threads.emplace_back([&] {
    if (FAILED(CoInitialize(nullptr))) return failures.Add("CoInitialize");
    while (!stop) {
      // The module held across the call into it, as the platform does.
      if (HMODULE held = LoadLibraryW(module.c_str())) {
        auto canUnload = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
            reinterpret_cast<void (*)()>(GetProcAddress(held, "DllCanUnloadNow")));
        if (!canUnload) failures.Add("no DllCanUnloadNow");
        else canUnload();
        FreeLibrary(held);
      }
      CLSID clsid;
      if (FAILED(CLSIDFromProgID(OLESTR("Korvane.Script"), &clsid))) failures.Add("CLSIDFromProgID");
      HKEY key;
      if (RegOpenKeyExW(HKEY_CLASSES_ROOT, OLESTR("Korvane.Script\\CLSID"), 0, KEY_READ, &key) == ERROR_SUCCESS) {
        DWORD size = 0;
        RegQueryValueExW(key, nullptr, nullptr, nullptr, nullptr, &size);
        RegCloseKey(key);
      }
      CoFreeUnusedLibraries();
      // Unloads for real whenever the module has been idle a moment.
      CoFreeUnusedLibrariesEx(20, 0);
      ++sweeps;
    }
    CoUninitialize();
  });

  std::this_thread::sleep_for(RunTime());
  stop = true;
  for (std::thread& thread : threads) thread.join();
  std::printf("[ STRESS ] %ld host rounds on 8 threads, %ld unloader sweeps\n", rounds.load(), sweeps.load());
  CoFreeUnusedLibrariesEx(0, 0);
  std::filesystem::remove_all(folder);
  EXPECT_EQ(0, failures.count()) << "first: " << failures.first();
  EXPECT_GT(rounds.load(), 8);
}

// Registration counts under the class's key; threads registering at once
// must not lose a count. (Each registration may wait for its type library's
// second step, so the threads make few.)
TEST(StressTest, RegistrationsFromManyThreadsAreEachCounted) {
  const char* path = ZAN_LIBRARY_PATH;
  const WString module(path, path + std::char_traits<char>::length(path));
  HMODULE held = LoadLibraryW(module.c_str());
  ASSERT_NE(nullptr, held);
  using Entry = HRESULT(STDAPICALLTYPE*)();
  const auto registerServer = reinterpret_cast<Entry>(reinterpret_cast<void (*)()>(GetProcAddress(held, "DllRegisterServer")));
  const auto unregisterServer =
      reinterpret_cast<Entry>(reinterpret_cast<void (*)()>(GetProcAddress(held, "DllUnregisterServer")));
  ASSERT_TRUE(registerServer && unregisterServer);
  LPOLESTR text = nullptr;
  ASSERT_HR(S_OK, StringFromCLSID(CLSID_Script, &text));
  const WString classKey = WString(OLESTR("CLSID\\")) + text;
  CoTaskMemFree(text);

  constexpr int kThreads = 8, kEach = 8;
  std::atomic<int> failed{0};
  auto inThreads = [&](Entry entry) {
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&] {
        CoInitialize(nullptr);
        for (int i = 0; i < kEach; ++i) failed += FAILED(entry());
        CoUninitialize();
      });
    }
    for (std::thread& thread : threads) thread.join();
  };
  inThreads(registerServer);
  EXPECT_EQ(0, failed.load());
  DWORD count = 0, size = sizeof count;
  HKEY key;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CLASSES_ROOT, (classKey + OLESTR("\\InprocServer32")).c_str(), 0,
                                         KEY_READ, &key));
  EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, OLESTR("RefCount"), nullptr, nullptr,
                                            reinterpret_cast<BYTE*>(&count), &size));
  RegCloseKey(key);
  EXPECT_EQ(static_cast<DWORD>(kThreads * kEach), count);
  inThreads(unregisterServer);
  EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CLASSES_ROOT, classKey.c_str(), 0, KEY_READ, &key))
      << "the last unregistration leaves the class's key behind";
  FreeLibrary(held);
}

}  // namespace
}  // namespace zantest

#endif  // ZAN_PLATFORM_POSIX
