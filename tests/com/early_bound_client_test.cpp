// SPDX-License-Identifier: MIT
// A compiled client of the in-process component, as Windows programs bind to it: through the widl
// header's vtables, created registration-free (this program's manifest names the component's
// assembly). It checks the type library member by member against the interface tables, calls
// through the vtable and by name, and exchanges with a simulated instrument byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <string>
#include <vector>

#include "kivocom/simulator.h"

// After the library's headers: the component's header undefines windows.h's BAUD_ and PARITY_
// macros, whose names its enumerations share.
#include <ole2.h>
// After ole2.h: the component's identifiers are defined here, the system's only declared.
#include <initguid.h>
#include "kivocomportii.h"

namespace {

using namespace std::chrono_literals;

// A BSTR owned for one call.
class Text {
 public:
  explicit Text(const wchar_t* text) : text_(SysAllocString(text)) {}
  ~Text() { SysFreeString(text_); }
  Text(const Text&) = delete;
  Text& operator=(const Text&) = delete;
  operator BSTR() const { return text_; }

 private:
  BSTR text_;
};

std::wstring Take(BSTR text) {
  std::wstring result(text == nullptr ? L"" : std::wstring(text, SysStringLen(text)));
  SysFreeString(text);
  return result;
}

std::string Narrow(const std::wstring& wide) { return std::string(wide.begin(), wide.end()); }

template <class Interface>
class Ref {
 public:
  Ref() = default;
  ~Ref() { Reset(); }
  Ref(const Ref&) = delete;
  Ref& operator=(const Ref&) = delete;
  Interface** Out() {
    Reset();
    return &p_;
  }
  void Reset() {
    if (p_ != nullptr) p_->Release();
    p_ = nullptr;
  }
  Interface* operator->() const { return p_; }
  Interface* get() const { return p_; }

 private:
  Interface* p_ = nullptr;
};

class ComClientTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_HRESULT_SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)); }
  void TearDown() override { CoUninitialize(); }

  static HRESULT NewPort(Ref<_CCOMPort>& port) {
    return CoCreateInstance(CLSID_CCOMPort, nullptr, CLSCTX_INPROC_SERVER, IID__CCOMPort,
                            reinterpret_cast<void**>(port.Out()));
  }
  static HRESULT NewSwitch(Ref<_CSmartSwitch>& sw) {
    return CoCreateInstance(CLSID_CSmartSwitch, nullptr, CLSCTX_INPROC_SERVER, IID__CSmartSwitch,
                            reinterpret_cast<void**>(sw.Out()));
  }
};

// ---- The type library, member by member ----

std::string Hex(long value) {
  char text[16];
  snprintf(text, sizeof text, "%08lX", static_cast<unsigned long>(value));
  return text;
}

// A default as the row shows it: a text quoted ("null" for a null text, which a client would pass
// as no text at all), a number as it is.
std::string DefaultText(const VARIANT& value) {
  if (V_VT(&value) == VT_BSTR && V_BSTR(&value) == nullptr) return "null";
  if (V_VT(&value) == VT_BSTR) return "\"" + Narrow(std::wstring(V_BSTR(&value), SysStringLen(V_BSTR(&value)))) + "\"";
  VARIANT number;
  VariantInit(&number);
  if (FAILED(VariantChangeType(&number, const_cast<VARIANT*>(&value), 0, VT_I4))) return "?";
  return std::to_string(V_I4(&number));
}

