/* SPDX-License-Identifier: MIT */
/* The C interface of libkivocom: the port (CCOMPort) and smart switch (CSmartSwitch) objects, the
   settings-file component, the port list and port mapping, the hooks a program installs and the
   version, for programs in C and for every language that can call C (Python's ctypes, .NET's
   P/Invoke, LabVIEW's library node). Valid C99 and C++.

   Rules that hold for every function here:
   - Status. Every function returns int32_t: 0 when it succeeded, else the library's error number
     (for example KVC_ERR_BAUD_RATE_NOT_SUPPORTED, or a serial-control number such as 8002). The
     only exceptions are the kvc_*_free functions, kvc_free, kvc_version and kvc_last_error_*,
     which return nothing, and kvc_request_download_cancel, which always succeeds. No C++
     exception ever leaves a function.
   - Last error. Every function that returns a status (but kvc_request_download_cancel) leaves the calling thread's last-error
     record: number 0 and empty texts after a success, else the number, the source (class and
     operation, such as "CCOMPort - Let BaudRate"; the function's own name for a fault in its
     arguments) and a description a user can act on. Read it with kvc_last_error_*.
   - Exchanges. kvc_port_write_port, kvc_port_read_port and kvc_port_download report the
     exchange's outcome through `errorcode` (KVC_CE_*), as the C++ interface does; their status is
     0 unless the call itself failed (kvc_port_write_port when the line cannot be opened).
   - Text in: a pointer and a length in bytes; the bytes may hold NUL and bytes above 127.
     KVC_NTS as the length reads the text up to its NUL. A NULL pointer gives the C++ interface's
     default for that argument (an empty text, or "COMPort" and "SmartSwitch" for section names).
   - Text out: the library allocates the buffer and the caller frees it with kvc_free. The length
     is stored through the `*_len` pointer (which may be NULL); one NUL follows the last byte, so a
     text without inner NULs can be used as a C string. After a failure `*text` is NULL.
   - Handles: kvc_port, kvc_switch, kvc_ini and kvc_sim (kivocom_sim_c.h) are opaque; each is made
     by its kvc_*_new and ended by its kvc_*_free (which accepts NULL). A NULL handle or a NULL
     out-pointer where a value is required fails with KVC_ERR_INVALID_ARGUMENT. Using a handle
     after its free, or freeing it twice, is a fault of the program: for kvc_port, kvc_switch and
     kvc_ini the library recognises it as long as no new handle has been given the same address,
     and then fails the call with KVC_ERR_INVALID_ARGUMENT (a kvc_*_free leaves the handle alone
     and records that error), but it cannot promise to; for kvc_sim it is undefined.
   - Booleans are int: 0 is false, any other value true; the library stores 1 for true.
   - Threads: kvc_port, kvc_switch and kvc_ini handles belong to the thread that made them, and
     only that thread may use or free them: a call from another thread fails with
     KVC_ERR_WRONG_THREAD and changes nothing (a kvc_*_free then leaves the handle alive and
     records the error). All ports of one thread share one serial line; the hooks (kvc_set_*)
     apply to the calling thread only. A program whose threads share an instrument gives it one
     thread that makes the port and runs every exchange, and hands it the others' requests. */
#ifndef KIVOCOM_KIVOCOM_C_H
#define KIVOCOM_KIVOCOM_C_H

#include <stddef.h>
#include <stdint.h>

/* Windows programs import these functions from kivocom.dll. A program linked to the static
   library defines KIVOCOM_STATIC (CMake's kivocom::kivocom_static does it for it). */
#if defined(_WIN32) && !defined(KIVOCOM_STATIC) && !defined(KIVOCOM_BUILDING_LIBRARY)
#define KVC_API __declspec(dllimport)
#else
#define KVC_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Numbers ---- */

/* Length argument meaning "up to the text's terminating NUL". */
#define KVC_NTS ((size_t)-1)

/* Outcome of an exchange, through the `errorcode` argument (ECOMError). */
#define KVC_CE_NONE 0         /* the exchange succeeded */
#define KVC_CE_TIMEOUT 1      /* no complete reply within the time-out, on the last attempt */
#define KVC_CE_INVALID_DATA 2 /* the reply holds a character above 128 while the check is on */
#define KVC_CE_ABORTED 3      /* no port chosen, the download was cancelled or the line was lost */

