/* rq_file.h: the game's file reader, RQ_File, for C and for any compiler.
 *
 * It reads files out of .epk packs (every scheme the packs use, protected
 * packs with their password) and plain files from the disk, and writes plain
 * files. One rq_file object has one file open at a time; objects are
 * independent, each is used from one thread at a time. Nothing needs setting
 * up first.
 *
 * On Windows the functions come from rq_file.dll through its import library
 * rq_file.lib; elsewhere from the static library RQ_File. They are the C++
 * class tarvex::CRQ_File (RQ_File.h) behind an opaque handle: same rules,
 * same messages. Nothing here throws, and no call keeps a pointer the caller
 * passes once it returns.
 *
 * Texts:
 *  - paths inside a pack and passwords may be GBK bytes (as the pack stores
 *    names) or UTF-8 (converted to GBK when GBK holds the text). Bytes that
 *    are both are tried both ways: a password by the pack's check, a path by
 *    what each reading names (a path whose two readings name two different
 *    files is refused).
 *  - names of files on the disk are used as given on POSIX systems; on
 *    Windows they may be UTF-8 or GBK: the reading that names an existing
 *    file wins, UTF-8 first.
 *
 * Failures are results: 0 from the functions that return int, a length of 0
 * and an empty text; a NULL reader fails every call, quietly. With rq_file_enable_messages(f, 1) the reason is also
 * written to standard error, in the console's character set (GBK where the
 * console shows code page 936 or a GBK locale, UTF-8 otherwise).
 *
 * Encoder plug-ins: files a pack stores with an encoder module decode only
 * where that module (*.edl) is in the folder "plugins" beside the program's
 * executable. Modules are never looked for anywhere else.
 */
#ifndef RQ_FILE_H
#define RQ_FILE_H

#include <stdint.h>

#if defined(_WIN32) && defined(RQ_FILE_BUILDING_DLL)
#define RQ_FILE_API __declspec(dllexport)
#elif defined(_WIN32) && !defined(RQ_FILE_STATIC)
#define RQ_FILE_API __declspec(dllimport)
#else
#define RQ_FILE_API
#endif

#if defined(_WIN32)
#define RQ_FILE_CALL __cdecl
#else
#define RQ_FILE_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* One reader. */
typedef struct rq_file rq_file;

/* A new reader with nothing open, external lookup off and messages off;
 * NULL when there is no memory for one. */
RQ_FILE_API rq_file* RQ_FILE_CALL rq_file_create(void);

/* Closes what is open (a file being written is put in place now) and frees
 * the reader. NULL is allowed. */
RQ_FILE_API void RQ_FILE_CALL rq_file_destroy(rq_file* file);

/* Whether failures are also written to standard error (0: no, the start). */
RQ_FILE_API void RQ_FILE_CALL rq_file_enable_messages(rq_file* file, int enable);

/* External lookup: while on, rq_file_locate uses a loose file at the
 * external folder plus the pack path (its folders as disk folders, its names
 * in UTF-8, as extraction writes them) instead of the packed file when that
 * loose file exists, and finds loose files the pack does not hold. Pack paths
 * that are absolute or contain "." or ".." are never looked up outside the
 * pack. Both settings outlive rq_file_open. */
RQ_FILE_API void RQ_FILE_CALL rq_file_enable_ext(rq_file* file, int enable);

/* The folder loose files are looked up in; relative paths count from the
 * working folder. NULL or "" restores the start: the folder that holds the
 * open pack. */
RQ_FILE_API void RQ_FILE_CALL rq_file_set_ext(rq_file* file, const char* folder);

/* Closes what is open, then opens name:
 *  - is_pack, for_reading: the .epk pack at name, its tables read once
 *    here; password (NULL: none) opens a protected pack, which is refused
 *    without the right one. Nothing is located yet.
 *  - !is_pack, for_reading: the plain file at name, which becomes the file
 *    rq_file_length and rq_file_read refer to.
 *  - !is_pack, !for_reading: creates the plain file at name for
 *    rq_file_write. The bytes go to a temporary file beside it that replaces
 *    the old file when the reader is opened again or destroyed, so an
 *    interrupted write never leaves half a file.
 *  - is_pack, !for_reading: refused; packs are only read.
 * 1 on success, 0 on failure. */
RQ_FILE_API int RQ_FILE_CALL rq_file_open(rq_file* file, const char* name, int for_reading, int is_pack,
                                          const char* password);

/* Selects the file of the open pack at path ('\' or '/' between folders,
 * names compared exactly, letter case included). folder, when not NULL or
 * "", is a folder of the pack that path is relative to. A failure leaves
 * nothing selected: rq_file_length gives 0 and rq_file_read an empty text.
 * 1 on success, 0 on failure. */
RQ_FILE_API int RQ_FILE_CALL rq_file_locate(rq_file* file, const char* path, const char* folder);

/* The selected file's length in bytes; for a file opened for writing, the
 * bytes written so far; 0 when nothing is selected. */
RQ_FILE_API uint32_t RQ_FILE_CALL rq_file_length(const rq_file* file);

/* Reads the selected file's first count bytes (0: all of it) and puts a zero
 * byte after them:
 *  - buffer not NULL: into the caller's buffer, which must hold
 *    rq_file_length() + 1 bytes (count + 1 when count is smaller);
 *  - buffer NULL: into the reader's own buffer, which rq_file_data then
 *    gives.
 * On failure the destination holds an empty text and nothing stays
 * selected. 1 on success, 0 on failure. */
RQ_FILE_API int RQ_FILE_CALL rq_file_read(rq_file* file, void* buffer, uint32_t count);

/* The text the last rq_file_read into the reader's own buffer loaded,
 * zero-terminated; an empty text before any such read and after a failed
 * one. Owned by the reader: valid until its next open, read or destroy. */
RQ_FILE_API const char* RQ_FILE_CALL rq_file_data(const rq_file* file);

/* Appends count bytes to the file opened for writing. 1 on success, 0 on
 * failure (the old file then stays as it was). */
RQ_FILE_API int RQ_FILE_CALL rq_file_write(rq_file* file, const void* data, uint32_t count);

#ifdef __cplusplus
}
#endif

#endif /* RQ_FILE_H */