// "Name kind id (param flags[,default]; ...)" for every member, in slot order, without the result
// parameter; the names of a property put's value are left out as the type library does.
std::vector<std::string> MemberTable(ITypeInfo* info) {
  TYPEATTR* attributes = nullptr;
  EXPECT_HRESULT_SUCCEEDED(info->GetTypeAttr(&attributes));
  std::vector<std::string> lines;
  for (UINT i = 0; i < attributes->cFuncs; ++i) {
    FUNCDESC* f = nullptr;
    if (FAILED(info->GetFuncDesc(i, &f))) continue;
    BSTR names[16] = {};
    UINT count = 0;
    info->GetNames(f->memid, names, 16, &count);
    const char* kind = f->invkind == INVOKE_PROPERTYPUT      ? "put"
                       : f->invkind == INVOKE_PROPERTYPUTREF ? "putref"
                       : f->invkind == INVOKE_PROPERTYGET    ? "get"
                                                             : "func";
    std::string line = Narrow(names[0]) + " " + kind + " " + Hex(f->memid) + " (";
    bool first = true;
    for (SHORT p = 0; p < f->cParams; ++p) {
      const PARAMDESC& d = f->lprgelemdescParam[p].paramdesc;
      if (d.wParamFlags & PARAMFLAG_FRETVAL) continue;
      line += first ? "" : "; ";
      first = false;
      if (static_cast<UINT>(p) + 1 < count) line += Narrow(names[p + 1]) + " ";
      if (d.wParamFlags & PARAMFLAG_FIN) line += "in";
      if (d.wParamFlags & PARAMFLAG_FOUT) line += ",out";
      if (d.wParamFlags & PARAMFLAG_FOPT) line += ",opt";
      if (d.wParamFlags & PARAMFLAG_FHASDEFAULT) line += "," + DefaultText(d.pparamdescex->varDefaultValue);
    }
    line += ")";
    EXPECT_EQ(f->oVft, static_cast<SHORT>((7 + i) * sizeof(void*))) << line << ": slot after the dispatch slots";
    lines.push_back(line);
    for (UINT n = 0; n < count; ++n) SysFreeString(names[n]);
    info->ReleaseFuncDesc(f);
  }
  info->ReleaseTypeAttr(attributes);
  return lines;
}

