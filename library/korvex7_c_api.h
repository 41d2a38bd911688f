/* A plain C interface to the machine data library, for languages that cannot
 * use the C++ interface of korvex7.h.
 *
 * A handle is one library object: create it, connect it, append commands or
 * process the log, destroy it. Functions returning int give 1 for success and
 * 0 for failure; on failure the error text is copied into `error` (at most
 * `error_size` bytes including the terminating NUL; `error` may be NULL when
 * error_size is 0), and on success `error` holds "". Nothing is thrown across
 * this interface. A handle is used by the thread that created it. */
#ifndef VOLTRANE_LIBRARY_KORVEX7_C_API_H_
#define VOLTRANE_LIBRARY_KORVEX7_C_API_H_

#include <stddef.h>
#include <stdint.h>

#include "library/export.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct korvex7_handle korvex7_handle;

/* NULL when the object cannot be created. */
VOLTRANE_EXPORT korvex7_handle* korvex7_create(void);
VOLTRANE_EXPORT void korvex7_destroy(korvex7_handle* handle);

VOLTRANE_EXPORT int korvex7_connect(korvex7_handle* handle, const char* connection_string, int32_t database_type,
                    char* error, size_t error_size);
VOLTRANE_EXPORT int korvex7_is_connected(korvex7_handle* handle);
VOLTRANE_EXPORT int korvex7_append2(korvex7_handle* handle, const char* machine_number, int32_t command_type_code,
                    const char* param, int32_t command_time_code, char* error, size_t error_size);
/* 1 when a log row was processed; 0 with "" in `error` when the log is empty. */
VOLTRANE_EXPORT int korvex7_do_next(korvex7_handle* handle, char* error, size_t error_size);
/* The number of rows waiting in the log, or -1 with the error text. */
VOLTRANE_EXPORT int32_t korvex7_log_count(korvex7_handle* handle, char* error, size_t error_size);
/* 1 when the last korvex7_do_next failed on a log row: its MDC_LOG_ID and its
 * failed attempts so far (earlier runs included) are stored where the
 * pointers are not NULL, and `text` receives one line naming the row, its
 * machine and command, and the error. 0 otherwise, with "" in `text`. */
VOLTRANE_EXPORT int korvex7_last_failed_row(korvex7_handle* handle, int32_t* mdc_log_id,
                                            int32_t* attempts, char* text, size_t text_size);
/* Commits the rows processed so far (otherwise committed in batches). */
VOLTRANE_EXPORT int korvex7_commit(korvex7_handle* handle, char* error, size_t error_size);

#ifdef __cplusplus
}
#endif

#endif /* VOLTRANE_LIBRARY_KORVEX7_C_API_H_ */
