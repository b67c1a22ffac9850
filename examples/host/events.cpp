// One script told of the changes another component makes to it: a
// subscriber to _IScriptDataEvents, an update applied from a second
// script, and a new current line.
#include <ZanScriptHost.h>

#include <cstdio>
#include <cstdlib>

static void Check(HRESULT hr, const char* what) {
  if (FAILED(hr)) {
    std::fprintf(stderr, "%s failed: 0x%08X\n", what, static_cast<unsigned>(hr));
    std::exit(1);
  }
}

// Prints each event. It lives on main's stack, so its count only tells
// when the script has let it go.
class Subscriber : public _IScriptDataEvents {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID__IScriptDataEvents)) return E_NOINTERFACE;
    *object = static_cast<_IScriptDataEvents*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
  ULONG STDMETHODCALLTYPE Release() override { return --references; }

  HRESULT STDMETHODCALLTYPE OnScriptUpdate(ScriptUpdateInfo* info, IUnknown*) override {
    std::printf("OnScriptUpdate: action %lu, first line %ld, %ld lines\n", static_cast<unsigned long>(info->dwAction),
                static_cast<long>(info->lFirstLine), static_cast<long>(info->lNumLines));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnCurrentLineChange(LONG line) override {
    std::printf("OnCurrentLineChange: line %ld\n", static_cast<long>(line));
    return S_OK;
  }

  ULONG references = 0;
};

template <class I>
static I* Create(REFIID iid) {
  I* object = nullptr;
  Check(CoCreateInstance(CLSID_Script, nullptr, CLSCTX_INPROC_SERVER, iid, reinterpret_cast<void**>(&object)),
        "creating a Script");
  return object;
}

int main() {
  Check(CoInitialize(nullptr), "CoInitialize");
  Check(ZanScriptRegisterForProcess(), "registering ZanScript");

  // The viewer's script, and its subscription.
  IScriptData* viewer = Create<IScriptData>(IID_IScriptData);
  IConnectionPointContainer* container = nullptr;
  Check(viewer->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container)),
        "IConnectionPointContainer");
  IConnectionPoint* point = nullptr;
  Check(container->FindConnectionPoint(IID__IScriptDataEvents, &point), "FindConnectionPoint");
  container->Release();
  Subscriber subscriber;
  DWORD cookie = 0;
  Check(point->Advise(&subscriber, &cookie), "Advise");

  // The editor's script, whose lines the viewer takes over in full.
  IScript* editor = Create<IScript>(IID_IScript);
  BSTR text = SysAllocString(OLESTR("move 10\r\nturn left\r\nmove 5"));
  Check(editor->AppendScriptLine(text), "AppendScriptLine");
  SysFreeString(text);
  ScriptUpdateInfo update = {1, 0, 3, 0, 3, 0};  // tag, -, 3 lines, from line 0, action 3: replace all
  Check(viewer->ApplyUpdate(&update, editor), "ApplyUpdate");
  Check(viewer->SetCurrentLine(2), "SetCurrentLine");

  BSTR line = nullptr;
  Check(viewer->GetLineScript(2, &line), "GetLineScript");
  int units = static_cast<int>(SysStringLen(line));
  char ascii[64] = {};
  WideCharToMultiByte(CP_UTF8, 0, line, units, ascii, sizeof ascii - 1, nullptr, nullptr);
  std::printf("viewer's line 2: %s\n", ascii);
  SysFreeString(line);

  // After Unadvise the script holds no reference to the subscriber.
  Check(point->Unadvise(cookie), "Unadvise");
  Check(viewer->SetCurrentLine(0), "SetCurrentLine");
  std::printf("subscriber references after Unadvise: %lu\n", static_cast<unsigned long>(subscriber.references));
  point->Release();
  editor->Release();
  viewer->Release();
  CoUninitialize();
  return 0;
}
