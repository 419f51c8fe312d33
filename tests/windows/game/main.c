/* Prints one file of a pack: game PACK PATH [PASSWORD] */
#include <stdio.h>

#include <rq_file.h>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

int main(int argc, char** argv)
{
    rq_file* file;
    int ok;
    if (argc < 3 || argc > 4) {
        fputs("usage: game PACK PATH [PASSWORD]\n", stderr);
        return 2;
    }
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY); /* the file's bytes as they are */
#endif
    file = rq_file_create();
    if (!file) return 1;
    rq_file_enable_messages(file, 1); /* failures are also told on stderr */
    ok = rq_file_open(file, argv[1], 1, 1, argc == 4 ? argv[3] : NULL) && rq_file_locate(file, argv[2], NULL) &&
         rq_file_read(file, NULL, 0);
    if (ok) fwrite(rq_file_data(file), 1, rq_file_length(file), stdout);
    rq_file_destroy(file);
    return ok ? 0 : 1;
}
