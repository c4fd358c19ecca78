// SPDX-License-Identifier: MIT
// The library's errors as automation clients see them: an HRESULT plus an error record set through
// SetErrorInfo, and the way back for errors that the client's own objects raise.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <cstdint>
#include <new>
#include <string>

#include "kivocom/error.h"

namespace kivocom::server {

// The HRESULT that carries error `number`: 0x8004xxxx and other failure codes as they are; the
// numbers of controls and components (1 to 65535) as 0x800A0000 plus the number, which clients
// show as the plain number; anything else as E_FAIL.
HRESULT HresultFromErrorNumber(int32_t number);
// The error number an HRESULT carries: the inverse of HresultFromErrorNumber.
int32_t ErrorNumberFromHresult(HRESULT hr);

// Sets the thread's error record from `error` for interface `iid` and returns its HRESULT.
HRESULT ReportError(const Error& error, REFIID iid);

// Runs `body` as one call of an automation member: clears the thread's error record first, and
// turns whatever `body` raises into an HRESULT and an error record whose source is `source` when
// the error carries none.
template <class Body>
HRESULT Guarded(REFIID iid, const char* source, Body&& body) {
  SetErrorInfo(0, nullptr);
  try {
    body();
    return S_OK;
  } catch (const Error& error) {
    return ReportError(error, iid);
  } catch (const std::bad_alloc&) {
    return ReportError(Error(static_cast<int32_t>(E_OUTOFMEMORY), source, "Out of memory."), iid);
  } catch (const std::exception& error) {
    return ReportError(Error(static_cast<int32_t>(E_FAIL), source, error.what()), iid);
  }
}

}  // namespace kivocom::server
