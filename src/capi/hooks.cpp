// SPDX-License-Identifier: MIT
// The C interface to the hooks a program installs on its thread: message boxes, the progress
// window of downloads (with cancel), the message pump, the trace folder and the timed wait.
#include <memory>
#include <string>

#include "capi/c_call.h"
#include "kivocom/clock.h"
#include "kivocom/progress_window.h"
#include "kivocom/support.h"
#include "kivocom/trace_file.h"
#include "kivocom/user_messages.h"
#include "platform/environment.h"

using kivocom::capi::Call;
using kivocom::capi::TextCall;
using kivocom::capi::TextIn;

namespace {

class CallbackUserMessages : public kivocom::UserMessages {
 public:
  CallbackUserMessages(kvc_message_box_fn show, void* user) : show_(show), user_(user) {}
  void ShowBox(const std::string& prompt, int32_t flags, const std::string& title, const std::string& helpFile,
               int32_t helpContext) override {
    show_(user_, prompt.data(), prompt.size(), flags, title.data(), title.size(), helpFile.data(), helpFile.size(),
          helpContext);
  }
  // A program that shows its own boxes sets its own pointer.
  void SetPointer(kivocom::MousePointer) override {}

 private:
  kvc_message_box_fn show_;
  void* user_;
};

class CallbackProgressWindow : public kivocom::ProgressWindow {
 public:
  explicit CallbackProgressWindow(const kvc_progress_window& window) : window_(window) {}
  void SetMessage(const std::string& text, int32_t, int32_t) override {
    if (window_.set_message) window_.set_message(window_.user, text.data(), text.size());
  }
  void SetVisible(bool visible) override {
    if (window_.set_visible) window_.set_visible(window_.user, visible ? 1 : 0);
  }
  bool ReportProgress(int32_t total, int32_t done, int32_t) override {
    return window_.report_progress == nullptr || window_.report_progress(window_.user, total, done, bytes_) == 0;
  }
  void CloseWindow() override {
    if (window_.close_window) window_.close_window(window_.user);
  }
  void ReportBytes(int64_t received) override { bytes_ = received; }

 private:
  kvc_progress_window window_;
  int64_t bytes_ = 0;
};

class CallbackMessagePump : public kivocom::MessagePump {
 public:
  CallbackMessagePump(kvc_message_pump_fn pump, void* user) : pump_(pump), user_(user) {}
  void ProcessPending() override { pump_(user_); }

 private:
  kvc_message_pump_fn pump_;
  void* user_;
};

}  // namespace

extern "C" {

int32_t kvc_set_message_box_handler(kvc_message_box_fn show, void* user) {
  return Call("kvc_set_message_box_handler", [&] {
    kivocom::InstallThreadUserMessages(show == nullptr ? nullptr : std::make_shared<CallbackUserMessages>(show, user));
  });
}

int32_t kvc_set_progress_window(const kvc_progress_window* window) {
  return Call("kvc_set_progress_window", [&] {
    if (window == nullptr) return kivocom::InstallThreadProgressWindowFactory(nullptr);
    const kvc_progress_window copy = *window;
    kivocom::InstallThreadProgressWindowFactory([copy] { return std::make_unique<CallbackProgressWindow>(copy); });
  });
}

int32_t kvc_request_download_cancel(void) {
  // Only the lock-free request: a signal handler may be the caller.
  kivocom::RequestDownloadCancel();
  return 0;
}

int32_t kvc_set_message_pump(kvc_message_pump_fn pump, void* user) {
  return Call("kvc_set_message_pump", [&] {
    kivocom::InstallThreadMessagePump(pump == nullptr ? nullptr : std::make_shared<CallbackMessagePump>(pump, user));
  });
}

int32_t kvc_set_trace_folder(const char* path, size_t path_len) {
  return Call("kvc_set_trace_folder", [&] { kivocom::SetEnvironmentValue("KIVOCOM_TRACE_DIR", TextIn(path, path_len)); });
}

int32_t kvc_get_trace_folder(char** text, size_t* text_len) {
  return TextCall("kvc_get_trace_folder", text, text_len, [] { return kivocom::TraceFolder(); });
}

int32_t kvc_trace_file_path(char** text, size_t* text_len) {
  return TextCall("kvc_trace_file_path", text, text_len, [] { return kivocom::TraceFilePath(); });
}

int32_t kvc_wait_milliseconds(int32_t milliseconds) {
  return Call("kvc_wait_milliseconds", [&] { kivocom::WaitMilliseconds(milliseconds); });
}

}  // extern "C"
