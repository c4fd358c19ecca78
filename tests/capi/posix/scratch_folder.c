/* SPDX-License-Identifier: MIT */
#define _POSIX_C_SOURCE 200809L
#include "scratch_folder.h"

#include <stdio.h>
#include <stdlib.h>

int make_scratch_folder(char* folder, size_t size) {
  return snprintf(folder, size, "/tmp/kvc-capi-XXXXXX") < (int)size && mkdtemp(folder) != NULL;
}