/* Error numbers the library raises (statuses and last-error numbers). */
#define KVC_ERR_CANNOT_OPEN_PORT ((int32_t)-2147221453)        /* 0x80040033: OpenPort failed */
#define KVC_ERR_BAUD_RATE_NOT_SUPPORTED ((int32_t)-2147221450) /* 0x80040036: BaudRate refused */
#define KVC_ERR_NO_PARENT ((int32_t)-2147221449)               /* 0x80040037: switch without port */
#define KVC_ERR_DRAIN_TIMEOUT ((int32_t)-2147221448)           /* 0x80040038: transmit never drained */
#define KVC_ERR_INVALID_PORT_NUMBER 8002  /* no device for this port number */
#define KVC_ERR_HARDWARE_NOT_AVAILABLE 8010 /* another program holds the port */
#define KVC_ERR_DEVICE_NOT_OPEN 8012      /* the device could not be opened */
#define KVC_ERR_CANNOT_SET_COMM_STATE 8015 /* the line settings were refused */
#define KVC_ERR_PORT_NOT_OPEN 8018        /* operation valid only while the line is open */
#define KVC_ERR_READING_DEVICE 8020       /* reading or writing the device failed (a lost line) */
#define KVC_ERR_INVALID_PROPERTY_VALUE 380 /* a value the member cannot take */
#define KVC_ERR_INVALID_ARGUMENT 5        /* a NULL or freed handle, a NULL out-pointer, a bad argument */
#define KVC_ERR_WRONG_THREAD ((int32_t)-2147417842) /* 0x8001010E: the handle belongs to another thread */
#define KVC_ERR_OUT_OF_MEMORY 7           /* the library could not allocate memory */
#define KVC_ERR_INTERNAL 51               /* an unexpected failure inside the library */
#define KVC_ERR_INI_BAD_FILE_NAME 52      /* settings file: no file name was given */
#define KVC_ERR_INI_DEVICE_IO 57          /* settings file: the device failed */
#define KVC_ERR_INI_DISK_FULL 61          /* settings file: no space left */
#define KVC_ERR_INI_PERMISSION_DENIED 70  /* settings file: read-only file or folder */
#define KVC_ERR_INI_FILE_ACCESS 75        /* settings file: a folder, device or binary file */
#define KVC_ERR_INI_PATH_NOT_FOUND 76     /* settings file: the folder does not exist */

/* Port numbers (ECOMPort): any number from 1 may be used; this one means none. */
#define KVC_COM_NONE (-1)

/* Baud rates by index (EBaudRate); kvc_port_baud_rate_name gives their text. */
#define KVC_BAUD_NONE (-1)
#define KVC_BAUD_150 0
#define KVC_BAUD_300 1
#define KVC_BAUD_600 2
#define KVC_BAUD_1200 3
#define KVC_BAUD_2400 4
#define KVC_BAUD_4800 5
#define KVC_BAUD_9600 6
#define KVC_BAUD_19200 7
#define KVC_BAUD_38400 8
#define KVC_BAUD_57600 9
#define KVC_BAUD_115200 10
#define KVC_BAUD_230400 11
#define KVC_BAUD_460800 12
#define KVC_BAUD_921600 13
/* kvc_port_baud_rate_name's index naming the port's current baud rate. */
#define KVC_BAUD_CURRENT (-2)

/* Data bits (EDataBits). */
#define KVC_DATA_4BITS 0
#define KVC_DATA_5BITS 1
#define KVC_DATA_6BITS 2
#define KVC_DATA_7BITS 3
#define KVC_DATA_8BITS 4

/* Stop bits (EStopBits). */
#define KVC_STOP_1BIT 0
#define KVC_STOP_1_5BITS 1
#define KVC_STOP_2BITS 2

/* Parity (EParity). */
#define KVC_PARITY_NONE 0
#define KVC_PARITY_EVEN 1
#define KVC_PARITY_ODD 2
#define KVC_PARITY_MARK 3
#define KVC_PARITY_SPACE 4

