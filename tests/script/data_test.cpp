#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "script_fixture.h"
#include "support/script_registration.h"

using zan::ComPtr;
using zan::UniqueBstr;
using zantest::CountingObject;
using zantest::Lines;
using zantest::ScriptRegistration;

namespace {

// A subscriber that counts its references and writes what it hears into a
// shared log; an optional callback runs inside its events.
class Subscriber : public _IScriptDataEvents {
 public:
  Subscriber(std::string name, std::vector<std::string>* log) : name_(std::move(name)), log_(log) {}
  ULONG refs = 1;
  ScriptUpdateInfo lastInfo = {};
  const ScriptUpdateInfo* lastInfoAt = nullptr;
  IUnknown* lastSource = nullptr;
  std::function<void()> during;
  // Runs once, when the point gives back its last reference.
  std::function<void()> onRelease;
  // What QueryInterface answers for every id, when set.
  HRESULT refuse = S_OK;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** ppv) override {
    if (FAILED(refuse)) {
      *ppv = nullptr;
      return refuse;
    }
    if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IidOf<_IScriptDataEvents>())) {
      *ppv = static_cast<_IScriptDataEvents*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override {
    if (refs == 2 && onRelease) std::exchange(onRelease, nullptr)();
    return --refs;
  }
  HRESULT STDMETHODCALLTYPE OnScriptUpdate(ScriptUpdateInfo* pInfo, IUnknown* pUnk) override {
    lastInfo = *pInfo;
    lastInfoAt = pInfo;
    lastSource = pUnk;
    log_->push_back(name_ + ":update");
    if (during) during();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnCurrentLineChange(LONG lLine) override {
    log_->push_back(name_ + ":" + std::to_string(lLine));
    if (during) during();
    return E_FAIL;  // not looked at
  }

 private:
  std::string name_;
  std::vector<std::string>* log_;
};

class DataTest : public zantest::ScriptTest {
 protected:
  void SetUp() override {
    ScriptTest::SetUp();
    ASSERT_HR(S_OK, script_.As(IidOf<IScriptData>(), &data_));
    ComPtr<IConnectionPointContainer> container;
    ASSERT_HR(S_OK, script_.As(IidOf<IConnectionPointContainer>(), &container));
    ASSERT_HR(S_OK, container->FindConnectionPoint(IidOf<_IScriptDataEvents>(), point_.put()));
  }
  void TearDown() override {
    point_.Reset();
    data_.Reset();
    ScriptTest::TearDown();
  }

  DWORD Advise(IUnknown* sink) {
    DWORD cookie = 99;
    EXPECT_HR(S_OK, point_->Advise(sink, &cookie));
    return cookie;
  }

  ComPtr<IScriptData> data_;
  ComPtr<IConnectionPoint> point_;
  std::vector<std::string> log_;
};

using Strings = std::vector<std::string>;

// A record's six fields in their order, to compare records whole.
std::vector<int64_t> Fields(const ScriptUpdateInfo& info) {
  return {info.lTag, info.lReserved1, info.lNumLines, info.lFirstLine, info.dwAction, info.lReserved2};
}
using Record = std::vector<int64_t>;

}  // namespace

TEST_F(DataTest, CurrentLineIsToldToSubscribersInCookieOrder) {
  LONG line = 0;
  ASSERT_HR(S_OK, data_->GetCurrentLine(&line));
  EXPECT_EQ(-1, line);
  UniqueBstr text;
  EXPECT_HR(E_FAIL, data_->GetLineScript(-1, text.put()));
  Append(OLESTR("a\nb\nc"));
  Subscriber first("1", &log_), second("2", &log_);
  EXPECT_EQ(1u, Advise(&first));
  EXPECT_EQ(2u, Advise(&second));
  ASSERT_HR(S_OK, data_->SetCurrentLine(2));
  EXPECT_EQ((Strings{"1:2", "2:2"}), log_);
  ASSERT_HR(S_OK, data_->GetCurrentLine(&line));
  EXPECT_EQ(2, line);
  ASSERT_HR(S_OK, data_->GetLineScript(-1, text.put()));
  EXPECT_EQ("c", zantest::Narrow(text.get()));
  EXPECT_HR(S_OK, data_->SetCurrentLine(99));  // not checked against the lines
  EXPECT_HR(E_POINTER, data_->GetCurrentLine(nullptr));
  // Edits through IScript tell nobody.
  ASSERT_HR(S_OK, script_->RemoveLine(0));
  ASSERT_HR(S_OK, script_->SetLineInfo(0, Text(zantest::kSource), Text(OLESTR("x"))));
  EXPECT_EQ(4u, log_.size());
  EXPECT_HR(S_OK, point_->Unadvise(1));
  EXPECT_HR(S_OK, point_->Unadvise(2));
  EXPECT_REFS(&first, 1);
  EXPECT_REFS(&second, 1);
}

