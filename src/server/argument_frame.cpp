// SPDX-License-Identifier: MIT
#include "server/argument_frame.h"

#include "server/variant_values.h"

#include <utility>

namespace kivocom::server {
namespace {

// Every member of a VARIANT's value union starts at the same address.
void* ValueAddress(VARIANT* value) { return &V_I4(value); }

bool IsInterface(ITypeInfo* info, HREFTYPE reference) {
  ITypeInfo* referenced = nullptr;
  if (FAILED(info->GetRefTypeInfo(reference, &referenced))) return false;
  TYPEATTR* attributes = nullptr;
  bool isInterface = false;
  if (SUCCEEDED(referenced->GetTypeAttr(&attributes))) {
    isInterface = attributes->typekind == TKIND_INTERFACE || attributes->typekind == TKIND_DISPATCH;
    referenced->ReleaseTypeAttr(attributes);
  }
  referenced->Release();
  return isInterface;
}

// The VARIANT type that a value described by `desc` travels as; VT_EMPTY for types left to Invoke.
VARTYPE ValueType(ITypeInfo* info, const TYPEDESC& desc) {
  switch (desc.vt) {
    case VT_PTR:
      return desc.lptdesc->vt == VT_USERDEFINED && IsInterface(info, desc.lptdesc->hreftype) ? VT_DISPATCH
                                                                                              : VT_EMPTY;
    case VT_USERDEFINED: {
      ITypeInfo* referenced = nullptr;
      if (FAILED(info->GetRefTypeInfo(desc.hreftype, &referenced))) return VT_EMPTY;
      TYPEATTR* attributes = nullptr;
      VARTYPE type = VT_EMPTY;
      if (SUCCEEDED(referenced->GetTypeAttr(&attributes))) {
        if (attributes->typekind == TKIND_ENUM) type = VT_I4;
        if (attributes->typekind == TKIND_ALIAS) type = ValueType(referenced, attributes->tdescAlias);
        referenced->ReleaseTypeAttr(attributes);
      }
      referenced->Release();
      return type;
    }
    case VT_VARIANT:
      return VT_EMPTY;
    default:
      return desc.vt;
  }
}

// The type a by-reference parameter points at; VT_EMPTY when the parameter is not by reference or
// Invoke takes the client's argument as it is.
VARTYPE ReferencedType(ITypeInfo* info, const ELEMDESC& parameter) {
  if (parameter.tdesc.vt != VT_PTR) return VT_EMPTY;
  return ValueType(info, *parameter.tdesc.lptdesc);
}

bool IsOmittedMarker(const VARIANT& argument) {
  return V_VT(&argument) == VT_ERROR && V_ERROR(&argument) == DISP_E_PARAMNOTFOUND;
}

bool IsResult(const ELEMDESC& parameter) { return parameter.paramdesc.wParamFlags & PARAMFLAG_FRETVAL; }

}  // namespace

ArgumentFrame::ArgumentFrame(ITypeInfo* info, const FUNCDESC& function, const DISPPARAMS& params)
    : info_(info),
      arguments_(params.rgvarg, params.rgvarg + params.cArgs),
      named_(params.rgdispidNamedArgs, params.rgdispidNamedArgs + params.cNamedArgs),
      original_(params) {
  const size_t count = params.cArgs;
  for (size_t slot = 0; slot < count && Prepared(); ++slot) {
    long parameter = static_cast<long>(count - 1 - slot);
    if (slot < named_.size()) parameter = named_[slot] == DISPID_PROPERTYPUT ? function.cParams - 1 : named_[slot];
    if (parameter < 0 || parameter >= function.cParams) continue;
    const ELEMDESC& description = function.lprgelemdescParam[parameter];
    if (!IsResult(description)) Adjust(slot, description);
  }
  if (Prepared() && named_.empty()) SupplyOmittedReferences(function);
  params_.rgvarg = arguments_.data();
  params_.cArgs = static_cast<UINT>(arguments_.size());
  params_.rgdispidNamedArgs = named_.data();
  params_.cNamedArgs = static_cast<UINT>(named_.size());
}

ArgumentFrame::~ArgumentFrame() {
  for (VARIANT& temporary : temporaries_) VariantClear(&temporary);
}

void ArgumentFrame::Adjust(size_t slot, const ELEMDESC& parameter) {
  const VARTYPE type = ReferencedType(info_, parameter);
  VARIANT& argument = arguments_[slot];
  if (type == VT_EMPTY || V_VT(&argument) == (VT_BYREF | type)) return;
  if (IsOmittedMarker(argument) && (parameter.paramdesc.wParamFlags & PARAMFLAG_FOPT)) {
    ReferToDefault(argument, parameter, type);
    return;
  }
  VARIANT* temporary = Temporary(type);
  if (!ConvertInto(*temporary, argument, type)) {
    failedArgument_ = static_cast<long>(slot);
    return;
  }
  if (V_VT(&argument) & VT_BYREF) unwrapped_.push_back({&original_.rgvarg[slot], temporary});
  V_VT(&argument) = VT_BYREF | type;
  V_BYREF(&argument) = ValueAddress(temporary);
}

// Invoke passes an omitted optional parameter as a by-reference VARIANT when it has no default and
// as its default by value when it has one, whatever the parameter's type: neither fits a typed
// by-reference parameter. Such a parameter gets a reference to its default (or to an empty value of
// its type) instead, and the parameters before it the "omitted" marker so their defaults apply.
void ArgumentFrame::SupplyOmittedReferences(const FUNCDESC& function) {
  size_t total = 0;
  bool needed = false;
  for (long i = 0; i < function.cParams; ++i) {
    const ELEMDESC& parameter = function.lprgelemdescParam[i];
    if (IsResult(parameter)) continue;
    total = static_cast<size_t>(i) + 1;
    if (i >= static_cast<long>(arguments_.size()) && (parameter.paramdesc.wParamFlags & PARAMFLAG_FOPT) &&
        ReferencedType(info_, parameter) != VT_EMPTY)
      needed = true;
  }
  if (!needed) return;
  const size_t given = arguments_.size();
  std::vector<VARIANT> full(total);
  for (size_t i = 0; i < total; ++i) {
    VARIANT& slot = full[total - 1 - i];
    if (i < given) {
      slot = arguments_[given - 1 - i];
      continue;
    }
    const ELEMDESC& parameter = function.lprgelemdescParam[i];
    const VARTYPE type = ReferencedType(info_, parameter);
    if (type == VT_EMPTY) {
      V_VT(&slot) = VT_ERROR;
      V_ERROR(&slot) = DISP_E_PARAMNOTFOUND;
      continue;
    }
    ReferToDefault(slot, parameter, type);
  }
  arguments_ = std::move(full);
}

void ArgumentFrame::ReferToDefault(VARIANT& slot, const ELEMDESC& parameter, VARTYPE type) {
  VARIANT* temporary = Temporary(type);
  const PARAMDESC& description = parameter.paramdesc;
  Variant value;
  if ((description.wParamFlags & PARAMFLAG_FHASDEFAULT) && description.pparamdescex != nullptr &&
      ConvertInto(*value.get(), description.pparamdescex->varDefaultValue, type))
    std::swap(*temporary, *value.get());
  V_VT(&slot) = VT_BYREF | type;
  V_BYREF(&slot) = ValueAddress(temporary);
}

VARIANT* ArgumentFrame::Temporary(VARTYPE type) {
  VARIANT& temporary = temporaries_.emplace_back();
  VariantInit(&temporary);
  V_VT(&temporary) = type;
  return &temporary;
}

void ArgumentFrame::WriteBack() {
  for (const Unwrapped& argument : unwrapped_) StoreThroughReference(*argument.original, *argument.temporary);
}

}  // namespace kivocom::server