/* Controller styles (EControllerStyle): fix the line settings and the framing of commands. */
#define KVC_CS_KIVO 0
#define KVC_CS_OMEGA 1
#define KVC_CS_AZONIX 2
#define KVC_CS_XSYS 3

/* Smart switch models (ESmartSwitchStyle). */
#define KVC_SSS_BB4PORT 0 /* 4 ports, A to D */
#define KVC_SSS_BB8PORT 1 /* 8 ports, A to H */
#define KVC_SSS_BT528AP 2 /* 8 ports, 1 to 8 */

/* Port statuses of kvc_is_com_port_available. */
#define KVC_PORT_AVAILABLE 0 /* the port exists and can be opened */
#define KVC_PORT_NOT_FOUND 2 /* no serial device stands behind the number */
#define KVC_PORT_IN_USE 5    /* held by another program, or closed to this user */

/* States of a listed port (kvc_port_info.state). */
#define KVC_PORT_STATE_FREE 0      /* no visible program holds it and this user may open it */
#define KVC_PORT_STATE_IN_USE 1    /* a program holds it */
#define KVC_PORT_STATE_NO_ACCESS 2 /* this user lacks read and write permission */
#define KVC_PORT_STATE_NETWORK 3   /* mapped to a network port; listing never connects */

/* Message box flags, as the library passes them to a message box handler. */
#define KVC_BOX_OK_ONLY 0
#define KVC_BOX_CRITICAL 0x10
#define KVC_BOX_INFORMATION 0x40
#define KVC_BOX_HELP_BUTTON 0x4000

/* ---- Memory, errors, version ---- */

/* Frees a buffer the library returned (NULL is allowed). */
KVC_API void kvc_free(void* buffer);

/* The calling thread's last error number; 0 when the last call succeeded. */
KVC_API int32_t kvc_last_error_number(void);
/* The last error's source, such as "CCOMPort - Let BaudRate"; owned by the library and valid
   until the thread's next kvc_ call. Its length goes to `*len` when `len` is not NULL. */
KVC_API const char* kvc_last_error_source(size_t* len);
/* The last error's description; owned and valid like kvc_last_error_source. */
KVC_API const char* kvc_last_error_description(size_t* len);
/* Records an error as the thread's last error (number 0 clears it), for layers built on this
   interface that report their own failures the same way. Always returns `number`. */
KVC_API int32_t kvc_set_last_error(int32_t number, const char* source, size_t source_len, const char* description,
                           size_t description_len);

/* The version of the library in use, such as "1.0.0"; a static text. */
KVC_API const char* kvc_version(void);

/* ---- Port objects (CCOMPort) ---- */

typedef struct kvc_port kvc_port;

/* A new port with the defaults: no port, no baud rate, KVC_CS_KIVO, auto-close on, 5 retries,
   3000 ms time-out, line ends stripped, non-ASCII check on, tracing off. */
KVC_API int32_t kvc_port_new(kvc_port** port);
/* Closes the line if it is open, then ends the port (NULL is allowed; see Handles and Threads). */
KVC_API void kvc_port_free(kvc_port* port);

/* Whether a reply character above 128 makes the exchange KVC_CE_INVALID_DATA. */
KVC_API int32_t kvc_port_get_check_non_ascii(const kvc_port* port, int* value);
KVC_API int32_t kvc_port_set_check_non_ascii(kvc_port* port, int value);
/* Whether every exchange closes the line at its end. */
KVC_API int32_t kvc_port_get_auto_close(const kvc_port* port, int* value);
KVC_API int32_t kvc_port_set_auto_close(kvc_port* port, int value);
/* Whether operations append lines to the trace file. */
KVC_API int32_t kvc_port_get_debugging(const kvc_port* port, int* value);
KVC_API int32_t kvc_port_set_debugging(kvc_port* port, int value);
/* Whether opening routes the line through the smart switch and closing releases it. */
KVC_API int32_t kvc_port_get_uses_smart_switch(const kvc_port* port, int* value);
KVC_API int32_t kvc_port_set_uses_smart_switch(kvc_port* port, int value);
/* Whether opening runs the IrDA dongle start-up. */
KVC_API int32_t kvc_port_get_use_irda_dongle(const kvc_port* port, int* value);
KVC_API int32_t kvc_port_set_use_irda_dongle(kvc_port* port, int value);
/* The port number opened next (KVC_COM_NONE for none); any number is stored. */
KVC_API int32_t kvc_port_get_port(const kvc_port* port, int32_t* value);
KVC_API int32_t kvc_port_set_port(kvc_port* port, int32_t value);
/* The controller style (KVC_CS_*); setting one also sets parity, data and stop bits. */
KVC_API int32_t kvc_port_get_controller_style(const kvc_port* port, int32_t* value);
KVC_API int32_t kvc_port_set_controller_style(kvc_port* port, int32_t value);
/* Parity, data bits and stop bits, fixed by the controller style (KVC_PARITY_*, KVC_DATA_*,
   KVC_STOP_*). */
