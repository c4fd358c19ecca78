/* SPDX-License-Identifier: MIT */
/* The C interface from a C99 program: an exchange against the simulator with bytes a C string
   cannot hold, a refused baud rate's error record, a download cancelled from a progress callback,
   settings through a file, argument faults, and ownership of every buffer and handle across
   10,000 calls (run under the sanitizers too, where a leak or double free fails the run). */
#define _POSIX_C_SOURCE 200809L
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "kivocom/kivocom_c.h"
#include "kivocom/kivocom_sim_c.h"
#include "scratch_folder.h"

static int passed, failed;

static void check(int ok, const char* what) {
  printf("%s - %s\n", ok ? "ok" : "FAILED", what);
  if (ok) ++passed;
  else ++failed;
}

static int text_is(const char* text, size_t len, const char* expected, size_t expected_len) {
  return text != NULL && len == expected_len && memcmp(text, expected, len) == 0 && text[len] == '\0';
}

enum { kPort = 91 };

static kvc_sim* sim;
static size_t meter;

static kvc_port* new_port(void) {
  kvc_port* port = NULL;
  if (kvc_port_new(&port) != 0) return NULL;
  kvc_port_set_port(port, kPort);
  kvc_port_set_min_baud_rate(port, KVC_BAUD_150);
  kvc_port_set_max_baud_rate(port, KVC_BAUD_921600);
  kvc_port_set_baud_rate(port, KVC_BAUD_9600);
  kvc_port_set_timeout(port, 500);
  kvc_port_set_retries(port, 1);
  return port;
}

static void start_simulator(void) {
  kvc_sim_behaviour quick;
  char* device = NULL;
  size_t device_len = 0;
  check(kvc_sim_new(&sim) == 0, "the simulator starts");
  kvc_sim_add_instrument(sim, KVC_CS_KIVO, NULL, 0, NULL, 0, &meter);
  kvc_sim_behaviour_default(&quick);
  /* 20 ms: a reply must not come before the command's last clearing of the buffers, which under
     Wine can follow the command by a few milliseconds. */
  quick.reply_delay_us = 20000;
  quick.paced = 0;
  kvc_sim_set_behaviour(sim, meter, &quick);
  kvc_sim_set_reply(sim, meter, "RAW", KVC_NTS, "A\0B\xE9", 4);
  kvc_sim_set_download(sim, meter, "DL", KVC_NTS, 40, 0, 10, 1500);
  kvc_sim_device_path(sim, &device, &device_len);
  check(device != NULL && kvc_map_port(kPort, device, device_len) == 0, "the port number maps to the simulator");
  kvc_free(device);
}

static void test_exchange(void) {
  kvc_port* port = new_port();
  int32_t code = -1;
  char* reply = NULL;
  size_t len = 0;
  check(kvc_port_read_port(port, &code, "PV", KVC_NTS, NULL, 0, NULL, 0, &reply, &len) == 0 && code == KVC_CE_NONE &&
            text_is(reply, len, "+0023.45", 8),
        "an exchange returns the instrument's reply");
  kvc_free(reply);
  kvc_port_read_port(port, &code, "RAW", 3, NULL, 0, NULL, 0, &reply, &len);
  check(code == KVC_CE_INVALID_DATA, "a byte above 128 is invalid data while the check is on");
  kvc_free(reply);
  kvc_port_set_check_non_ascii(port, 0);
  kvc_port_read_port(port, &code, "RAW", 3, NULL, 0, NULL, 0, &reply, &len);
  check(code == KVC_CE_NONE && text_is(reply, len, "A\0B\xE9", 4), "a reply holding NUL and 0xE9 arrives whole");
  kvc_free(reply);
  kvc_port_free(port);
}

static int answer_hi(void* user, const char* command, size_t command_len, const char** text, size_t* text_len) {
  (void)user;
  if (command_len != 2 || memcmp(command, "HI", 2) != 0) return 0;
  *text = "hello";
  *text_len = 5;
  return 1;
}