void ExpectTable(ITypeInfo* info, const std::vector<std::string>& expected) {
  const std::vector<std::string> actual = MemberTable(info);
  ASSERT_EQ(actual.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(actual[i], expected[i]) << "member " << i;
}

TEST_F(ComClientTest, PortInterfaceHasTheMembersInOrderWithIdsNamesAndDefaults) {
  Ref<_CCOMPort> port;
  ASSERT_HRESULT_SUCCEEDED(NewPort(port));
  Ref<ITypeInfo> info;
  ASSERT_HRESULT_SUCCEEDED(port->GetTypeInfo(0, 0, info.Out()));
  const std::string optText = "in,opt,\"\"";
  ExpectTable(info.get(), {
      "CheckNonAscii put 68030011 (in)", "CheckNonAscii get 68030011 ()", "ClosePort func 60030013 ()",
      "OpenPort func 60030014 (ssport " + optText + ")", "COMControl get 6803000F ()",
      "AutoClose put 6803000E (in)", "AutoClose get 6803000E ()",
      "Debugging put 6803000D (in)", "Debugging get 6803000D ()",
      "UsesSmartSwitch put 6803000C (in)", "UsesSmartSwitch get 6803000C ()",
      "UseIrDADongle put 6803000B (in)", "UseIrDADongle get 6803000B ()",
      "port put 6803000A (in)", "port get 6803000A ()",
      "ControllerStyle put 68030009 (in)", "ControllerStyle get 68030009 ()",
      "Parity get 68030008 ()", "StopBits get 68030007 ()", "DataBits get 68030006 ()",
      "BaudRate put 68030005 (in)", "BaudRate get 68030005 ()",
      "MinBaudRate put 68030004 (in)", "MinBaudRate get 68030004 ()",
      "MaxBaudRate put 68030003 (in)", "MaxBaudRate get 68030003 ()",
      "Retries put 68030002 (in)", "Retries get 68030002 ()",
      "TimeOut put 68030001 (in)", "TimeOut get 68030001 ()",
      "StripCRLF put 68030000 (in)", "StripCRLF get 68030000 ()",
      "BaudRateName func 60030015 (vData in,opt,-2)",
      "WritePort func 60030016 (errorcode in,out; cmd " + optText + "; ssport " + optText + "; Address " + optText +
          "; SetStr " + optText + ")",
      "ReadPort func 60030017 (errorcode in,out; cmd " + optText + "; ssport " + optText + "; Address " + optText +
          ")",
      "Download func 60030018 (BinaryMode in; errorcode in,out; cmd " + optText + "; ssport " + optText +
          "; Address " + optText + "; readings in,opt,1)",
      "ClearBuffers func 60030019 ()", "TestSmartSwitch func 6003001A ()",
      "FillCOMPortsCombo func 6003001B (ctrl in,out; CurrentPort in,opt,0)",
      "FillBaudRatesCombo func 6003001C (ctrl in,out)",
      "WriteToFile func 6003001D (INIFile in,out; fname " + optText + "; secname in,opt,\"COMPort\")",
      "ReadFromFile func 6003001E (INIFile in,out; fname " + optText + "; secname in,opt,\"COMPort\")",
      "IsConfigured func 6003001F ()", "UpdateDebugFile func 60030020 (Text in,out,opt,\"\")",
  });
}

TEST_F(ComClientTest, SwitchInterfaceHasTheMembersInOrderWithIdsNamesAndDefaults) {
  Ref<_CSmartSwitch> sw;
  ASSERT_HRESULT_SUCCEEDED(NewSwitch(sw));
  Ref<ITypeInfo> info;
  ASSERT_HRESULT_SUCCEEDED(sw->GetTypeInfo(0, 0, info.Out()));
  ExpectTable(info.get(), {
      "CurrentPort func 60030004 ()", "Style put 68030002 (in)", "Style get 68030002 ()",
      "NumPorts get 68030001 ()", "Parent putref 68030000 (in,out)",
      "WriteToFile func 60030008 (INIFile in,out; fname in,opt,\"\"; secname in,opt,\"SmartSwitch\")",
      "ReadFromFile func 60030009 (INIFile in,out; fname in,opt,\"\"; secname in,opt,\"SmartSwitch\")",
  });
}

TEST_F(ComClientTest, TypeLibraryHoldsTheEightEnumerationsWithTheirValues) {
  Ref<_CCOMPort> port;
  ASSERT_HRESULT_SUCCEEDED(NewPort(port));
  Ref<ITypeInfo> info;
  ASSERT_HRESULT_SUCCEEDED(port->GetTypeInfo(0, 0, info.Out()));
  Ref<ITypeLib> library;
  UINT index = 0;
  ASSERT_HRESULT_SUCCEEDED(info->GetContainingTypeLib(library.Out(), &index));
  std::vector<std::string> enumerations;
  for (UINT t = 0; t < library->GetTypeInfoCount(); ++t) {
    Ref<ITypeInfo> type;
    TYPEATTR* a = nullptr;
    if (FAILED(library->GetTypeInfo(t, type.Out())) || FAILED(type->GetTypeAttr(&a))) continue;
    if (a->typekind == TKIND_ENUM) {
      BSTR name = nullptr;
      type->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
      std::string line = Narrow(Take(name)) + ":";
      for (UINT v = 0; v < a->cVars; ++v) {
        VARDESC* d = nullptr;
        type->GetVarDesc(v, &d);
        BSTR member = nullptr;
        UINT n = 0;
        type->GetNames(d->memid, &member, 1, &n);
        line += " " + Narrow(Take(member)) + "=" + DefaultText(*d->lpvarValue);
        type->ReleaseVarDesc(d);
      }
      enumerations.push_back(line);
    }
    type->ReleaseTypeAttr(a);
  }
  std::vector<std::string> expected = {
      "ECOMPort: COM_NONE=-1 COM_1=1 COM_2=2 COM_3=3 COM_4=4 COM_5=5 COM_6=6 COM_7=7 COM_8=8 COM_9=9",
      "EBaudRate: BAUD_NONE=-1 BAUD_150=0 BAUD_300=1 BAUD_600=2 BAUD_1200=3 BAUD_2400=4 BAUD_4800=5 BAUD_9600=6 "
      "BAUD_19200=7 BAUD_38400=8 BAUD_57600=9 BAUD_115200=10 BAUD_230400=11 BAUD_460800=12 BAUD_921600=13",
      "EDataBits: DATA_4BITS=0 DATA_5BITS=1 DATA_6BITS=2 DATA_7BITS=3 DATA_8BITS=4",
      "EStopBits: STOP_1BIT=0 STOP_1_5BITS=1 STOP_2BITS=2",
      "EParity: PARITY_NONE=0 PARITY_EVEN=1 PARITY_ODD=2 PARITY_MARK=3 PARITY_SPACE=4",
      "EControllerStyle: CS_KIVO=0 CS_OMEGA=1 CS_AZONIX=2 CS_XSYS=3",
      "ECOMError: CE_NONE=0 CE_TIMEOUT=1 CE_INVALID_DATA=2 CE_ABORTED=3",
      "ESmartSwitchStyle: SSS_BB4PORT=0 SSS_BB8PORT=1 SSS_BT528AP=2",
  };
  std::sort(enumerations.begin(), enumerations.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(enumerations, expected);
}

// ---- Calls through the vtable ----

TEST_F(ComClientTest, VtableCallsReadDefaultsAndTrueAsMinusOne) {
  Ref<_CCOMPort> port;
  ASSERT_HRESULT_SUCCEEDED(NewPort(port));
  VARIANT_BOOL flag = 0;
  ASSERT_HRESULT_SUCCEEDED(port->get_AutoClose(&flag));
  EXPECT_EQ(flag, -1);
  ::ECOMPort number{};
  ASSERT_HRESULT_SUCCEEDED(port->get_port(&number));
  EXPECT_EQ(number, ::COM_NONE);
  LONG timeOut = 0;
  ASSERT_HRESULT_SUCCEEDED(port->get_TimeOut(&timeOut));
  EXPECT_EQ(timeOut, 3000);
  ASSERT_HRESULT_SUCCEEDED(port->put_ControllerStyle(::CS_AZONIX));
  ::EStopBits stop{};
  ASSERT_HRESULT_SUCCEEDED(port->get_StopBits(&stop));
  EXPECT_EQ(stop, ::STOP_2BITS);
  BSTR name = nullptr;
  ASSERT_HRESULT_SUCCEEDED(port->BaudRateName(static_cast<::EBaudRate>(13), &name));
  EXPECT_EQ(Take(name), L"921600");
}

TEST_F(ComClientTest, RefusedBaudRateGivesItsHresultAndErrorRecord) {
  Ref<_CCOMPort> port;
  ASSERT_HRESULT_SUCCEEDED(NewPort(port));
  EXPECT_EQ(port->put_BaudRate(::BAUD_9600), static_cast<HRESULT>(0x80040036));
  Ref<ISupportErrorInfo> support;
  ASSERT_HRESULT_SUCCEEDED(port->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void**>(support.Out())));
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID__CCOMPort), S_OK);
  Ref<IErrorInfo> error;
  ASSERT_EQ(GetErrorInfo(0, error.Out()), S_OK);
  BSTR source = nullptr, description = nullptr;
  error->GetSource(&source);
  error->GetDescription(&description);
  EXPECT_EQ(Take(source), L"CCOMPort - Let BaudRate");
  EXPECT_EQ(Take(description), L"Baud rate not supported.");

  // The next call clears the record.
  ASSERT_HRESULT_SUCCEEDED(port->put_MaxBaudRate(::BAUD_115200));
  Ref<IErrorInfo> none;
  EXPECT_EQ(GetErrorInfo(0, none.Out()), S_FALSE);
}

