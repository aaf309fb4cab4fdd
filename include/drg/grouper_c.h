/* The DRG grouper as a plain C library, for programs in other languages.
 *
 * Handles are opaque. A release is immutable once opened: any number of
 * workers on any number of threads may group against it at once. A worker
 * belongs to one thread at a time. Closing a release while workers still use
 * it is safe: it is freed with the last of them.
 *
 * Functions return DRG_OK or a negative status; drg_last_error() then gives
 * a text for the calling thread's last failure. */
#ifndef DRG_GROUPER_C_H
#define DRG_GROUPER_C_H

#include <stddef.h>

#include "drg/export.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct drg_release drg_release;
typedef struct drg_worker drg_worker;

/* The result columns of a grouped record, as written into it. */
typedef struct drg_result {
    char mdc[4];
    char adrg[5];
    char drg[7];
    int pccl;
} drg_result;

#define DRG_OK 0
#define DRG_INIT_ERROR (-1)       /* a table file is missing, short, unreadable or out of bounds */
#define DRG_COUNT_ERROR (-2)      /* a table count differs from the table it must match */
#define DRG_REFUSED (-3)          /* the condition kinds disagree with the derived conditions */
#define DRG_INVALID_ARGUMENT (-4) /* a null handle or pointer, or a record under 305 bytes */
#define DRG_BUFFER_TOO_SMALL (-5) /* the output buffer cannot hold the grouped line */
#define DRG_OUT_OF_MEMORY (-6)

/* Opens the release in `directory`; *release is set on success and NULL
 * on any failure. */
DRG_API int drg_release_open(const char* directory, drg_release** release);
DRG_API void drg_release_close(drg_release* release);

/* *worker is set on success and NULL on any failure. */
DRG_API int drg_worker_new(const drg_release* release, drg_worker** worker);
DRG_API void drg_worker_free(drg_worker* worker);

/* The bytes drg_group_line writes for an input line of `length` bytes; 0
 * for a null line of non-zero length, which drg_group_line refuses. */
DRG_API size_t drg_grouped_length(const char* line, size_t length);

/* Groups one input line (any length, with or without its line end) into
 * `out` exactly as the batch program writes it; *written receives its length.
 * `out` may overlap `line` (grouping in place); `line` may be null when
 * `length` is 0; `result` may be null. Grouping, and failing to, allocates
 * nothing. */
DRG_API int drg_group_line(drg_worker* worker, const char* line, size_t length, char* out, size_t capacity,
                           size_t* written, drg_result* result);

/* Groups a record of at least 305 bytes (no line end) in place. */
DRG_API int drg_group_record(drg_worker* worker, char* record, size_t length, drg_result* result);

/* The library version, "1.0". */
DRG_API const char* drg_library_version(void);

/* The text of the calling thread's last failure ("" when none). */
DRG_API const char* drg_last_error(void);

#ifdef __cplusplus
}
#endif

#endif