TEST_F(DataTest, ApplyUpdateChangesTheLinesThenTellsTheRecord) {
  Append(OLESTR("1\n2\n3\n4\n5"));
  ComPtr<IScript4> source;
  ASSERT_HR(S_OK, Create(CLSID_Script, &source));
  ASSERT_HR(S_OK, source->AppendScriptLine(Text(OLESTR("s0\ns1"))));
  Subscriber subscriber("s", &log_);
  Advise(&subscriber);

  ASSERT_HR(S_OK, data_->ApplyUpdate(nullptr, source.get()));
  EXPECT_EQ((Lines{"s0", "s1"}), Texts());
  EXPECT_EQ((Record{1, 0, 5, 0, 3, 0}), Fields(subscriber.lastInfo));  // the default record
  EXPECT_EQ(static_cast<IUnknown*>(source.get()), subscriber.lastSource);

  ScriptUpdateInfo invalid = {7, 8, 1, 0, 9, 10};
  ASSERT_HR(S_OK, data_->ApplyUpdate(&invalid, source.get()));  // changes nothing, still told
  EXPECT_EQ((Lines{"s0", "s1"}), Texts());
  EXPECT_EQ(9u, subscriber.lastInfo.dwAction);
  EXPECT_EQ(10, subscriber.lastInfo.lReserved2);
  ScriptUpdateInfo remove = {1, 0, 1, 0, 2, 0};
  ASSERT_HR(S_OK, data_->ApplyUpdate(&remove, nullptr));
  EXPECT_EQ((Lines{"s1"}), Texts());
  EXPECT_EQ((Strings{"s:update", "s:update", "s:update"}), log_);
  EXPECT_HR(S_OK, point_->Unadvise(1));
}

TEST_F(DataTest, AdviseUnadviseAndCookies) {
  CountingObject notASubscriber;
  DWORD cookie = 5;
  EXPECT_HR(CONNECT_E_CANNOTCONNECT, point_->Advise(&notASubscriber, &cookie));
  EXPECT_EQ(0u, cookie);
  EXPECT_HR(E_POINTER, point_->Advise(nullptr, &cookie));
  Subscriber subscribers[6] = {{"a", &log_}, {"b", &log_}, {"c", &log_}, {"d", &log_}, {"e", &log_}, {"f", &log_}};
  EXPECT_HR(E_POINTER, point_->Advise(&subscribers[0], nullptr));
  for (DWORD i = 0; i < 5; ++i) EXPECT_EQ(i + 1, Advise(&subscribers[i]));  // grows past 4
  EXPECT_HR(S_OK, point_->Unadvise(2));
  EXPECT_HR(CONNECT_E_NOCONNECTION, point_->Unadvise(2));
  EXPECT_HR(CONNECT_E_NOCONNECTION, point_->Unadvise(0));
  EXPECT_HR(CONNECT_E_NOCONNECTION, point_->Unadvise(99));
  EXPECT_EQ(2u, Advise(&subscribers[5]));  // the freed cookie again

  ComPtr<IEnumConnections> connections;
  ASSERT_HR(S_OK, point_->EnumConnections(connections.put()));
  CONNECTDATA data[8] = {};
  ULONG fetched = 0;
  EXPECT_HR(S_FALSE, connections->Next(8, data, &fetched));
  ASSERT_EQ(5u, fetched);
  EXPECT_EQ(2u, data[1].dwCookie);
  EXPECT_EQ(static_cast<IUnknown*>(&subscribers[5]), data[1].pUnk);
  for (ULONG i = 0; i < fetched; ++i) data[i].pUnk->Release();
  connections.Reset();  // the snapshot's references go with it
  for (DWORD cookie : {1u, 2u, 3u, 4u, 5u}) EXPECT_HR(S_OK, point_->Unadvise(cookie));
  for (Subscriber& s : subscribers) EXPECT_REFS(&s, 1);
  EXPECT_REFS(&notASubscriber, 1);
}

