/* SPDX-License-Identifier: MIT */
#include "scratch_folder.h"

#include <direct.h>
#include <process.h>
#include <stdio.h>
#include <stdlib.h>

/* The user's temporary folder and a name made of the process number, which no running test
   program shares. */
int make_scratch_folder(char* folder, size_t size) {
  const char* temp = getenv("TEMP");
  return temp != NULL && snprintf(folder, size, "%s\\kvc-capi-%d", temp, _getpid()) < (int)size &&
         _mkdir(folder) == 0;
}
