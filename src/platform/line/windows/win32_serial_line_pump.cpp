// SPDX-License-Identifier: MIT
// The pump between an open serial handle and the control's buffers.
#include "platform/line/windows/win32_serial_line_pump.h"

#include <algorithm>
#include <system_error>
#include <utility>

#include "kivocom/clock.h"

namespace kivocom {
namespace {

constexpr auto kShortestDrainNap = std::chrono::milliseconds(1);

Win32Handle NewEvent(bool manualReset) {
  Win32Handle event(CreateEventW(nullptr, manualReset, FALSE, nullptr));
  if (!event.Valid()) throw std::system_error(static_cast<int>(GetLastError()), std::system_category(), "CreateEventW");
  return event;
}

// Milliseconds from now to `deadline` for a Win32 wait: 0 once it passed, never INFINITE.
DWORD MsLeft(Win32LinePump::Deadline deadline) {
  const auto now = std::chrono::steady_clock::now();
  if (now >= deadline) return 0;
  const int64_t left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
  return static_cast<DWORD>(std::min<int64_t>(left, INFINITE - 1));
}

}  // namespace

Win32LinePump::Win32LinePump(HANDLE line)
    : line_(line),
      stop_(NewEvent(true)),
      resume_(NewEvent(false)),
      readDone_(NewEvent(true)),
      inputOrFailure_(NewEvent(true)) {
  thread_ = std::thread([this] { Run(); });
}

Win32LinePump::~Win32LinePump() {
  SetEvent(stop_.Get());
  thread_.join();
  std::lock_guard lock(mutex_);
  CancelWritesLocked();
}

// One byte read first, so that the thread sleeps in the driver until the line speaks; then
// whatever else the driver holds, in as few reads as it takes.
void Win32LinePump::Run() {
  while (WaitWhilePaused() && ReadFirstByte() && DrainQueued()) {
  }
}

bool Win32LinePump::WaitWhilePaused() {
  const HANDLE waits[2] = {stop_.Get(), resume_.Get()};
  for (;;) {
    {
      std::lock_guard lock(mutex_);
      if (!paused_) break;
    }
    if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) == WAIT_OBJECT_0) return false;
  }
  return WaitForSingleObject(stop_.Get(), 0) != WAIT_OBJECT_0;
}

bool Win32LinePump::ReadFirstByte() {
  char byte = 0;
  unsigned generation = 0;
  DWORD got = 0;
  if (!StartRead(&byte, 1, generation) || !FinishRead(got, generation)) return false;
  Store(&byte, got, generation);
  return true;
}

bool Win32LinePump::DrainQueued() {
  for (;;) {
    COMSTAT status{};
    DWORD errors = 0;
    if (!ClearCommError(line_, &errors, &status)) {
      const DWORD err = GetLastError();
      std::lock_guard lock(mutex_);
      FailLocked(err);
      return false;
    }
    std::size_t room = 0;
    {
      std::lock_guard lock(mutex_);
      room = paused_ ? 0 : input_.Room();
    }
    if (status.cbInQue == 0 || room == 0) return true;
    std::string chunk(std::min<std::size_t>(room, status.cbInQue), '\0');
    unsigned generation = 0;
    DWORD got = 0;
    if (!StartRead(chunk.data(), static_cast<DWORD>(chunk.size()), generation) || !FinishRead(got, generation))
      return false;
    Store(chunk.data(), got, generation);
    if (got == 0) return true;
  }
}

// Started under the lock, so that a discard either finds this read to cancel or comes before it.
bool Win32LinePump::StartRead(char* buffer, DWORD count, unsigned& generation) {
  std::lock_guard lock(mutex_);
  generation = discards_;
  ResetEvent(readDone_.Get());
  read_ = OVERLAPPED{};
  read_.hEvent = readDone_.Get();
  if (ReadFile(line_, buffer, count, nullptr, &read_)) return true;
  const DWORD err = GetLastError();
  if (err == ERROR_IO_PENDING) return true;
  FailLocked(err);
  return false;
}

