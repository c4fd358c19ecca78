/* SPDX-License-Identifier: MIT */
/* The C interface against a program's mistakes: a handle freed twice or used after its free, a
   handle used or freed from another thread, a device path with a NUL in it, a length no text can
   have; the reply a time-out returns; and the allocator of port numbers for devices. */
#define _POSIX_C_SOURCE 200809L
#include <pthread.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "kivocom/kivocom_c.h"
#include "kivocom/kivocom_sim_c.h"

static int passed, failed;

static void check(int ok, const char* what) {
  printf("%s - %s\n", ok ? "ok" : "FAILED", what);
  if (ok) ++passed;
  else ++failed;
}

static int last_source_is(const char* source) {
  size_t len = 0;
  const char* text = kvc_last_error_source(&len);
  return len == strlen(source) && memcmp(text, source, len) == 0;
}

static void test_freed_handles(void) {
  kvc_port* port = NULL;
  kvc_ini* ini = NULL;
  kvc_switch* sw = NULL;
  int32_t value = 0;
  kvc_port_new(&port);
  kvc_ini_new(&ini);
  kvc_switch_new(&sw);
  kvc_port_free(port);
  check(kvc_port_get_timeout(port, &value) == KVC_ERR_INVALID_ARGUMENT && last_source_is("kvc_port_get_timeout"),
        "a call on a freed port fails as an argument fault");
  kvc_set_last_error(0, NULL, 0, NULL, 0);
  kvc_port_free(port);
  check(kvc_last_error_number() == KVC_ERR_INVALID_ARGUMENT && last_source_is("kvc_port_free"),
        "a second free of a port is refused and recorded, not a crash");
  kvc_ini_free(ini);
  kvc_ini_free(ini);
  check(kvc_last_error_number() == KVC_ERR_INVALID_ARGUMENT, "a second free of a settings file is refused");
  check(kvc_switch_set_parent(sw, port) == KVC_ERR_INVALID_ARGUMENT, "a freed port cannot become a switch's parent");
  check(kvc_port_get_timeout((kvc_port*)sw, &value) == KVC_ERR_INVALID_ARGUMENT,
        "a switch handle passed as a port is refused");
  kvc_switch_free(sw);
  kvc_set_last_error(0, NULL, 0, NULL, 0);
  kvc_switch_free(NULL);
  check(kvc_last_error_number() == 0, "freeing NULL is still allowed and records nothing");
}

struct foreign_use {
  kvc_port* port;
  int32_t get_status, set_status;
  int32_t free_error;
};

static void* use_from_another_thread(void* argument) {
  struct foreign_use* use = argument;
  int32_t value = 0;
  use->get_status = kvc_port_get_timeout(use->port, &value);
  use->set_status = kvc_port_set_timeout(use->port, 1);
  kvc_port_free(use->port);
  use->free_error = kvc_last_error_number();
  return NULL;
}

static void test_handle_of_another_thread(void) {
  struct foreign_use use = {NULL, 0, 0, 0};
  pthread_t thread;
  int32_t timeout = 0;
  kvc_port_new(&use.port);
  kvc_port_set_timeout(use.port, 700);
  pthread_create(&thread, NULL, use_from_another_thread, &use);
  pthread_join(thread, NULL);
  check(use.get_status == KVC_ERR_WRONG_THREAD && use.set_status == KVC_ERR_WRONG_THREAD,
        "another thread's calls on a port fail with the wrong-thread error");
  check(use.free_error == KVC_ERR_WRONG_THREAD, "another thread's free is refused");
  check(kvc_port_get_timeout(use.port, &timeout) == 0 && timeout == 700,
        "the port is unchanged and still alive for its own thread");
  kvc_port_free(use.port);
}