KVC_API int32_t kvc_port_get_parity(const kvc_port* port, int32_t* value);
KVC_API int32_t kvc_port_get_data_bits(const kvc_port* port, int32_t* value);
KVC_API int32_t kvc_port_get_stop_bits(const kvc_port* port, int32_t* value);
/* The line speed (KVC_BAUD_*). Setting a rate outside the minimum and maximum fails with
   KVC_ERR_BAUD_RATE_NOT_SUPPORTED and keeps the old rate. */
KVC_API int32_t kvc_port_get_baud_rate(const kvc_port* port, int32_t* value);
KVC_API int32_t kvc_port_set_baud_rate(kvc_port* port, int32_t value);
/* The lowest and highest accepted baud rates; stored without a check. */
KVC_API int32_t kvc_port_get_min_baud_rate(const kvc_port* port, int32_t* value);
KVC_API int32_t kvc_port_set_min_baud_rate(kvc_port* port, int32_t value);
KVC_API int32_t kvc_port_get_max_baud_rate(const kvc_port* port, int32_t* value);
KVC_API int32_t kvc_port_set_max_baud_rate(kvc_port* port, int32_t value);
/* Transmissions of a command in all, by read and download (1 or less means one). */
KVC_API int32_t kvc_port_get_retries(const kvc_port* port, int16_t* value);
KVC_API int32_t kvc_port_set_retries(kvc_port* port, int16_t value);
/* Milliseconds an exchange waits for a reply, and a download for silence, in each attempt. */
KVC_API int32_t kvc_port_get_timeout(const kvc_port* port, int32_t* value);
KVC_API int32_t kvc_port_set_timeout(kvc_port* port, int32_t value);
/* Whether a read turns line ends into blanks and trims the reply. */
KVC_API int32_t kvc_port_get_strip_crlf(const kvc_port* port, int* value);
KVC_API int32_t kvc_port_set_strip_crlf(kvc_port* port, int value);
/* The thread's serial line (the port's COMControl): whether it is open now. */
KVC_API int32_t kvc_port_get_line_open(const kvc_port* port, int* value);
/* The settings text the thread's serial line was last given, such as "9600,N,8,1". */
KVC_API int32_t kvc_port_get_line_settings(const kvc_port* port, char** text, size_t* text_len);
/* Waits up to `timeout_ms` for received bytes on the thread's open line, then returns and removes
   every byte waiting (empty after the time-out): for answers an exchange does not read, such as an
   omega instrument's acknowledgement of a set frame. Fails with KVC_ERR_PORT_NOT_OPEN when the
   line is closed. */
KVC_API int32_t kvc_port_line_input(kvc_port* port, int32_t timeout_ms, char** bytes, size_t* bytes_len);
/* Transmits `bytes` on the thread's open line exactly as given (no lone CR, no framing, no
   clearing) and waits until they are on the wire: for programs that speak the instrument's
   protocol byte by byte. Fails with KVC_ERR_PORT_NOT_OPEN when the line is closed, and with the
   drain-time-out error when the bytes cannot leave. */
KVC_API int32_t kvc_port_line_output(kvc_port* port, const char* bytes, size_t bytes_len);
/* The text WritePort puts on the line for `cmd` with `address`, before its final CR: the command
   framed for the port's controller style (an omega poll frame), leading and trailing blanks
   removed. */