// Waits for the pending read or the end of the pump. Wine ends a read whose time-out passed with
// ERROR_TIMEOUT where Windows reports success with nothing read. A read cut short by a discard
// ends with ERROR_OPERATION_ABORTED, or under Wine with ERROR_BROKEN_PIPE when the purge took the
// bytes the read had just woken for. All of these are silence; every other error, and a broken
// pipe with no discard behind it, means the line is gone.
bool Win32LinePump::FinishRead(DWORD& got, unsigned generation) {
  const HANDLE waits[2] = {readDone_.Get(), stop_.Get()};
  got = 0;
  if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) {
    CancelIoEx(line_, &read_);
    GetOverlappedResult(line_, &read_, &got, TRUE);
    return false;
  }
  if (GetOverlappedResult(line_, &read_, &got, FALSE)) return true;
  const DWORD err = GetLastError();
  got = 0;
  std::lock_guard lock(mutex_);
  const bool cutByDiscard = (err == ERROR_OPERATION_ABORTED || err == ERROR_BROKEN_PIPE) && generation != discards_;
  if (err == ERROR_TIMEOUT || cutByDiscard) return true;
  FailLocked(err);
  return false;
}

void Win32LinePump::Store(const char* bytes, std::size_t count, unsigned generation) {
  std::lock_guard lock(mutex_);
  if (generation != discards_ || count == 0) return;
  input_.Append(std::string_view(bytes, count));
  if (input_.Room() == 0) paused_ = true;
  UpdateInputEventLocked();
}

void Win32LinePump::FailLocked(DWORD err) {
  if (!failure_) failure_ = err;
  UpdateInputEventLocked();
}

void Win32LinePump::UpdateInputEventLocked() {
  if (!input_.Empty() || failure_)
    SetEvent(inputOrFailure_.Get());
  else
    ResetEvent(inputOrFailure_.Get());
}

// What the driver holds when the command goes out arrived before it; the pump reads it in later,
// so the mark counts it already.
void Win32LinePump::Send(std::string_view data) {
  std::lock_guard lock(mutex_);
  if (failure_ || data.empty()) return;
  input_.MarkSend(DriverStatus().cbInQue);
  ReapWritesLocked();
  Write& write = writes_.emplace_back();
  write.done = NewEvent(true);
  write.data.assign(data);
  write.overlapped.hEvent = write.done.Get();
  if (WriteFile(line_, write.data.data(), static_cast<DWORD>(write.data.size()), nullptr, &write.overlapped)) return;
  const DWORD err = GetLastError();
  if (err == ERROR_IO_PENDING) return;
  writes_.pop_back();
  FailLocked(err);
}

void Win32LinePump::ReapWritesLocked() {
  for (auto it = writes_.begin(); it != writes_.end();) {
    if (!HasOverlappedIoCompleted(&it->overlapped)) {
      ++it;
      continue;
    }
    DWORD sent = 0;
    if (!GetOverlappedResult(line_, &it->overlapped, &sent, FALSE)) {
      const DWORD err = GetLastError();
      if (err != ERROR_OPERATION_ABORTED) FailLocked(err);
    }
    it = writes_.erase(it);
  }
}

// Every write is cancelled first and then waited for: its buffer and OVERLAPPED must outlive it.
void Win32LinePump::CancelWritesLocked() {
  for (Write& write : writes_) CancelIoEx(line_, &write.overlapped);
  for (Write& write : writes_) {
    DWORD sent = 0;
    GetOverlappedResult(line_, &write.overlapped, &sent, TRUE);
  }
  writes_.clear();
}

// The driver's queues; both read empty when the driver cannot tell.
COMSTAT Win32LinePump::DriverStatus() {
  COMSTAT status{};
  DWORD errors = 0;
  return ClearCommError(line_, &errors, &status) ? status : COMSTAT{};
}