// Exactly four subscribers fill the first block; the slot a subscriber
// leaves is empty before it hears of its release, so a subscriber that
// advises another from its release hands it the cookie it freed.
TEST_F(DataTest, UnadviseEmptiesTheSlotBeforeTheRelease) {
  Subscriber four[4] = {{"a", &log_}, {"b", &log_}, {"c", &log_}, {"d", &log_}};
  for (DWORD i = 0; i < 4; ++i) EXPECT_EQ(i + 1, Advise(&four[i]));
  EXPECT_HR(S_OK, point_->Unadvise(4));  // the last slot of the block
  EXPECT_REFS(&four[3], 1);
  EXPECT_HR(CONNECT_E_NOCONNECTION, point_->Unadvise(4));
  Subscriber late("late", &log_);
  DWORD lateCookie = 0;
  four[1].onRelease = [&] { EXPECT_HR(S_OK, point_->Advise(&late, &lateCookie)); };
  EXPECT_HR(S_OK, point_->Unadvise(2));
  EXPECT_FALSE(four[1].onRelease);
  EXPECT_EQ(2u, lateCookie);
  ASSERT_HR(S_OK, data_->SetCurrentLine(1));
  EXPECT_EQ((Strings{"a:1", "late:1", "c:1"}), log_);
  for (DWORD cookie : {1u, 2u, 3u}) EXPECT_HR(S_OK, point_->Unadvise(cookie));
  for (Subscriber& s : four) EXPECT_REFS(&s, 1);
  EXPECT_REFS(&late, 1);
}

// A sink's own failure to answer is returned as it is, and one that stops
// answering is skipped by the notifications; the others still hear them.
TEST_F(DataTest, SubscribersThatDoNotAnswer) {
  Subscriber refusing("refusing", &log_), silent("silent", &log_), other("other", &log_);
  refusing.refuse = E_OUTOFMEMORY;
  DWORD cookie = 7;
  EXPECT_HR(E_OUTOFMEMORY, point_->Advise(&refusing, &cookie));
  EXPECT_EQ(0u, cookie);
  EXPECT_EQ(1u, Advise(&silent));
  EXPECT_EQ(2u, Advise(&other));
  silent.refuse = E_NOINTERFACE;
  ASSERT_HR(S_OK, data_->SetCurrentLine(3));
  ASSERT_HR(S_OK, data_->ApplyUpdate(nullptr, nullptr));
  EXPECT_EQ((Strings{"other:3", "other:update"}), log_);
  EXPECT_HR(S_OK, point_->Unadvise(1));
  EXPECT_HR(S_OK, point_->Unadvise(2));
  for (Subscriber* s : {&refusing, &silent, &other}) EXPECT_REFS(s, 1);
}

// A clone of a connection enumerator goes on from where the enumerator
// stands, and each moves on its own.
TEST_F(DataTest, AConnectionEnumeratorsCloneStartsWhereItStands) {
  Subscriber three[3] = {{"a", &log_}, {"b", &log_}, {"c", &log_}};
  for (Subscriber& s : three) Advise(&s);
  ComPtr<IEnumConnections> connections;
  ASSERT_HR(S_OK, point_->EnumConnections(connections.put()));
  auto next = [](IEnumConnections* e) {
    CONNECTDATA data = {};
    ULONG fetched = 0;
    EXPECT_HR(S_OK, e->Next(1, &data, &fetched));
    if (data.pUnk) data.pUnk->Release();
    return data.dwCookie;
  };
  EXPECT_EQ(1u, next(connections.get()));
  ComPtr<IEnumConnections> clone;
  ASSERT_HR(S_OK, connections->Clone(clone.put()));
  EXPECT_EQ(2u, next(clone.get()));
  EXPECT_EQ(3u, next(clone.get()));
  EXPECT_EQ(2u, next(connections.get()));
  clone.Reset();
  connections.Reset();
  for (DWORD cookie : {1u, 2u, 3u}) EXPECT_HR(S_OK, point_->Unadvise(cookie));
  for (Subscriber& s : three) EXPECT_REFS(&s, 1);
}