static void test_bytes_as_given(void) {
  kvc_port* port = new_port();
  int opened = 0, arrived = 0;
  char* text = NULL;
  size_t len = 0;
  kvc_port_close_port(port);
  check(kvc_port_line_output(port, "X", 1) == KVC_ERR_PORT_NOT_OPEN, "bytes on a closed line fail with 8018");
  kvc_port_open_port(port, NULL, 0, &opened);
  kvc_sim_clear_received(sim);
  kvc_port_line_output(port, "ID\0X\r", 5);
  kvc_sim_wait_for_received(sim, "ID\0X\r", 5, 1000, &arrived);
  kvc_sim_received(sim, &text, &len);
  check(arrived && text_is(text, len, "ID\0X\r", 5), "bytes go on the line as given: no lone CR, no clearing");
  kvc_free(text);
  kvc_port_line_input(port, 1000, &text, &len); /* the reply to it */
  kvc_free(text);
#ifdef _WIN32
  /* The Windows build plays its instruments in the simulator host, which cannot call back. */
  check(kvc_sim_set_answer_function(sim, meter, answer_hi, NULL) == 380,
        "a program's answer function is refused where the simulator cannot call it");
  text = NULL;
  len = 0;
#else
  kvc_sim_set_answer_function(sim, meter, answer_hi, NULL);
  kvc_port_line_output(port, "HI\r", 3);
  kvc_port_line_input(port, 1000, &text, &len);
  check(text_is(text, len, "hello\r\n", 7), "a program's answer function answers before the reply table");
#endif
  kvc_free(text);
  kvc_sim_set_answer_function(sim, meter, NULL, NULL);
  kvc_port_set_controller_style(port, KVC_CS_OMEGA);
  kvc_port_frame_command(port, "PV", KVC_NTS, "01", KVC_NTS, &text, &len);
  check(text_is(text, len, "\x04" "0011PV\x05", 8), "the frame of an omega poll");
  kvc_free(text);
  kvc_port_free(port);
}

static void test_refused_baud_rate(void) {
  kvc_port* port = new_port();
  int32_t baud = -1;
  size_t source_len = 0, description_len = 0;
  const char* source;
  const char* description;
  kvc_port_set_min_baud_rate(port, KVC_BAUD_9600);
  kvc_port_set_max_baud_rate(port, KVC_BAUD_19200);
  check(kvc_port_set_baud_rate(port, KVC_BAUD_115200) == KVC_ERR_BAUD_RATE_NOT_SUPPORTED,
        "a baud rate above the maximum is refused with its number");
  source = kvc_last_error_source(&source_len);
  description = kvc_last_error_description(&description_len);
  printf("   last error: %ld, \"%s\", \"%s\"\n", (long)kvc_last_error_number(), source, description);
  check(kvc_last_error_number() == KVC_ERR_BAUD_RATE_NOT_SUPPORTED && strcmp(source, "CCOMPort - Let BaudRate") == 0 &&
            source_len == strlen(source) && strcmp(description, "Baud rate not supported.") == 0,
        "the refusal's record holds number, source and description");
  check(kvc_port_get_baud_rate(port, &baud) == 0 && baud == KVC_BAUD_9600 && kvc_last_error_number() == 0,
        "the old rate stays, and the next call clears the record");
  kvc_port_free(port);
}

static int boxes;
static void on_box(void* user, const char* prompt, size_t prompt_len, int32_t flags, const char* title,
                   size_t title_len, const char* help, size_t help_len, int32_t context) {
  (void)user, (void)prompt, (void)prompt_len, (void)flags, (void)help, (void)help_len, (void)context;
  boxes += text_is(title, title_len, "Kivometrix", 10);
}

static int pumped;
static void on_pump(void* user) { (void)user, ++pumped; }

struct progress {
  int messages, reports, closed;
  int32_t total;
  int64_t bytes;
};

static void on_message(void* user, const char* text, size_t len) {
  struct progress* p = user;
  p->messages += text_is(text, len, "Downloading...", 14);
}

static int on_report(void* user, int32_t total, int32_t done, int64_t bytes) {
  struct progress* p = user;
  ++p->reports;
  p->total = total;
  p->bytes = bytes;
  return done > 0; /* cancel once the first readings are in */
}

static void on_close(void* user) { ((struct progress*)user)->closed++; }

static void test_cancelled_download(void) {
  kvc_port* port = new_port();
  struct progress seen = {0, 0, 0, 0, 0};
  kvc_progress_window window;
  int32_t code = -1;
  char* data = NULL;
  size_t len = 0;
  window.user = &seen;
  window.set_message = on_message;
  window.set_visible = NULL;
  window.report_progress = on_report;
  window.close_window = on_close;
  kvc_port_set_timeout(port, 300);
  kvc_set_progress_window(&window);
  boxes = 0;
  kvc_set_message_box_handler(on_box, NULL);
  kvc_set_message_pump(on_pump, NULL);
  check(kvc_port_download(port, 0, &code, "DL", 2, NULL, 0, NULL, 0, 40, &data, &len) == 0 && code == KVC_CE_ABORTED,
        "a progress callback that returns nonzero cancels the download");
  printf("   %lu bytes kept, %d reports, total %ld\n", (unsigned long)len, seen.reports, (long)seen.total);
  check(len >= 100 && len < 400 && seen.bytes == (int64_t)len && seen.total == 40 && seen.messages == 1 &&
            seen.closed == 1,
        "the readings so far are kept and the window was told and closed");
  check(boxes == 1 && pumped > 0, "the cancel is told in a message box, and the wait ran the program's pump");
  kvc_free(data);
  kvc_set_progress_window(NULL);
  kvc_set_message_box_handler(NULL, NULL);
  kvc_set_message_pump(NULL, NULL);
  kvc_port_free(port);
}