// A Windows driver counts unfinished writes in its output queue; Wine counts only what the device
// itself still holds. The larger of the two is right on both.
std::size_t Win32LinePump::PendingOutput() {
  std::lock_guard lock(mutex_);
  ReapWritesLocked();
  std::size_t unfinished = 0;
  for (const Write& write : writes_) unfinished += write.data.size();
  return std::max<std::size_t>(unfinished, DriverStatus().cbOutQue);
}

// Discards what PendingOutput counts and nothing more: the driver is purged only while it reports
// bytes still queued, so bytes a virtual line already passed on are not taken back.
void Win32LinePump::DiscardOutput() {
  std::lock_guard lock(mutex_);
  CancelWritesLocked();
  if (DriverStatus().cbOutQue > 0) PurgeComm(line_, PURGE_TXABORT | PURGE_TXCLEAR);
}

std::size_t Win32LinePump::PendingInput() {
  std::lock_guard lock(mutex_);
  return input_.Size();
}

std::string Win32LinePump::TakeInput() {
  std::lock_guard lock(mutex_);
  std::string taken = input_.TakeAll();
  if (std::exchange(paused_, false)) SetEvent(resume_.Get());
  UpdateInputEventLocked();
  return taken;
}

// The pending read is cancelled: a byte it already took arrived before the discard and is
// dropped by Store; bytes still in the driver are purged.
void Win32LinePump::DiscardInput() {
  std::lock_guard lock(mutex_);
  ++discards_;
  CancelIoEx(line_, &read_);
  PurgeComm(line_, PURGE_RXCLEAR);
  input_.DiscardAll();
  if (std::exchange(paused_, false)) SetEvent(resume_.Get());
  UpdateInputEventLocked();
}

// The driver's own queue is left alone: the mark counted what it held at the last Send, and the
// pump reads those bytes in before any that came later.
void Win32LinePump::DiscardInputBeforeLastSend() {
  std::lock_guard lock(mutex_);
  if (input_.DiscardBeforeMark() > 0 && std::exchange(paused_, false)) SetEvent(resume_.Get());
  UpdateInputEventLocked();
}

// Window messages that arrive during the wait are handed to the thread's message pump, so that a
// client's windows stay alive; only new messages wake the wait, so a pump that leaves them queued
// does not make it spin.
bool Win32LinePump::WaitForInput(Deadline deadline) {
  const HANDLE event = inputOrFailure_.Get();
  for (;;) {
    {
      std::lock_guard lock(mutex_);
      if (!input_.Empty() || failure_ || std::chrono::steady_clock::now() >= deadline) return !input_.Empty();
    }
    if (MsgWaitForMultipleObjectsEx(1, &event, MsLeft(deadline), QS_ALLINPUT, 0) == WAIT_OBJECT_0 + 1)
      ThreadMessagePump().ProcessPending();
  }
}

// Unfinished writes are waited for on their events; the driver's own queue has no event to wait
// on without spinning under Wine, so the wait naps about as long as its bytes take on the wire.
bool Win32LinePump::WaitForOutputSent(Deadline deadline, std::chrono::nanoseconds byteTime) {
  for (;;) {
    HANDLE next = nullptr;
    {
      std::lock_guard lock(mutex_);
      ReapWritesLocked();
      if (failure_) return false;
      if (writes_.empty()) break;
      next = writes_.front().done.Get();
    }
    if (WaitForSingleObject(next, MsLeft(deadline)) != WAIT_OBJECT_0) return false;
  }
  for (std::size_t queued = DriverStatus().cbOutQue; queued > 0; queued = DriverStatus().cbOutQue) {
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return false;
    const auto lineTime =
        std::max<std::chrono::nanoseconds>(kShortestDrainNap, byteTime * static_cast<int64_t>(queued));
    std::this_thread::sleep_for(std::min<std::chrono::nanoseconds>(deadline - now, lineTime));
  }
  return true;
}

std::optional<DWORD> Win32LinePump::Failure() {
  std::lock_guard lock(mutex_);
  return failure_;
}

}  // namespace kivocom
