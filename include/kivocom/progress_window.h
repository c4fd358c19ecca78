// SPDX-License-Identifier: MIT
// The progress window a download shows while readings stream in. The default on Windows is a real
// window with a progress bar and a Cancel button, running on the downloading thread (the library's
// message pump keeps it alive); elsewhere a one-line bar on a terminal's standard error. A program
// may install a factory of its own.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace kivocom {

// One progress window, alive for the length of one download.
class ProgressWindow {
 public:
  virtual ~ProgressWindow() = default;
  // Shows `text`; `a` and `b` are passed as 0 by the library.
  virtual void SetMessage(const std::string& text, int32_t a, int32_t b) = 0;
  // Shows (true) or hides the window.
  virtual void SetVisible(bool visible) = 0;
  // Shows `done` readings against `total`; returns false once the user has cancelled.
  virtual bool ReportProgress(int32_t total, int32_t done, int32_t style) = 0;
  // Removes the window.
  virtual void CloseWindow() = 0;
  // Tells the window how many characters have arrived so far, just before each ReportProgress;
  // a window that shows only readings ignores it.
  virtual void ReportBytes(int64_t received) { (void)received; }
};

// Makes the progress window of each download; may return nullptr or raise when none can be made,
// which never reads as a cancel.
using ProgressWindowFactory = std::function<std::unique_ptr<ProgressWindow>()>;

// Installs the calling thread's factory; an empty one returns to the system's default window.
void InstallThreadProgressWindowFactory(ProgressWindowFactory factory);

// Makes a progress window with the calling thread's factory.
std::unique_ptr<ProgressWindow> CreateProgressWindow();

// Asks the running download of the calling process to stop, as the window's cancel does: its
// next progress report reads as a cancel. Safe to call from a signal handler (the kivocom tool
// maps Ctrl-C to it). A download clears a request made before it started.
void RequestDownloadCancel();

// Takes a pending cancel request: true once after RequestDownloadCancel.
bool TakeDownloadCancelRequest();

// Forgets a pending cancel request.
void ClearDownloadCancelRequest();

// The terminal progress bar: draws "Downloading...", readings done against expected, bytes and
// elapsed time on one line of standard error, at most a few times a second, and clears it at the
// end. Draws nothing when standard error is not a terminal (on Windows: not a console).
std::unique_ptr<ProgressWindow> CreateTerminalProgressWindow();

}  // namespace kivocom