// ---- Calls by name, as script clients make them ----

class Arguments {
 public:
  ~Arguments() {
    for (VARIANT& v : values_) VariantClear(&v);
  }
  // Adds the next argument in written order.
  VARIANT& Add() {
    values_.emplace_back();
    VariantInit(&values_.back());
    return values_.back();
  }
  DISPPARAMS Params() {
    reversed_.assign(values_.rbegin(), values_.rend());
    return DISPPARAMS{reversed_.data(), nullptr, static_cast<UINT>(reversed_.size()), 0};
  }

 private:
  std::deque<VARIANT> values_;  // stable, so a test may keep a reference to an argument it added
  std::vector<VARIANT> reversed_;
};

DISPID IdOf(IDispatch* object, const wchar_t* name) {
  DISPID id = 0;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  EXPECT_HRESULT_SUCCEEDED(object->GetIDsOfNames(IID_NULL, names, 1, 0, &id));
  return id;
}

TEST_F(ComClientTest, NamesMapToTheirDispatchIds) {
  Ref<_CCOMPort> port;
  ASSERT_HRESULT_SUCCEEDED(NewPort(port));
  EXPECT_EQ(IdOf(port.get(), L"ReadPort"), 0x60030017);
  EXPECT_EQ(IdOf(port.get(), L"readport"), 0x60030017);
  EXPECT_EQ(IdOf(port.get(), L"UpdateDebugFile"), 0x60030020);
  EXPECT_EQ(IdOf(port.get(), L"port"), 0x6803000A);
}

