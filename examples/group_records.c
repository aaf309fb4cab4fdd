/* Groups every line of a record file with a release, through the plain C
 * interface alone, and writes the grouped lines to standard output.
 *
 *     group_records TABLE_DIR INPUT
 */
#define _POSIX_C_SOURCE 200809L  /* getline */
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <drg/grouper_c.h>

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: %s TABLE_DIR INPUT\n", argv[0]);
        return 2;
    }
    drg_release* release = NULL;
    if (drg_release_open(argv[1], &release) != DRG_OK) {
        fprintf(stderr, "%s: %s\n", argv[1], drg_last_error());
        return 1;
    }
    drg_worker* worker = NULL;
    if (drg_worker_new(release, &worker) != DRG_OK) {
        fprintf(stderr, "%s\n", drg_last_error());
        drg_release_close(release);
        return 1;
    }
    /* The worker keeps the release alive; the caller's handle may go now. */
    drg_release_close(release);

    FILE* in = fopen(argv[2], "rb");
    if (!in) {
        fprintf(stderr, "%s: cannot be opened\n", argv[2]);
        drg_worker_free(worker);
        return 1;
    }
    char* line = NULL;
    size_t lineCapacity = 0;
    char* out = NULL;
    size_t outCapacity = 0;
    ssize_t length;
    int status = 0;
    long records = 0;
    errno = 0;
    while ((length = getline(&line, &lineCapacity, in)) > 0) {
        size_t needed = drg_grouped_length(line, (size_t)length);
        if (needed > outCapacity) {
            free(out);
            outCapacity = needed;
            out = malloc(outCapacity);
            if (!out) {
                status = 1;
                break;
            }
        }
        size_t written = 0;
        drg_result result;
        if (drg_group_line(worker, line, (size_t)length, out, outCapacity, &written, &result) != DRG_OK) {
            fprintf(stderr, "record %ld: %s\n", records + 1, drg_last_error());
            status = 1;
            break;
        }
        if (fwrite(out, 1, written, stdout) != written) {
            fprintf(stderr, "output: %s\n", strerror(errno));
            status = 1;
            break;
        }
        ++records;
    }
    /* getline returns -1 at the end of the input and on a read error alike. */
    if (status == 0 && ferror(in)) {
        fprintf(stderr, "%s: %s\n", argv[2], strerror(errno));
        status = 1;
    }
    /* Buffered output may fail only when it is flushed. */
    if (fflush(stdout) != 0 && status == 0) {
        fprintf(stderr, "output: %s\n", strerror(errno));
        status = 1;
    }
    free(line);
    free(out);
    fclose(in);
    drg_worker_free(worker);
    fprintf(stderr, "%ld records grouped\n", records);
    return status;
}
