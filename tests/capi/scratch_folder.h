/* SPDX-License-Identifier: MIT */
/* A scratch folder of the test's own in the system's temporary folder, one file per system. */
#ifndef KIVOCOM_TESTS_CAPI_SCRATCH_FOLDER_H
#define KIVOCOM_TESTS_CAPI_SCRATCH_FOLDER_H

#include <stddef.h>

/* Makes a new empty folder and writes its path into `folder`; 0 when it could not. */
int make_scratch_folder(char* folder, size_t size);

#endif