static void test_settings_file(void) {
  char folder[260];
  char path[300];
  kvc_port* saved = new_port();
  kvc_port* loaded = NULL;
  int complete = 0;
  int32_t style = -1;
  check(make_scratch_folder(folder, sizeof folder), "a scratch folder");
  sprintf(path, "%s/meter.ini", folder);
  kvc_port_set_controller_style(saved, KVC_CS_AZONIX);
  kvc_port_write_to_file(saved, NULL, path, KVC_NTS, "Meter", KVC_NTS);
  kvc_port_new(&loaded);
  kvc_port_set_max_baud_rate(loaded, KVC_BAUD_921600); /* limits are the program's, not the file's */
  check(kvc_port_read_from_file(loaded, NULL, path, KVC_NTS, "Meter", KVC_NTS, &complete) == 0 && complete &&
            kvc_port_get_controller_style(loaded, &style) == 0 && style == KVC_CS_AZONIX,
        "settings written to a file read back into another port");
  kvc_set_message_box_handler(on_box, NULL);
  kvc_port_read_from_file(loaded, NULL, path, KVC_NTS, "Missing", KVC_NTS, &complete);
  check(!complete && boxes > 0, "a missing section is told through the program's message box");
  kvc_set_message_box_handler(NULL, NULL);
  kvc_port_free(saved);
  kvc_port_free(loaded);
  unlink(path);
  rmdir(folder);
}

static void test_argument_faults(void) {
  int32_t value = 0;
  char* text = (char*)&value;
  check(kvc_port_get_port(NULL, &value) == KVC_ERR_INVALID_ARGUMENT &&
            strcmp(kvc_last_error_source(NULL), "kvc_port_get_port") == 0,
        "a NULL handle is an argument fault under the function's name");
  check(kvc_port_baud_rate_name(NULL, 0, &text, NULL) == KVC_ERR_INVALID_ARGUMENT && text == NULL,
        "a failed call leaves no buffer to free");
}

/* 10,000 calls that each allocate: handles, texts out, error records, exchanges. */
static void test_ownership(void) {
  kvc_port* port = new_port();
  kvc_ini* ini = NULL;
  int i, good = 0;
  kvc_ini_new(&ini);
  kvc_ini_set_file_name(ini, "/nonexistent-kvc/settings.ini", KVC_NTS);
  kvc_ini_set_section(ini, "S", 1);
  for (i = 0; i < 10000; ++i) {
    kvc_port* scratch = NULL;
    kvc_switch* sw = NULL;
    char* text = NULL;
    int found = 1;
    int32_t code = -1;
    switch (i % 5) {
      case 0:
        good += kvc_port_new(&scratch) == 0 && kvc_switch_new(&sw) == 0 && kvc_switch_set_parent(sw, scratch) == 0;
        kvc_port_free(scratch);
        good += kvc_switch_get_parent(sw, &scratch) == 0 && scratch == NULL;
        kvc_switch_free(sw);
        break;
      case 1:
        good += kvc_port_baud_rate_name(port, i % 14, &text, NULL) == 0 && text != NULL;
        break;
      case 2:
        good += kvc_port_set_baud_rate(port, 99) == KVC_ERR_BAUD_RATE_NOT_SUPPORTED;
        break;
      case 3:
        good += kvc_ini_read_string(ini, "Key", 3, &text, NULL, &found) == 0 && !found && text == NULL;
        break;
      default:
        if (i % 100 == 4) {
          good += kvc_port_read_port(port, &code, "PV", 2, NULL, 0, NULL, 0, &text, NULL) == 0 && code == KVC_CE_NONE;
        } else {
          good += kvc_port_line_error(port, &code, &text, NULL, NULL, NULL) == 0 && code == 0;
        }
    }
    kvc_free(text);
  }
  check(good == 10000 + 2000, "10,000 calls give their results and leave nothing to leak");
  kvc_ini_free(ini);
  kvc_port_free(port);
}

int main(void) {
  printf("kivocom %s through its C interface\n", kvc_version());
  start_simulator();
  test_exchange();
  test_bytes_as_given();
  test_refused_baud_rate();
  test_settings_file();
  test_argument_faults();
  test_ownership();
  /* Last: the instrument goes on streaming the rest of the readings after the cancel. */
  test_cancelled_download();
  kvc_map_port(kPort, "", 0);
  kvc_sim_free(sim);
  printf("%d passed, %d failed\n", passed, failed);
  return failed == 0 ? 0 : 1;
}