static void test_bad_texts(void) {
  kvc_port* port = NULL;
  int32_t code = 0;
  char* reply = NULL;
  char* path = NULL;
  size_t path_len = 0;
  kvc_port_new(&port);
  check(kvc_map_port(7, "/dev/null\0/dev/ttyS0", 20) == KVC_ERR_INVALID_ARGUMENT,
        "a device path holding a NUL is refused");
  kvc_port_device_path(7, &path, &path_len);
  check(path != NULL && strcmp(path, "/dev/null") != 0, "and no mapping was made from its first part");
  kvc_free(path);
  check(kvc_port_read_port(port, &code, "PV", SIZE_MAX - 1, NULL, 0, NULL, 0, &reply, NULL) ==
                KVC_ERR_INVALID_ARGUMENT &&
            reply == NULL,
        "a command length near SIZE_MAX is an argument fault");
  kvc_port_free(port);
}

/* The instrument answers without any line end: the exchange times out holding what came. */
static void test_partial_reply_after_time_out(void) {
  kvc_sim* sim = NULL;
  size_t meter = 0;
  char* device = NULL;
  size_t device_len = 0;
  int32_t number = 0, code = 0;
  char* reply = NULL;
  size_t reply_len = 0;
  kvc_port* port = NULL;
  kvc_sim_new(&sim);
  kvc_sim_add_instrument(sim, KVC_CS_KIVO, NULL, 0, NULL, 0, &meter);
  kvc_sim_set_reply(sim, meter, "PV", KVC_NTS, "+0012", KVC_NTS);
  kvc_sim_set_line_end(sim, meter, "", 0);
  kvc_sim_device_path(sim, &device, &device_len);
  kvc_map_device(device, device_len, &number);
  kvc_port_new(&port);
  kvc_port_set_port(port, number);
  kvc_port_set_min_baud_rate(port, KVC_BAUD_150);
  kvc_port_set_max_baud_rate(port, KVC_BAUD_921600);
  kvc_port_set_baud_rate(port, KVC_BAUD_9600);
  kvc_port_set_timeout(port, 150);
  kvc_port_set_retries(port, 1);
  kvc_port_read_port(port, &code, "PV", KVC_NTS, NULL, 0, NULL, 0, &reply, &reply_len);
  check(code == KVC_CE_TIMEOUT && reply_len == 5 && memcmp(reply, "+0012", 5) == 0,
        "a time-out returns what the last attempt received");
  kvc_free(reply);
  kvc_port_free(port);
  kvc_unmap_device(number, device, device_len, &(int){0});
  kvc_free(device);
  kvc_sim_free(sim);
}

static void test_port_numbers_for_devices(void) {
  int32_t first = 0, second = 0, again = 0;
  int removed = -1;
  char* path = NULL;
  check(kvc_map_device("/dev/kivocom-a", KVC_NTS, &first) == 0 && kvc_map_device("/dev/kivocom-b", KVC_NTS, &second) == 0 &&
            first >= 1 && first <= 256 && second >= 1 && second != first,
        "two devices get two numbers");
  kvc_port_device_path(first, &path, NULL);
  check(path != NULL && strcmp(path, "/dev/kivocom-a") == 0, "a number names its device");
  kvc_free(path);
  kvc_unmap_device(first, "/dev/kivocom-b", KVC_NTS, &removed);
  check(removed == 0, "a number is not unmapped for a device it does not name");
  check(kvc_map_device("/dev/kivocom-a", KVC_NTS, &again) == 0 && again != first && again != second,
        "the same device mapped again gets a number of its own while the first stands");
  kvc_unmap_device(first, "/dev/kivocom-a", KVC_NTS, &removed);
  check(removed == 1, "its owner unmaps it");
  kvc_unmap_device(second, "/dev/kivocom-b", KVC_NTS, &removed);
  kvc_unmap_device(again, "/dev/kivocom-a", KVC_NTS, &removed);
  check(kvc_map_device("", 0, &again) == KVC_ERR_INVALID_PROPERTY_VALUE, "an empty path gets no number");
}

int main(void) {
  test_freed_handles();
  test_handle_of_another_thread();
  test_bad_texts();
  test_partial_reply_after_time_out();
  test_port_numbers_for_devices();
  printf("%d passed, %d failed\n", passed, failed);
  return failed == 0 ? 0 : 1;
}