KVC_API int32_t kvc_port_frame_command(const kvc_port* port, const char* cmd, size_t cmd_len, const char* address,
                               size_t address_len, char** text, size_t* text_len);

/* The text of baud rate `index` ("150" ... "921600", "2400" for any other index);
   KVC_BAUD_CURRENT names the port's current rate. */
KVC_API int32_t kvc_port_baud_rate_name(const kvc_port* port, int32_t index, char** text, size_t* text_len);
/* Whether both the baud rate and the port number are chosen. */
KVC_API int32_t kvc_port_is_configured(const kvc_port* port, int* value);
/* Empties both buffers of the serial line; fails with KVC_ERR_PORT_NOT_OPEN when it is closed. */
KVC_API int32_t kvc_port_clear_buffers(kvc_port* port);

/* Closes the line, applies this port's number and settings, opens it, routes the smart switch to
   `ssport` (when used and not empty) and runs the IrDA start-up (when used). `*opened` is 0 when
   no port is chosen; fails with KVC_ERR_CANNOT_OPEN_PORT when the line cannot be opened. */
KVC_API int32_t kvc_port_open_port(kvc_port* port, const char* ssport, size_t ssport_len, int* opened);
/* Releases the switch port (when used) and closes the line; nothing when it is closed. */
KVC_API int32_t kvc_port_close_port(kvc_port* port);
/* Opens the line and steps the smart switch through all its ports, 200 ms each, then closes. */
KVC_API int32_t kvc_port_test_smart_switch(kvc_port* port);

/* Sends `cmd`, framed for the controller style, preceded by a lone CR and ended by CR; `set` is
   the value of an omega set frame. `*errorcode` is KVC_CE_ABORTED when no port is chosen; a line
   that cannot be opened fails the call. */
KVC_API int32_t kvc_port_write_port(kvc_port* port, int32_t* errorcode, const char* cmd, size_t cmd_len, const char* ssport,
                            size_t ssport_len, const char* address, size_t address_len, const char* set,
                            size_t set_len);
/* Sends `cmd` and returns the reply (complete at an LF, or at the time-out when it holds a CR),
   retrying silent attempts; `*errorcode` is KVC_CE_NONE, _TIMEOUT, _INVALID_DATA or _ABORTED.
   The reply is returned whatever the outcome: after a time-out, whatever the last attempt
   received (a reply without its line end, or nothing); empty when aborted. Fails only for bad
   arguments or lack of memory. */
KVC_API int32_t kvc_port_read_port(kvc_port* port, int32_t* errorcode, const char* cmd, size_t cmd_len, const char* ssport,
                           size_t ssport_len, const char* address, size_t address_len, char** reply,
                           size_t* reply_len);
/* Sends `cmd` and returns everything received until the line stays silent for the time-out,
   showing progress through the thread's progress window (kvc_set_progress_window), which may
   cancel; `readings` is only the progress total. `*errorcode` is KVC_CE_NONE, _TIMEOUT or
   _ABORTED (cancelled, or the line was lost: the data so far is returned). */
KVC_API int32_t kvc_port_download(kvc_port* port, int binary, int32_t* errorcode, const char* cmd, size_t cmd_len,
                          const char* ssport, size_t ssport_len, const char* address, size_t address_len,
                          int32_t readings, char** data, size_t* data_len);
/* Why the last read or download ended early: the lost line (8020) or the failed reopening after
   it; number 0 when the line held. `source` and `description` may be NULL when not wanted. */
KVC_API int32_t kvc_port_line_error(const kvc_port* port, int32_t* number, char** source, size_t* source_len,
                            char** description, size_t* description_len);

/* An image combo the port list fills, as callbacks on the program's own widget. Each callback
   returns 0, or an error number that ends the fill with that number as its error. */