TEST_F(ComClientTest, ByReferenceVariantErrorcodeIsUnwrappedAndWrittenBack) {
  Ref<_CCOMPort> port;
  ASSERT_HRESULT_SUCCEEDED(NewPort(port));
  // A script's variable: a by-reference VARIANT holding a 16-bit integer.
  VARIANT variable;
  VariantInit(&variable);
  V_VT(&variable) = VT_I2;
  V_I2(&variable) = 7;
  Arguments args;
  VARIANT& errorcode = args.Add();
  V_VT(&errorcode) = VT_BYREF | VT_VARIANT;
  V_VARIANTREF(&errorcode) = &variable;
  VARIANT& cmd = args.Add();
  V_VT(&cmd) = VT_BSTR;
  V_BSTR(&cmd) = SysAllocString(L"PV");
  DISPPARAMS params = args.Params();
  VARIANT result;
  VariantInit(&result);
  ASSERT_HRESULT_SUCCEEDED(
      port->Invoke(0x60030017, IID_NULL, 0, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &params, &result, nullptr, nullptr));
  EXPECT_EQ(V_VT(&variable), VT_I4);
  EXPECT_EQ(V_I4(&variable), ::CE_ABORTED) << "no port chosen";
  EXPECT_EQ(V_VT(&result), VT_BSTR);
  VariantClear(&result);
  V_VT(&errorcode) = VT_EMPTY;  // the variable is this test's, not the argument list's
}

TEST_F(ComClientTest, OmittedOptionalArgumentsTakeTheirDefaults) {
  Ref<_CCOMPort> port;
  ASSERT_HRESULT_SUCCEEDED(NewPort(port));
  ASSERT_HRESULT_SUCCEEDED(port->put_MaxBaudRate(::BAUD_115200));
  ASSERT_HRESULT_SUCCEEDED(port->put_BaudRate(::BAUD_19200));
  Arguments none;
  DISPPARAMS params = none.Params();
  VARIANT result;
  VariantInit(&result);
  ASSERT_HRESULT_SUCCEEDED(port->Invoke(0x60030015, IID_NULL, 0, DISPATCH_METHOD, &params, &result, nullptr, nullptr));
  EXPECT_EQ(std::wstring(V_BSTR(&result)), L"19200") << "vData defaults to -2, the current rate";
  VariantClear(&result);
  // The by-reference Text takes its default "", left out or marked omitted.
  EXPECT_HRESULT_SUCCEEDED(port->Invoke(0x60030020, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr));
  Arguments marked;
  VARIANT& omitted = marked.Add();
  V_VT(&omitted) = VT_ERROR;
  V_ERROR(&omitted) = DISP_E_PARAMNOTFOUND;
  DISPPARAMS markedParams = marked.Params();
  EXPECT_HRESULT_SUCCEEDED(
      port->Invoke(0x60030020, IID_NULL, 0, DISPATCH_METHOD, &markedParams, nullptr, nullptr, nullptr));
}

