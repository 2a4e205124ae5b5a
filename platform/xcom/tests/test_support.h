// Helpers of the runtime's tests: a registry of the test's own (XCOM_REGISTRY names a file in a
// fresh temporary folder while the fixture lives), and a dual-interface object for the dispatch
// and event tests, made inside the test itself.
#pragma once

#include <filesystem>
#include <string>

#include "testing_files/test_support.h"
#include "xcom/connpoint.h"
#include "xcom/dispatch.h"
#include "xcom/object.h"

class TempRegistry {
 public:
  TempRegistry();
  ~TempRegistry();
  TempRegistry(const TempRegistry&) = delete;
  TempRegistry& operator=(const TempRegistry&) = delete;

  const std::filesystem::path& dir() const { return dir_.path(); }
  const std::filesystem::path& file() const { return file_; }
  // The file's text ("" when there is no file).
  std::string Text() const;
  // Replaces the file's text, as another process would.
  void Write(const std::string& text) const;

 private:
  testing_files::ScratchFolder dir_{"xcom-test"};
  std::filesystem::path file_;
  std::string saved_;
  bool hadSaved_ = false;
};

// {0B7E4F10-2C3D-4E5F-8091-A2B3C4D5E6F1}
inline constexpr IID IID_ISample = {0x0B7E4F10, 0x2C3D, 0x4E5F, {0x80, 0x91, 0xA2, 0xB3, 0xC4, 0xD5, 0xE6, 0xF1}};
// {0B7E4F10-2C3D-4E5F-8091-A2B3C4D5E6F2}: the events
inline constexpr IID DIID_SampleEvents = {0x0B7E4F10, 0x2C3D, 0x4E5F, {0x80, 0x91, 0xA2, 0xB3, 0xC4, 0xD5, 0xE6, 0xF2}};

struct ISample : IDispatch {
  static constexpr const IID& kIID = IID_ISample;
  virtual HRESULT get_Name(BSTR* pVal) = 0;                              // 1
  virtual HRESULT put_Name(BSTR newVal) = 0;                             // 1
  virtual HRESULT get_Count(LONG* pVal) = 0;                             // 2, read-only
  virtual HRESULT Add(SHORT a, LONG b, LONG* sum) = 0;                   // 3, sum is the return value
  virtual HRESULT Split(BSTR text, BSTR* head, BSTR* tail) = 0;          // 4, two outs
  virtual HRESULT Stamp(DATE when, VARIANT_BOOL upper, BSTR* text) = 0;  // 5
  virtual HRESULT Fail(LONG status) = 0;                                 // 6, answers status
  virtual HRESULT get_Item(LONG index, VARIANT* pVal) = 0;               // 0, indexed
  virtual HRESULT Take(ISample* other, LONG* count) = 0;                 // 7
  virtual HRESULT get_Self(ISample** pVal) = 0;                          // 8
  virtual HRESULT Raise(SHORT pane) = 0;                                 // 9, fires Click(pane)

 protected:
  ~ISample() = default;
};

class Sample : public xcom::DispatchImpl<Sample, ISample>, public IConnectionPointContainer {
 public:
  static const xcom::DispatchTable<Sample>& GetDispatchTable();
  void* GetInterface(REFIID iid) {
    return xcom::FindInterface<ISample, IDispatch, IConnectionPointContainer>(this, iid);
  }

  HRESULT get_Name(BSTR* pVal) override;
  HRESULT put_Name(BSTR newVal) override;
  HRESULT get_Count(LONG* pVal) override;
  HRESULT Add(SHORT a, LONG b, LONG* sum) override;
  HRESULT Split(BSTR text, BSTR* head, BSTR* tail) override;
  HRESULT Stamp(DATE when, VARIANT_BOOL upper, BSTR* text) override;
  HRESULT Fail(LONG status) override;
  HRESULT get_Item(LONG index, VARIANT* pVal) override;
  HRESULT Take(ISample* other, LONG* count) override;
  HRESULT get_Self(ISample** pVal) override;
  HRESULT Raise(SHORT pane) override;

  HRESULT EnumConnectionPoints(IEnumConnectionPoints** ppEnum) override;
  HRESULT FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) override;

  xcom::ConnectionPoint& events() { return events_; }

 private:
  std::u16string name_ = u"sample";
  LONG calls_ = 0;
  xcom::ConnectionPoint events_{*static_cast<ISample*>(this), *this, DIID_SampleEvents};
};

// The test's own module: objects made in the test count here.
xcom::ServerModule& SampleModule();
xcom::ComPtr<ISample> MakeSample();