typedef struct kvc_image_combo {
  void* user; /* passed back to every callback */
  /* Removes every item. */
  int32_t (*clear)(void* user);
  /* Appends an item (unique key, text, image number) and stores its index in `*item`. */
  int32_t (*add)(void* user, const char* key, size_t key_len, const char* text, size_t text_len, int32_t image,
                 int32_t* item);
  /* Sets the tag text of item `item`. */
  int32_t (*set_tag)(void* user, int32_t item, const char* tag, size_t tag_len);
  /* Selects (nonzero) item `item`. */
  int32_t (*set_selected)(void* user, int32_t item, int selected);
} kvc_image_combo;

/* A combo or list box whose items carry a number: the baud-rate list. Callbacks as above. */
typedef struct kvc_list_control {
  void* user; /* passed back to every callback */
  /* Removes every item. */
  int32_t (*clear)(void* user);
  /* Appends an item with the given text. */
  int32_t (*add_item)(void* user, const char* text, size_t text_len);
  /* Stores the index of the item added last in `*index`. */
  int32_t (*new_index)(void* user, int32_t* index);
  /* Sets the number carried by the item at `index`. */
  int32_t (*item_data)(void* user, int32_t index, int32_t value);
} kvc_list_control;

/* Fills `combo` with the ports present (1 to 256), marking ports in use, the current port and
   the IrDA port, and selects `current_port`. Every callback must be set. */
KVC_API int32_t kvc_port_fill_com_ports_combo(kvc_port* port, const kvc_image_combo* combo, int16_t current_port);
/* Fills `list` with the baud rates from the minimum to the maximum, each carrying its index. */
KVC_API int32_t kvc_port_fill_baud_rates_combo(kvc_port* port, const kvc_list_control* list);

typedef struct kvc_ini kvc_ini;

/* Saves the port's settings in section `secname` (NULL: "COMPort") and its switch's in
   "<secname> - SmartSwitch", through `ini`, or through a settings file `fname` when `ini` is
   NULL. A failure shows the library's error box (the message box handler); the status is 0. */
KVC_API int32_t kvc_port_write_to_file(kvc_port* port, kvc_ini* ini, const char* fname, size_t fname_len,
                               const char* secname, size_t secname_len);
/* Loads the settings and the switch's; `*complete` is 1 only when every key was found and nothing
   failed. Missing keys show an information box, failures an error box. */
KVC_API int32_t kvc_port_read_from_file(kvc_port* port, kvc_ini* ini, const char* fname, size_t fname_len,
                                const char* secname, size_t secname_len, int* complete);
/* Appends one line (time stamp, TAB, `text`) to the trace file, whatever debugging holds. */
KVC_API int32_t kvc_port_update_debug_file(kvc_port* port, const char* text, size_t text_len);

/* ---- Smart switches (CSmartSwitch) ---- */

typedef struct kvc_switch kvc_switch;

/* A new switch: model KVC_SSS_BB8PORT, 8 ports, no port connected, no parent. */
KVC_API int32_t kvc_switch_new(kvc_switch** sw);
/* Ends the switch (NULL is allowed). */
KVC_API void kvc_switch_free(kvc_switch* sw);
/* The name of the connected switch port; empty when none is connected. */
KVC_API int32_t kvc_switch_get_current_port(const kvc_switch* sw, char** text, size_t* text_len);
/* The model (KVC_SSS_*); setting it also sets the port count (4 or 8; other values keep it). */
KVC_API int32_t kvc_switch_get_style(const kvc_switch* sw, int32_t* value);
KVC_API int32_t kvc_switch_set_style(kvc_switch* sw, int32_t value);
/* The number of ports of the model. */
KVC_API int32_t kvc_switch_get_num_ports(const kvc_switch* sw, int16_t* value);
/* Makes `parent` the port whose line carries the switch's commands (NULL for none); the switch
   never keeps the port alive. */
KVC_API int32_t kvc_switch_set_parent(kvc_switch* sw, kvc_port* parent);
/* The parent port, or NULL when there is none or it has been freed. */
KVC_API int32_t kvc_switch_get_parent(const kvc_switch* sw, kvc_port** parent);
/* Saves the model and port count in section `secname` (NULL: "SmartSwitch"), as
   kvc_port_write_to_file does. */
KVC_API int32_t kvc_switch_write_to_file(kvc_switch* sw, kvc_ini* ini, const char* fname, size_t fname_len,
                                 const char* secname, size_t secname_len);