TEST_F(ComClientTest, ErrorsByNameArriveAsExceptionsWithTheRecord) {
  Ref<_CCOMPort> port;
  ASSERT_HRESULT_SUCCEEDED(NewPort(port));
  Arguments args;
  VARIANT& value = args.Add();
  V_VT(&value) = VT_I4;
  V_I4(&value) = 6;
  DISPPARAMS params = args.Params();
  DISPID put = DISPID_PROPERTYPUT;
  params.rgdispidNamedArgs = &put;
  params.cNamedArgs = 1;
  EXCEPINFO exception{};
  EXPECT_EQ(port->Invoke(0x68030005, IID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr, &exception, nullptr),
            DISP_E_EXCEPTION);
  EXPECT_EQ(exception.scode, static_cast<SCODE>(0x80040036));
  EXPECT_EQ(Take(exception.bstrSource), L"CCOMPort - Let BaudRate");
  EXPECT_EQ(Take(exception.bstrDescription), L"Baud rate not supported.");
  SysFreeString(exception.bstrHelpFile);

  // A control's own number (below 65536) travels as 0x800A0000 plus the number.
  Ref<IDispatch> control;
  ASSERT_HRESULT_SUCCEEDED(port->get_COMControl(control.Out()));
  Arguments zero;
  VARIANT& commPort = zero.Add();
  V_VT(&commPort) = VT_I4;
  V_I4(&commPort) = 0;
  DISPPARAMS controlParams = zero.Params();
  controlParams.rgdispidNamedArgs = &put;
  controlParams.cNamedArgs = 1;
  EXCEPINFO controlException{};
  EXPECT_EQ(control->Invoke(IdOf(control.get(), L"CommPort"), IID_NULL, 0, DISPATCH_PROPERTYPUT, &controlParams,
                            nullptr, &controlException, nullptr),
            DISP_E_EXCEPTION);
  EXPECT_EQ(controlException.scode, static_cast<SCODE>(0x800A0000 + 8002));
  SysFreeString(controlException.bstrSource);
  SysFreeString(controlException.bstrDescription);
  SysFreeString(controlException.bstrHelpFile);
}

// ---- Exchanges and lifetime on a simulated instrument ----

class ComExchangeTest : public ComClientTest {
 protected:
  void SetUp() override {
    ComClientTest::SetUp();
    const std::string path = sim.DevicePath();
    number = std::stoi(path.substr(path.find("COM") + 3));
    sim.SetBaudRate(9600);
    ASSERT_HRESULT_SUCCEEDED(NewPort(port));
    ASSERT_HRESULT_SUCCEEDED(port->put_MaxBaudRate(::BAUD_921600));
    ASSERT_HRESULT_SUCCEEDED(port->put_BaudRate(::BAUD_9600));
    ASSERT_HRESULT_SUCCEEDED(port->put_port(static_cast<::ECOMPort>(number)));
    ASSERT_HRESULT_SUCCEEDED(port->put_TimeOut(1000));
  }
  void TearDown() override {
    port.Reset();
    ComClientTest::TearDown();
  }

  kivocom::InstrumentSimulator sim;
  int number = 0;
  Ref<_CCOMPort> port;
};

