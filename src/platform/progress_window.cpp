// SPDX-License-Identifier: MIT
// The thread's progress window factory and the process's download cancel request.
#include "kivocom/progress_window.h"

#include <atomic>

#include "platform/system_services.h"

namespace kivocom {
namespace {
thread_local ProgressWindowFactory tFactory;
// Lock-free, so that a signal handler may set it.
std::atomic<bool> gCancelRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free);
}  // namespace

void InstallThreadProgressWindowFactory(ProgressWindowFactory factory) { tFactory = std::move(factory); }

std::unique_ptr<ProgressWindow> CreateProgressWindow() {
  return tFactory ? tFactory() : CreateSystemProgressWindow();
}

void RequestDownloadCancel() { gCancelRequested.store(true); }

bool TakeDownloadCancelRequest() { return gCancelRequested.exchange(false); }

void ClearDownloadCancelRequest() { gCancelRequested.store(false); }

}  // namespace kivocom