/* Loads the model and port count; `*complete` is 1 only when both keys were found. */
KVC_API int32_t kvc_switch_read_from_file(kvc_switch* sw, kvc_ini* ini, const char* fname, size_t fname_len,
                                  const char* secname, size_t secname_len, int* complete);

/* ---- Settings files (KivoINIFile) ---- */

/* A settings-file object with no file and no section named yet. Every read reads the file afresh
   and every write reaches the disk at once, changing only that one value. */
KVC_API int32_t kvc_ini_new(kvc_ini** ini);
/* Ends the object (NULL is allowed). */
KVC_API void kvc_ini_free(kvc_ini* ini);
/* Names the settings file; fails with KVC_ERR_INI_BAD_FILE_NAME when empty. */
KVC_API int32_t kvc_ini_set_file_name(kvc_ini* ini, const char* name, size_t name_len);
KVC_API int32_t kvc_ini_get_file_name(const kvc_ini* ini, char** text, size_t* text_len);
/* Names the section later reads and writes address; fails with KVC_ERR_INVALID_ARGUMENT when it
   is blank or holds "]", a line break or NUL. */
KVC_API int32_t kvc_ini_set_section(kvc_ini* ini, const char* section, size_t section_len);
KVC_API int32_t kvc_ini_get_section(const kvc_ini* ini, char** text, size_t* text_len);
/* Reads `key`: `*found` is 1 and the value stored when the key holds a value of the type, else
   `*found` is 0 and the value untouched (a text reads as NULL). */
KVC_API int32_t kvc_ini_read_boolean(kvc_ini* ini, const char* key, size_t key_len, int* value, int* found);
KVC_API int32_t kvc_ini_read_integer(kvc_ini* ini, const char* key, size_t key_len, int16_t* value, int* found);
KVC_API int32_t kvc_ini_read_long(kvc_ini* ini, const char* key, size_t key_len, int32_t* value, int* found);
KVC_API int32_t kvc_ini_read_string(kvc_ini* ini, const char* key, size_t key_len, char** text, size_t* text_len,
                            int* found);
/* Stores a value under `key` ("True"/"False", decimal numbers, or the text, which may not hold
   a line break or NUL). */
KVC_API int32_t kvc_ini_write_boolean(kvc_ini* ini, const char* key, size_t key_len, int value);
KVC_API int32_t kvc_ini_write_integer(kvc_ini* ini, const char* key, size_t key_len, int16_t value);
KVC_API int32_t kvc_ini_write_long(kvc_ini* ini, const char* key, size_t key_len, int32_t value);
KVC_API int32_t kvc_ini_write_string(kvc_ini* ini, const char* key, size_t key_len, const char* value, size_t value_len);

/* ---- Ports of this machine ---- */

/* One present serial port. Its texts are NUL-terminated and owned by the list. */
typedef struct kvc_port_info {
  int32_t number;             /* the COM number, 1 to 256 */
  const char* device_path;    /* the path the number resolves to */
  const char* device_node;    /* that path with links followed, such as /dev/ttyUSB0 */
  int32_t state;              /* KVC_PORT_STATE_* */
  int32_t holder_pid;         /* the process holding the port, when visible; else 0 */
  const char* holder_program; /* that process's program name, when visible; else "" */
  int is_usb;                 /* nonzero for a USB adapter; the fields below are then set */
  uint16_t usb_vendor_id;     /* such as 0x0403 */
  uint16_t usb_product_id;    /* such as 0x6001 */
  const char* usb_serial_number; /* may be "" */
  const char* usb_manufacturer;  /* may be "" */
  const char* usb_product;       /* may be "" */
} kvc_port_info;

/* Every present port among 1 to 256, in ascending order, without opening any. Free the list with
   kvc_free_port_list. */
KVC_API int32_t kvc_list_ports(kvc_port_info** ports, size_t* count);
/* Frees a list from kvc_list_ports (NULL is allowed). */
KVC_API void kvc_free_port_list(kvc_port_info* ports, size_t count);
/* KVC_PORT_AVAILABLE, KVC_PORT_NOT_FOUND or KVC_PORT_IN_USE for port number `port`. */
KVC_API int32_t kvc_is_com_port_available(int32_t port, int32_t* status);
/* Maps port number `port` to the device `path` (such as /dev/ttyUSB0, /dev/pts/3 or
   rfc2217://host:port) for this process; an empty path removes the mapping. A path holding a NUL
   fails with KVC_ERR_INVALID_ARGUMENT. */
