/* SPDX-License-Identifier: MIT */
/* Queries a meter a few times and logs its readings to a CSV file, through kivocom's C interface.
   Copy it and change the port, baud rate, style and command for your instrument.

     cc -std=c99 log_readings.c -o log_readings -I$PREFIX/include -L$PREFIX/lib -lkivocom -lkivocom_simulator
     ./log_readings /dev/ttyUSB0 readings.csv       (a device path, or a COM number such as 3)
     ./log_readings --simulate readings.csv         (a simulated meter: needs libkivocom_simulator) */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "kivocom/kivocom_c.h"
#include "kivocom/kivocom_sim_c.h"

/* Prints the library's last error and returns 1. */
static int fail(const char* what) {
  fprintf(stderr, "%s: %s (%s, error %ld)\n", what, kvc_last_error_description(NULL), kvc_last_error_source(NULL),
          (long)kvc_last_error_number());
  return 1;
}

int main(int argc, char** argv) {
  const int32_t number = 9; /* the COM number a device path is mapped to */
  kvc_sim* sim = NULL;
  kvc_port* meter = NULL;
  FILE* csv;
  int i, status = 0;
  if (argc != 3) {
    fprintf(stderr, "usage: %s DEVICE|COM-NUMBER|--simulate FILE.csv\n", argv[0]);
    return 64;
  }
  if (strcmp(argv[1], "--simulate") == 0) {
    size_t id, length;
    char* device;
    if (kvc_sim_new(&sim) != 0) return fail("simulator");
    kvc_sim_add_instrument(sim, KVC_CS_KIVO, NULL, 0, NULL, 0, &id);
    kvc_sim_set_reply(sim, id, "PV", KVC_NTS, "+0021.70", KVC_NTS);
    kvc_sim_device_path(sim, &device, &length);
    kvc_map_port(number, device, length);
    kvc_free(device);
  } else if (strspn(argv[1], "0123456789") != strlen(argv[1])) {
    kvc_map_port(number, argv[1], KVC_NTS);
  }

  if (kvc_port_new(&meter) != 0) return fail("port");
  kvc_port_set_port(meter, sim || strspn(argv[1], "0123456789") != strlen(argv[1]) ? number : atoi(argv[1]));
  kvc_port_set_min_baud_rate(meter, KVC_BAUD_150);
  kvc_port_set_max_baud_rate(meter, KVC_BAUD_921600);
  if (kvc_port_set_baud_rate(meter, KVC_BAUD_9600) != 0) return fail("baud rate");
  kvc_port_set_controller_style(meter, KVC_CS_KIVO);
  kvc_port_set_timeout(meter, 1000);

  csv = fopen(argv[2], "w");
  if (csv == NULL) {
    perror(argv[2]);
    return 1;
  }
  fprintf(csv, "time,reading\n");
  for (i = 0; i < 5 && status == 0; ++i) {
    int32_t outcome;
    char* reply = NULL;
    size_t length = 0;
    if (kvc_port_read_port(meter, &outcome, "PV", KVC_NTS, NULL, 0, NULL, 0, &reply, &length) != 0) {
      status = fail("query");
    } else if (outcome != KVC_CE_NONE) {
      fprintf(stderr, "query: %s\n", outcome == KVC_CE_TIMEOUT ? "no reply in time" : "bad reply or no port");
      status = 1;
    } else {
      fprintf(csv, "%ld,%s\n", (long)time(NULL), reply); /* a meter's reading holds no NUL */
      printf("reading %d: %s\n", i + 1, reply);
    }
    kvc_free(reply);
  }
  fclose(csv);
  kvc_port_free(meter);
  kvc_map_port(number, "", 0);
  kvc_sim_free(sim);
  return status;
}