// Subscribers hear of a change once the script holds it: the new current
// line, and the script's own copy of the record, whoever gave it.
TEST_F(DataTest, SubscribersSeeTheScriptAsTheEventTellsIt) {
  Append(OLESTR("a\nb"));
  Subscriber reader("r", &log_);
  LONG seen = -2;
  LONG sizeSeen = -2;
  reader.during = [&] {
    data_->GetCurrentLine(&seen);
    script_->get_Size(&sizeSeen);
  };
  Advise(&reader);
  ASSERT_HR(S_OK, data_->SetCurrentLine(5));
  EXPECT_EQ(5, seen);

  // Neither record nor source: nothing to apply, still told, with the
  // default record.
  ASSERT_HR(S_OK, data_->ApplyUpdate(nullptr, nullptr));
  EXPECT_EQ((Record{1, 0, 2, 0, 3, 0}), Fields(reader.lastInfo));
  EXPECT_EQ(nullptr, reader.lastSource);
  EXPECT_EQ((Lines{"a", "b"}), Texts());
  ScriptUpdateInfo removeFirst = {4, 5, 1, 0, 2, 6};
  ASSERT_HR(S_OK, data_->ApplyUpdate(&removeFirst, nullptr));
  EXPECT_NE(&removeFirst, reader.lastInfoAt);  // the script's own copy
  EXPECT_EQ((Record{4, 5, 1, 0, 2, 6}), Fields(reader.lastInfo));
  EXPECT_EQ(1, sizeSeen);  // told after the line went
  EXPECT_EQ((Strings{"r:5", "r:update", "r:update"}), log_);
  EXPECT_HR(S_OK, point_->Unadvise(1));
}

TEST_F(DataTest, TheContainerAndItsOnePoint) {
  ComPtr<IConnectionPointContainer> container;
  ASSERT_HR(S_OK, script_.As(IidOf<IConnectionPointContainer>(), &container));
  ComPtr<IConnectionPoint> other;
  EXPECT_HR(CONNECT_E_NOCONNECTION, container->FindConnectionPoint(IidOf<IScriptData>(), other.put()));
  EXPECT_HR(E_POINTER, container->FindConnectionPoint(IidOf<_IScriptDataEvents>(), nullptr));
  IID iid = {};
  ASSERT_HR(S_OK, point_->GetConnectionInterface(&iid));
  EXPECT_TRUE(IsEqualGUID(IidOf<_IScriptDataEvents>(), iid));
  ComPtr<IConnectionPointContainer> back;
  ASSERT_HR(S_OK, point_->GetConnectionPointContainer(back.put()));
  EXPECT_EQ(container.get(), back.get());
  ComPtr<IEnumConnectionPoints> points;
  ASSERT_HR(S_OK, container->EnumConnectionPoints(points.put()));
  IConnectionPoint* listed[2] = {};
  ULONG fetched = 0;
  EXPECT_HR(S_FALSE, points->Next(2, listed, &fetched));
  ASSERT_EQ(1u, fetched);
  EXPECT_EQ(point_.get(), listed[0]);
  listed[0]->Release();
}

// Subscribers that change the list or notify again from inside their
// event: every subscriber present and still subscribed is reached, and no
// one is reached after it left.
TEST_F(DataTest, ReentrantSubscribersKeepTheWalkSafe) {
  Subscriber leaver("leaver", &log_), stayer("stayer", &log_), nester("nester", &log_);
  Subscriber late[5] = {{"n1", &log_}, {"n2", &log_}, {"n3", &log_}, {"n4", &log_}, {"n5", &log_}};
  const DWORD leaverCookie = Advise(&leaver);
  Advise(&stayer);
  Advise(&nester);
  leaver.during = [&] { point_->Unadvise(leaverCookie); };
  bool nested = false;
  nester.during = [&] {
    if (nested) return;
    nested = true;
    for (Subscriber& s : late) Advise(&s);  // the array grows during the walk
    data_->SetCurrentLine(7);
  };
  ASSERT_HR(S_OK, data_->SetCurrentLine(1));
  // n1 takes the leaver's slot, the lowest free one: the nested walk
  // reaches it first, the outer walk has passed it already.
  EXPECT_EQ((Strings{"leaver:1", "stayer:1", "nester:1", "n1:7", "stayer:7", "nester:7", "n2:7", "n3:7", "n4:7",
                     "n5:7", "n2:1", "n3:1", "n4:1", "n5:1"}),
            log_);
  EXPECT_REFS(&leaver, 1);
  data_.Reset();
  point_.Reset();
  script_.Reset();  // destruction releases the rest without telling them
  EXPECT_REFS(&stayer, 1);
  EXPECT_REFS(&nester, 1);
  for (Subscriber& s : late) EXPECT_REFS(&s, 1);
  EXPECT_EQ(14u, log_.size());
}

