// SPDX-License-Identifier: MIT
// The arguments of one call through a type description, adjusted for ITypeInfo::Invoke: in/out
// arguments that a client passed as by-reference VARIANTs (or by value) become typed references to
// temporaries, and are written back into the client's variables after a successful call; omitted
// optional by-reference arguments become references to their defaults.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <deque>
#include <vector>

namespace kivocom::server {

class ArgumentFrame {
 public:
  // Adjusts `params` for member `function` of `info`. Fails (Prepared() false) when an argument
  // cannot take its parameter's type; FailedArgument() then names it.
  ArgumentFrame(ITypeInfo* info, const FUNCDESC& function, const DISPPARAMS& params);
  ~ArgumentFrame();
  ArgumentFrame(const ArgumentFrame&) = delete;
  ArgumentFrame& operator=(const ArgumentFrame&) = delete;

  bool Prepared() const { return failedArgument_ < 0; }
  UINT FailedArgument() const { return static_cast<UINT>(failedArgument_); }
  // The arguments to hand to ITypeInfo::Invoke.
  DISPPARAMS* Params() { return &params_; }
  // Writes the results of in/out arguments back into the variables the client passed.
  void WriteBack();

 private:
  struct Unwrapped {
    VARIANT* original;  // the client's argument
    VARIANT* temporary;  // the typed value passed in its place
  };

  void Adjust(size_t slot, const ELEMDESC& parameter);
  void SupplyOmittedReferences(const FUNCDESC& function);
  // Makes `slot` a reference to the default of by-reference `parameter` of type `type`, or to an
  // empty value of that type when it has none.
  void ReferToDefault(VARIANT& slot, const ELEMDESC& parameter, VARTYPE type);
  VARIANT* Temporary(VARTYPE type);

  ITypeInfo* info_;
  std::vector<VARIANT> arguments_;  // shallow copies of the client's arguments, adjusted
  std::vector<DISPID> named_;
  std::deque<VARIANT> temporaries_;
  std::vector<Unwrapped> unwrapped_;
  DISPPARAMS params_{};
  long failedArgument_ = -1;
  const DISPPARAMS& original_;
};

}  // namespace kivocom::server
