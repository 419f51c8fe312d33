/* Checks RQ_File through its C interface, one check per line of the file
 * named on the command line, all in one run (each start of a program under
 * Wine costs time). Fields are separated by tabs; "-" is an empty field.
 *
 *   pack PACK PASSWORD PATH EXPECTED   PATH in PACK holds the bytes of the
 *                                      file EXPECTED ("-": cannot be read)
 *   loose PACK FOLDER PATH EXPECTED    the same with external lookup in FOLDER
 *   plain FILE EXPECTED                the disk file FILE, opened as a file
 *   write FILE TEXT                    TEXT written to FILE reads back
 *
 * Every path is handed over as it stands in the file: UTF-8 or GBK bytes.
 * Prints one line per failed check and a count; exit status 1 on any. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <rq_file.h>

enum { kFields = 5, kLine = 4096 };

static int failures;
static int line_number;

static void fail(const char* what)
{
    printf("line %d: %s\n", line_number, what);
    ++failures;
}

/* The whole file at path, its length in *length; NULL when it cannot be read. */
static char* slurp(rq_file* reader, const char* path, uint32_t* length)
{
    char* bytes;
    if (!rq_file_open(reader, path, 1, 0, NULL)) return NULL;
    *length = rq_file_length(reader);
    bytes = malloc((size_t)*length + 1);
    if (bytes && !rq_file_read(reader, bytes, 0)) {
        free(bytes);
        bytes = NULL;
    }
    return bytes;
}

/* The selected file must read as the file `expected` holds, whole into the
 * reader's buffer and in part into the caller's. */
static void expect_selected(rq_file* reader, const char* expected)
{
    rq_file* disk = rq_file_create();
    uint32_t length = 0;
    char* want = slurp(disk, expected, &length);
    char part[4];
    uint32_t some = length < 3 ? length : 3;
    if (!want) {
        fail("the expected file cannot be read");
    } else if (rq_file_length(reader) != length) {
        fail("another length");
    } else if (!rq_file_read(reader, NULL, 0) || memcmp(rq_file_data(reader), want, length) != 0 ||
               rq_file_data(reader)[length] != '\0') {
        fail("other bytes in the reader's buffer");
    } else if (!rq_file_read(reader, part, some) || memcmp(part, want, some) != 0 || part[some] != '\0') {
        fail("other bytes in the caller's buffer");
    }
    free(want);
    rq_file_destroy(disk);
}

static void expect_failure(rq_file* reader)
{
    char buffer[1] = {'x'};
    if (rq_file_length(reader) != 0 || rq_file_read(reader, buffer, 0) || buffer[0] != '\0')
        fail("a file that should fail left a length or bytes");
}

static void check_pack(rq_file* reader, char** f, int loose)
{
    int opened;
    rq_file_enable_ext(reader, loose);
    rq_file_set_ext(reader, loose ? f[2] : NULL);
    opened = rq_file_open(reader, f[1], 1, 1, loose ? NULL : f[2]);
    if (!opened) {
        if (strcmp(f[4], "-") != 0) fail("the pack does not open");
        return;
    }
    if (rq_file_locate(reader, f[3], NULL)) {
        if (strcmp(f[4], "-") == 0)
            fail("a path that should fail was found");
        else
            expect_selected(reader, f[4]);
    } else if (strcmp(f[4], "-") != 0) {
        fail("the path is not found");
    } else {
        expect_failure(reader);
    }
}

static void check_plain(rq_file* reader, char** f)
{
    if (!rq_file_open(reader, f[1], 1, 0, NULL))
        fail("the file does not open");
    else
        expect_selected(reader, f[2]);
}

static void check_write(rq_file* reader, char** f)
{
    rq_file* writer = rq_file_create();
    uint32_t length = 0;
    char* back;
    const uint32_t size = (uint32_t)strlen(f[2]);
    if (!rq_file_open(writer, f[1], 0, 0, NULL) || !rq_file_write(writer, f[2], size) || rq_file_length(writer) != size)
        fail("the file cannot be written");
    rq_file_destroy(writer); /* puts the file in place */
    back = slurp(reader, f[1], &length);
    if (!back || length != size || memcmp(back, f[2], size) != 0) fail("the written file reads back otherwise");
    free(back);
}

int main(int argc, char** argv)
{
    char line[kLine];
    FILE* checks;
    int count = 0;
    if (argc != 2 || !(checks = fopen(argv[1], "rb"))) {
        fputs("usage: reader_checks CHECKS\n", stderr);
        return 2;
    }
    while (fgets(line, sizeof line, checks)) {
        char* f[kFields] = {0};
        int n = 0;
        char* at = line;
        rq_file* reader = rq_file_create();
        ++line_number;
        line[strcspn(line, "\r\n")] = '\0';
        while (n < kFields && at) {
            f[n++] = at;
            at = strchr(at, '\t');
            if (at) *at++ = '\0';
        }
        for (int i = 0; i < n; ++i)
            if (strcmp(f[i], "-") == 0 && i > 0 && i < n - 1) f[i] = (char*)"";
        if (n == 5 && strcmp(f[0], "pack") == 0)
            check_pack(reader, f, 0);
        else if (n == 5 && strcmp(f[0], "loose") == 0)
            check_pack(reader, f, 1);
        else if (n == 3 && strcmp(f[0], "plain") == 0)
            check_plain(reader, f);
        else if (n == 3 && strcmp(f[0], "write") == 0)
            check_write(reader, f);
        else
            fail("not a check");
        rq_file_destroy(reader);
        ++count;
    }
    fclose(checks);
    printf("%d checks, %d failed\n", count, failures);
    return failures ? 1 : 0;
}