TEST_F(DataTest, CreateCopyChecksItsPointerThenFillsTheRecord) {
  Append(OLESTR("a\nb\nc"));
  ScriptUpdateInfo info = {5, 6, 7, 8, 9, 10};
  EXPECT_HR(E_POINTER, data_->CreateCopy(&info, nullptr));
  EXPECT_EQ((Record{5, 6, 7, 8, 9, 10}), Fields(info));  // untouched
  // Without the server registered under its ProgID there is no copy, but
  // the record is written first.
  ComPtr<IScript> copy;
  CLSID clsid;
  if (SUCCEEDED(CLSIDFromProgID(OLESTR("Korvane.Script"), &clsid))) GTEST_SKIP() << "Korvane.Script is registered here";
  EXPECT_TRUE(FAILED(data_->CreateCopy(&info, copy.put())));
  EXPECT_FALSE(copy);
  EXPECT_EQ((Record{5, 0, 3, 0, 3, 10}), Fields(info));  // tag and second reserved field kept
}

TEST_F(DataTest, CreateCopySharesTheLineObjects) {
  Append(OLESTR("a\nb\nc"));
  ScriptRegistration registration;
  ASSERT_TRUE(registration.ok());
  Subscriber subscriber("s", &log_);
  Advise(&subscriber);
  ASSERT_HR(S_OK, script_->put_SaveEncoding(0));
  ScriptUpdateInfo info = {5, 6, 7, 8, 9, 10};
  ComPtr<IScript> copy;
  ASSERT_HR(S_OK, data_->CreateCopy(&info, copy.put()));
  EXPECT_EQ((Record{5, 0, 3, 0, 3, 10}), Fields(info));
  ComPtr<IScript4> copy4;
  ASSERT_HR(S_OK, copy.As(IidOf<IScript4>(), &copy4));
  LONG encoding = -1;
  ASSERT_HR(S_OK, copy4->get_SaveEncoding(&encoding));
  EXPECT_EQ(2, encoding);  // a new script's, not this one's
  ComPtr<IPersistFile> copyFile;
  ASSERT_HR(S_OK, copy.As(IidOf<IPersistFile>(), &copyFile));
  EXPECT_HR(S_OK, copyFile->IsDirty());  // lines went in
  copyFile.Reset();
  copy4.Reset();
  LONG size = 0;
  ASSERT_HR(S_OK, copy->get_Size(&size));
  ASSERT_EQ(3, size);
  for (LONG i = 0; i < size; ++i) {
    ComPtr<IDispatch> mine, theirs;
    ASSERT_HR(S_OK, script_->get_Line(i, mine.put()));
    ASSERT_HR(S_OK, copy->get_Line(i, theirs.put()));
    EXPECT_EQ(mine.get(), theirs.get());
  }
  ASSERT_HR(S_OK, copy->SetLineInfo(0, Text(zantest::kSource), Text(OLESTR("changed"))));
  EXPECT_EQ("changed", Info(0));
  ComPtr<IScriptData> copyData;
  ASSERT_HR(S_OK, copy.As(IidOf<IScriptData>(), &copyData));
  LONG line = 0;
  ASSERT_HR(S_OK, copyData->GetCurrentLine(&line));
  EXPECT_EQ(-1, line);
  EXPECT_TRUE(log_.empty());  // a copy tells nobody
  copyData.Reset();
  copy.Reset();
  EXPECT_HR(S_OK, point_->Unadvise(1));

  // A copy of an empty script took no line, and is clean.
  ASSERT_HR(S_OK, script_->Empty());
  ASSERT_HR(S_OK, data_->CreateCopy(nullptr, copy.put()));
  ASSERT_HR(S_OK, copy.As(IidOf<IPersistFile>(), &copyFile));
  EXPECT_HR(S_FALSE, copyFile->IsDirty());
}
