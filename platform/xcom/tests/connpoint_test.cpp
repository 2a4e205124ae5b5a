// Events: sinks in connection order, disconnecting and re-entering during an event.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "test_support.h"

namespace {

std::vector<std::string> g_log;

// A host's sink for the sample's events, with an optional action inside the event.
class Sink : public xcom::DispatchImpl<Sink, IDispatch> {
 public:
  explicit Sink(std::string name) : name_(std::move(name)) {}
  static const xcom::DispatchTable<Sink>& GetDispatchTable() {
    using M = xcom::Member<Sink>;
    static const xcom::DispatchTable<Sink> table{M::Method<&Sink::Click>("Click", 1)};
    return table;
  }
  void* GetInterface(REFIID iid) {
    if (iid == DIID_SampleEvents) return static_cast<IDispatch*>(this);
    return xcom::FindInterface<IDispatch>(this, iid);
  }
  HRESULT Click(SHORT pane) {
    g_log.push_back(name_ + ":" + std::to_string(pane));
    if (during) {
      auto action = std::move(during);  // once
      action();
    }
    return E_FAIL;  // what a sink answers is ignored
  }

  std::function<void()> during;

 private:
  std::string name_;
};

xcom::ComPtr<Sink> MakeSink(const char* name) {
  xcom::ComPtr<Sink> s;
  EXPECT_EQ(xcom::MakeComponent(SampleModule(), &s, name), S_OK);
  return s;
}

struct Connected {
  xcom::ComPtr<ISample> source = MakeSample();
  xcom::ComPtr<IConnectionPoint> point;
  Connected() {
    xcom::ComPtr<IConnectionPointContainer> container;
    EXPECT_EQ(source.As(&container), S_OK);
    EXPECT_EQ(container->FindConnectionPoint(DIID_SampleEvents, point.ReleaseAndGetAddressOf()), S_OK);
  }
  DWORD Advise(const xcom::ComPtr<Sink>& sink) {
    DWORD cookie = 0;
    EXPECT_EQ(point->Advise(static_cast<IDispatch*>(sink.Get()), &cookie), S_OK);
    EXPECT_NE(cookie, 0u);
    return cookie;
  }
};

TEST(XcomEvents, ReachEverySinkInConnectionOrder) {
  g_log.clear();
  Connected c;
  c.source->Raise(0);  // no sink: nothing happens
  EXPECT_TRUE(g_log.empty());

  auto a = MakeSink("a");
  auto b = MakeSink("b");
  DWORD ca = c.Advise(a);
  DWORD cb = c.Advise(b);
  EXPECT_NE(ca, cb);
  c.source->Raise(1);
  EXPECT_EQ(g_log, (std::vector<std::string>{"a:1", "b:1"}));

  EXPECT_EQ(c.point->Unadvise(ca), S_OK);
  EXPECT_EQ(c.point->Unadvise(ca), CONNECT_E_NOCONNECTION);
  c.source->Raise(2);
  EXPECT_EQ(g_log.back(), "b:2");
  EXPECT_EQ(g_log.size(), 3u);
}

TEST(XcomEvents, ASinkDisconnectingDuringTheEvent) {
  g_log.clear();
  Connected c;
  auto a = MakeSink("a");
  auto b = MakeSink("b");
  DWORD ca = c.Advise(a);
  c.Advise(b);
  a->during = [&] { EXPECT_EQ(c.point->Unadvise(ca), S_OK); };
  c.source->Raise(1);
  c.source->Raise(2);
  EXPECT_EQ(g_log, (std::vector<std::string>{"a:1", "b:1", "b:2"}));
}

TEST(XcomEvents, ReentryAndSinksReleasedDuringTheEvent) {
  g_log.clear();
  Connected c;
  auto a = MakeSink("a");
  DWORD ca = c.Advise(a);
  auto late = MakeSink("late");
  // a fires again inside its handler and connects a new sink, which hears only later events;
  a->during = [&] {
    c.source->Raise(9);
    c.Advise(late);
  };
  c.source->Raise(1);
  EXPECT_EQ(g_log, (std::vector<std::string>{"a:1", "a:9"}));

  // The last reference to a sink goes while it is being called: it disconnects itself after
  // the test has let go of it.
  g_log.clear();
  a->during = [&] { EXPECT_EQ(c.point->Unadvise(ca), S_OK); };
  a.Reset();
  c.source->Raise(3);
  c.source->Raise(4);
  EXPECT_EQ(g_log, (std::vector<std::string>{"a:3", "late:3", "late:4"}));
}

TEST(XcomEvents, AdviseChecksTheSink) {
  Connected c;
  DWORD cookie = 7;
  EXPECT_EQ(c.point->Advise(nullptr, &cookie), E_POINTER);
  EXPECT_EQ(cookie, 0u);
  // The sample itself is no sink of its own events.
  EXPECT_EQ(c.point->Advise(c.source.Get(), &cookie), CONNECT_E_CANNOTCONNECT);

  IID iid{};
  EXPECT_EQ(c.point->GetConnectionInterface(&iid), S_OK);
  EXPECT_EQ(iid, DIID_SampleEvents);
  xcom::ComPtr<IConnectionPointContainer> back;
  EXPECT_EQ(c.point->GetConnectionPointContainer(back.ReleaseAndGetAddressOf()), S_OK);
  xcom::ComPtr<IConnectionPoint> none;
  EXPECT_EQ(back->FindConnectionPoint(IID_IDispatch, none.ReleaseAndGetAddressOf()), CONNECT_E_NOCONNECTION);

  auto a = MakeSink("a");
  auto b = MakeSink("b");
  DWORD ca = c.Advise(a), cb = c.Advise(b);
  xcom::ComPtr<IEnumConnections> e;
  ASSERT_EQ(c.point->EnumConnections(e.ReleaseAndGetAddressOf()), S_OK);
  CONNECTDATA data[3];
  ULONG fetched = 0;
  EXPECT_EQ(e->Next(3, data, &fetched), S_FALSE);
  ASSERT_EQ(fetched, 2u);
  EXPECT_EQ(data[0].dwCookie, ca);
  EXPECT_EQ(data[1].dwCookie, cb);
  for (ULONG i = 0; i < fetched; ++i) data[i].pUnk->Release();
}

TEST(XcomEvents, ObjectsGoWithTheirLastReference) {
  LONG before = SampleModule().LockCount();
  {
    Connected c;
    auto a = MakeSink("a");
    c.Advise(a);
    static_cast<Sample*>(c.source.Get())->events().DisconnectAll();
  }
  EXPECT_EQ(SampleModule().LockCount(), before);
}

}  // namespace
