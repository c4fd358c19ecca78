/* SPDX-License-Identifier: MIT */
/* The C interface of the instrument simulator (libkivocom_simulator, beside libkivocom): plays
   laboratory instruments, optionally behind a smart switch, on the far end of a pseudo-terminal,
   so that programs in any language test their own exchanges without instruments. Map a port
   number to its device with kvc_map_port(n, path, len) and every exchange travels a real line to
   an instrument that answers as configured (kivocom/simulator.h tells the protocol in full).

   The rules of kivocom_c.h hold here too: a status from every function, the thread's last-error
   record, texts in as pointer and length (KVC_NTS: up to the NUL), texts out in buffers freed
   with kvc_free. Unlike the port objects, a simulator may be used from any thread. The shared
   library is built on POSIX systems; the static simulator library holds these functions too. */
#ifndef KIVOCOM_KIVOCOM_SIM_C_H
#define KIVOCOM_KIVOCOM_SIM_C_H

#include <stddef.h>
#include <stdint.h>

#include "kivocom/kivocom_c.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct kvc_sim kvc_sim;

/* How an instrument's answers travel on the line. */
typedef struct kvc_sim_behaviour {
  int64_t reply_delay_us; /* from the command's CR to the answer; negative: the default (10 ms or more) */
  int paced;              /* nonzero sends answers at the line's rate; 0 sends each piece at once */
  size_t piece_size;      /* splits answers into pieces of this many bytes; 0 sends one piece */
  int32_t piece_gap_ms;   /* silence between two pieces */
  int silent;             /* nonzero answers nothing (the command is still recorded) */
  int64_t unplug_after;   /* closes the far end after this many bytes of the next answer; negative never */
  int echo;               /* nonzero sends back every byte the line brings, as a local-echo line does */
} kvc_sim_behaviour;

/* Fills `behaviour` with the defaults: default delay, paced, one piece, answering, never
   unplugging, no echo. */
int32_t kvc_sim_behaviour_default(kvc_sim_behaviour* behaviour);

/* Opens a pseudo-terminal pair and starts answering; fails with 8012 when the system gives none. */
int32_t kvc_sim_new(kvc_sim** sim);
/* Stops the simulator; its device disappears (NULL is allowed). Using the simulator after its
   free, or freeing it twice, is undefined. */
void kvc_sim_free(kvc_sim* sim);
/* The device the library opens, such as /dev/pts/3. */
int32_t kvc_sim_device_path(const kvc_sim* sim, char** text, size_t* text_len);
/* The line's rate in bits per second (9600 until set), for pacing and the default delay; a rate
   below 1 fails with KVC_ERR_INVALID_PROPERTY_VALUE. */
int32_t kvc_sim_set_baud_rate(kvc_sim* sim, int32_t bits_per_second);
int32_t kvc_sim_get_baud_rate(const kvc_sim* sim, int32_t* bits_per_second);

/* Adds an instrument of controller style `style` (KVC_CS_*) with `address` (omega style, such as
   "01"; NULL for none) on switch port `switch_port` (NULL or empty: directly on the line) and
   stores its id in `*id`. It answers "+0023.45" to any command until told otherwise. */
int32_t kvc_sim_add_instrument(kvc_sim* sim, int32_t style, const char* address, size_t address_len,
                               const char* switch_port, size_t switch_port_len, size_t* id);
/* Sets the instrument's answer to `command` (without the line end; any bytes). */
int32_t kvc_sim_set_reply(kvc_sim* sim, size_t id, const char* command, size_t command_len, const char* reply,
                          size_t reply_len);
/* The instrument's answer to `command` now (omega set frames store values here); `*found` is 0
   and `*reply` NULL when the command has no answer of its own. */
int32_t kvc_sim_get_reply(const kvc_sim* sim, size_t id, const char* command, size_t command_len, char** reply,
                          size_t* reply_len, int* found);
/* The answer to commands missing from its replies; NULL leaves them unanswered. */
int32_t kvc_sim_set_default_reply(kvc_sim* sim, size_t id, const char* reply, size_t reply_len);
/* Omega style: the answer to a good set frame (ACK by default); NULL leaves sets unanswered. */
int32_t kvc_sim_set_acknowledgement(kvc_sim* sim, size_t id, const char* text, size_t text_len);
/* What ends every answer; NULL: the style's own (CR alone for KVC_CS_AZONIX, else CR LF). */
int32_t kvc_sim_set_line_end(kvc_sim* sim, size_t id, const char* text, size_t text_len);
/* Sets how the instrument's answers travel. */
int32_t kvc_sim_set_behaviour(kvc_sim* sim, size_t id, const kvc_sim_behaviour* behaviour);
/* Gives the instrument `count` stored readings, streamed when `command` arrives: text readings
   ending CR LF, or (binary nonzero) a 4-digit count then 10-byte records; `per_piece` readings in
   each piece (0: one piece) with `gap_ms` of silence between pieces. */
int32_t kvc_sim_set_download(kvc_sim* sim, size_t id, const char* command, size_t command_len, int32_t count,
                             int binary, int32_t per_piece, int32_t gap_ms);

/* A program's own answers for instrument `id` (kivo, azonix or xsys style): `answer` is called on
   the simulator's thread with every command the instrument hears, before its reply table. It
   returns nonzero and sets `*text`/`*text_len` to the answer (without the line end; it must stay
   valid until the function's next call), or returns 0 to use the reply table. It must not call
   the simulator. NULL removes the function. */
typedef int (*kvc_sim_answer_fn)(void* user, const char* command, size_t command_len, const char** text,
                                 size_t* text_len);
int32_t kvc_sim_set_answer_function(kvc_sim* sim, size_t id, kvc_sim_answer_fn answer, void* user);

/* Puts a smart switch of `model` (KVC_SSS_*) in front of the instruments, no port connected. */
int32_t kvc_sim_use_smart_switch(kvc_sim* sim, int32_t model);
/* Takes the smart switch away. */
int32_t kvc_sim_remove_smart_switch(kvc_sim* sim);
/* The switch port connected now; empty when none is or there is no switch. */
int32_t kvc_sim_connected_switch_port(const kvc_sim* sim, char** text, size_t* text_len);

/* Every byte received from the library since the start or the last clearing, in order. */
int32_t kvc_sim_received(const kvc_sim* sim, char** bytes, size_t* bytes_len);
/* Forgets the bytes received so far. */
int32_t kvc_sim_clear_received(kvc_sim* sim);
/* Waits until `sequence` appears in the received bytes; `*arrived` is 0 when `timeout_ms`
   passed first. */
int32_t kvc_sim_wait_for_received(const kvc_sim* sim, const char* sequence, size_t sequence_len, int32_t timeout_ms,
                                  int* arrived);

/* Closes the far end now, as when the adapter is pulled out. */
int32_t kvc_sim_unplug(kvc_sim* sim);
/* Whether the far end has been closed. */
int32_t kvc_sim_unplugged(const kvc_sim* sim, int* value);

#ifdef __cplusplus
}
#endif

#endif /* KIVOCOM_KIVOCOM_SIM_C_H */