KVC_API int32_t kvc_map_port(int32_t port, const char* path, size_t path_len);
/* Maps the device `path` to a port number of its own for this process and stores it in `*port`:
   the number the environment or the ports folder already gives that very device, else the
   highest number from 256 down that names nothing yet (no mapping, no environment value or
   ports-folder entry, no device under the system's own name). No number is given twice while
   its mapping stands. Fails with KVC_ERR_INVALID_PORT_NUMBER when no number is free. */
KVC_API int32_t kvc_map_device(const char* path, size_t path_len, int32_t* port);
/* Removes the mapping of `port` only while it still names `path`, so that a number handed out
   by kvc_map_device is never taken from another owner; `*removed` says whether it was. */
KVC_API int32_t kvc_unmap_device(int32_t port, const char* path, size_t path_len, int* removed);
/* The device path port number `port` resolves to (it may not exist); empty below 1. */
KVC_API int32_t kvc_port_device_path(int32_t port, char** text, size_t* text_len);
/* The ports folder whose "com<n>" links name devices. */
KVC_API int32_t kvc_ports_folder(char** text, size_t* text_len);

/* ---- Hooks of the calling thread ---- */

/* Shows one of the library's message boxes; returns when the user has closed it. Line breaks in
   `prompt` are single CR characters. */
typedef void (*kvc_message_box_fn)(void* user, const char* prompt, size_t prompt_len, int32_t flags,
                                   const char* title, size_t title_len, const char* help_file, size_t help_file_len,
                                   int32_t help_context);
/* Installs the thread's message box handler; NULL returns to the system's (standard error). */
KVC_API int32_t kvc_set_message_box_handler(kvc_message_box_fn show, void* user);

/* The progress window of a download, as callbacks; any callback may be NULL. */
typedef struct kvc_progress_window {
  void* user; /* passed back to every callback */
  /* Shows the window's text ("Downloading..."). */
  void (*set_message)(void* user, const char* text, size_t text_len);
  /* Shows (nonzero) or hides the window. */
  void (*set_visible)(void* user, int visible);
  /* Reports `done` readings of `total`, `bytes` characters so far; returns nonzero to cancel. */
  int (*report_progress)(void* user, int32_t total, int32_t done, int64_t bytes);
  /* Removes the window: the download has ended. */
  void (*close_window)(void* user);
} kvc_progress_window;
/* Installs the thread's progress window (the structure is copied); NULL returns to the system's
   window (a bar on a terminal's standard error). */
KVC_API int32_t kvc_set_progress_window(const kvc_progress_window* window);
/* Asks the running download of this process to stop at its next progress report, as a cancel
   does; safe to call from a signal handler or another thread. */
KVC_API int32_t kvc_request_download_cancel(void);

/* Runs the program's pending events during the library's waits and downloads. */
typedef void (*kvc_message_pump_fn)(void* user);
/* Installs the thread's message pump; NULL returns to the system's. */
KVC_API int32_t kvc_set_message_pump(kvc_message_pump_fn pump, void* user);

/* Sets the folder of the trace file "dbgkcom.txt" for the whole process (the environment value
   KIVOCOM_TRACE_DIR); an empty path returns to the library's own folder. */
KVC_API int32_t kvc_set_trace_folder(const char* path, size_t path_len);
/* The folder the trace file is written to now. */
KVC_API int32_t kvc_get_trace_folder(char** text, size_t* text_len);
/* The full path of the trace file. */
KVC_API int32_t kvc_trace_file_path(char** text, size_t* text_len);

/* Waits at least `milliseconds`, running the thread's message pump throughout. */
KVC_API int32_t kvc_wait_milliseconds(int32_t milliseconds);

#ifdef __cplusplus
}
#endif

#endif /* KIVOCOM_KIVOCOM_C_H */