TEST_F(ComExchangeTest, OmegaPollAndSetFramesGoOutByteForByte) {
  kivocom::SimulatedInstrument omega;
  omega.style = kivocom::CS_OMEGA;
  omega.address = "01";
  omega.replies["PV"] = "+0100.5";
  omega.setAcknowledgement.reset();
  sim.AddInstrument(omega);
  ASSERT_HRESULT_SUCCEEDED(port->put_ControllerStyle(::CS_OMEGA));

  ::ECOMError code = ::CE_TIMEOUT;
  Text pv(L"PV"), empty(L""), address(L"01");
  BSTR reply = nullptr;
  ASSERT_HRESULT_SUCCEEDED(port->ReadPort(&code, pv, empty, address, &reply));
  EXPECT_EQ(Take(reply), L"+0100.5");
  EXPECT_EQ(code, ::CE_NONE);
  EXPECT_EQ(sim.Received(), "\r\x04" "0011PV\x05\r");

  sim.ClearReceived();
  Text sl(L"SL"), value(L"100.0");
  ASSERT_HRESULT_SUCCEEDED(port->WritePort(&code, sl, empty, address, value));
  ASSERT_TRUE(sim.WaitForReceived(16, 2s));
  EXPECT_EQ(sim.Received(), "\r\x04" "0011\x02SL100.0\x03\x33\r");
}

TEST_F(ComExchangeTest, DownloadReturnsTheStoredReadings) {
  kivocom::SimulatedInstrument kivo;
  kivo.download = {"DL", 12, false, 4, 50ms};
  sim.AddInstrument(kivo);
  ASSERT_HRESULT_SUCCEEDED(port->put_TimeOut(300));
  ::ECOMError code = ::CE_TIMEOUT;
  Text dl(L"DL"), empty(L"");
  BSTR data = nullptr;
  ASSERT_HRESULT_SUCCEEDED(port->Download(VARIANT_FALSE, &code, dl, empty, empty, 12, &data));
  EXPECT_EQ(code, ::CE_NONE);
  const std::wstring text = Take(data);
  EXPECT_EQ(Narrow(text), kivocom::StoredReadingsStream(kivo.download));
}

TEST_F(ComExchangeTest, ReleasingThePortClosesTheLineAndLetsTheDllUnload) {
  sim.AddInstrument(kivocom::SimulatedInstrument{});
  ASSERT_HRESULT_SUCCEEDED(port->put_AutoClose(VARIANT_FALSE));
  VARIANT_BOOL opened = 0;
  ASSERT_HRESULT_SUCCEEDED(port->OpenPort(Text(L""), &opened));
  ASSERT_EQ(opened, VARIANT_TRUE);

  Ref<IDispatch> control;
  ASSERT_HRESULT_SUCCEEDED(port->get_COMControl(control.Out()));
  auto portOpen = [&] {
    Arguments none;
    DISPPARAMS params = none.Params();
    VARIANT result;
    VariantInit(&result);
    EXPECT_HRESULT_SUCCEEDED(control->Invoke(IdOf(control.get(), L"PortOpen"), IID_NULL, 0, DISPATCH_PROPERTYGET,
                                             &params, &result, nullptr, nullptr));
    return V_BOOL(&result);
  };
  EXPECT_EQ(portOpen(), VARIANT_TRUE);

  const auto canUnload = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"KivoCOMPortII.dll"), "DllCanUnloadNow")));
  ASSERT_NE(canUnload, nullptr);
  EXPECT_EQ(canUnload(), S_FALSE) << "objects are alive";

  port.Reset();
  EXPECT_EQ(portOpen(), VARIANT_FALSE) << "the port closed the line when released";
  control.Reset();
  EXPECT_EQ(canUnload(), S_OK) << "no object or lock is alive";
}

TEST_F(ComExchangeTest, SwitchParentDoesNotKeepThePortAlive) {
  Ref<_CSmartSwitch> sw;
  ASSERT_HRESULT_SUCCEEDED(NewSwitch(sw));
  _CCOMPort* parent = port.get();
  ASSERT_HRESULT_SUCCEEDED(sw->putref_Parent(&parent));
  port.Reset();
  short ports = 0;
  EXPECT_HRESULT_SUCCEEDED(sw->get_NumPorts(&ports));
  EXPECT_EQ(ports, 8);
}

}  // namespace
