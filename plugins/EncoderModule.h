/*
 * Tarvex encoder modules: the contract between a module and the programs that
 * load it (the Tarvex editor, the epk tool and the game's runtime reader).
 *
 * WHAT A MODULE IS
 *   An ELF shared object (on Windows a DLL) whose file name ends in ".edl",
 *   placed in the folder "plugins" beside the program (for epk at
 *   /opt/x/bin/epk that is /opt/x/bin/plugins/, for C:\x\epk.exe it is
 *   C:\x\plugins\). The file name is recorded in every pack that uses
 *   the module, so keep it stable; it must be a plain name of at most 255
 *   bytes that GBK can spell (ASCII is safest). Programs never load modules
 *   from anywhere else, and never from the current directory.
 *
 *   Build it with hidden visibility and mark the exports with EDL_EXPORT, for
 *   example:
 *       gcc -shared -fPIC -fvisibility=hidden -o myenc.edl myenc.c -lz
 *   or for Windows, where EDL_EXPORT exports from the DLL:
 *       x86_64-w64-mingw32-gcc -shared -static -o myenc.edl myenc.c -lz
 *   A module links whatever libraries it needs, but no GUI toolkit: the game's
 *   runtime loads the same module to decode, in a program without a screen.
 *
 * THE EXPORTS
 *   Plain C functions found by these exact names (case as shown). With
 *   arguments they use the C calling convention (cdecl on 32-bit x86, the
 *   platform's only convention on x86-64). Counts and lengths are unsigned
 *   32-bit; the truth values of Encode, Decode, DecodeBounded and
 *   isThreadSafe are ONE BYTE (edl_bool), where any non-zero value means
 *   success (for isThreadSafe: yes).
 *
 *     export               required  job
 *     getProviderType      yes       return EDL_PROVIDER_TYPE
 *     getProviderName      yes       the encoder's name, shown as the scheme
 *     getProviderVersion   yes       version, shown as "%d.%d.%d.%d" of its
 *                                    bytes from the highest to the lowest
 *     getProviderInfo      one of    a text about the encoder
 *     About                  these   show the module's own about box
 *     getMemNeeded         yes       output size Encode needs for n bytes
 *     Encode               yes       encode n bytes
 *     Decode               no        decode stored bytes (without it, files
 *                                    stored with the module cannot be read)
 *     Settings             no        show the module's own settings
 *
 *   Optional extensions:
 *     DecodeBounded        no        Decode that is also told the output
 *                                    length; used instead of Decode when
 *                                    present (Decode must exist as well)
 *     isThreadSafe         no        non-zero: the module may be called from
 *                                    several threads at once (see below)
 *
 * HOW A PROGRAM ACCEPTS A MODULE
 *   It loads "plugins/NAME.edl" and accepts it when all of these hold, tested
 *   in this order: getProviderType exists and returns EDL_PROVIDER_TYPE;
 *   getProviderName exists; getProviderVersion exists; getProviderInfo or
 *   About exists; getMemNeeded exists; Encode exists. A module that fails a
 *   test is not offered as an encoder, whatever else it exports.
 *
 * WHAT THE PROGRAMS RELY ON
 *   - A program loads a module once for a whole operation (a save, an
 *     extraction, an encode test, one look at its name) and unloads it when
 *     the operation ends; in between it calls it once or more for every file.
 *     A module may keep state between calls (reusable work memory, say), but
 *     what it returns must not depend on that state. It may be loaded and
 *     unloaded many times in one run of a program, so keep its load-time
 *     initialisation cheap and free everything it made when it is unloaded.
 *   - Threads. A module without isThreadSafe, or whose isThreadSafe returns
 *     0, is called one call at a time: no two calls of its getMemNeeded,
 *     Encode, Decode and DecodeBounded ever overlap in the whole process. An
 *     operation of the editor or epk calls them from the thread that runs
 *     the operation; a game reading packs on several threads calls them from
 *     each of those in turn.
 *     A module whose isThreadSafe() returns non-zero declares that
 *     getMemNeeded, Encode, Decode and DecodeBounded may be called from
 *     several threads at the same time, each call with its own buffers; the
 *     programs then save and extract with it on every core. State it keeps
 *     between calls must then be per thread (or properly locked), and the
 *     bytes Encode produces must not depend on the calling thread. Threads
 *     that called it may end while it stays loaded, and it may be unloaded
 *     while threads that called it still run, so state kept per thread must
 *     be freed when its thread ends (state shared by the threads, when the
 *     module is unloaded). isThreadSafe must always give the same answer:
 *     the programs ask it when they load the module for an operation.
 *   - Texts (getProviderName, getProviderInfo) are NUL-terminated GBK (code
 *     page 936) strings owned by the module; ASCII is a subset. The provider
 *     name is at most 255 bytes (it is stored in packs).
 *   - A pack records the provider name and version of the encoder of every
 *     file. Two modules with the same name and version are taken to be the
 *     same encoder; change the version when the stream format changes.
 *   - getMemNeeded(n) is a pure function of n (n >= 1). The program allocates
 *     exactly that many bytes and passes them to Encode, which must not write
 *     beyond them. Return 0 when n bytes cannot be encoded at all.
 *   - Encode(src, n, dst, &len) is only called with n >= 1 (empty files are
 *     stored unencoded). On success it writes 1 <= len <= getMemNeeded(n)
 *     bytes to dst, sets len and returns non-zero (a stream must carry the
 *     file's size, so it cannot be empty). The bytes are opaque to the
 *     program: it stores them and gives them back to Decode unchanged. An
 *     encoding that is not smaller than the input is fine: the program then
 *     decides whether to store the file unencoded instead. Returning 0 means
 *     the module broke on this file, and so does returning non-zero without
 *     setting len, or with a len of 0 or beyond the buffer: the program then
 *     stores that file unencoded, finishes the save and names the file and
 *     the module when it is done. Make the bytes depend only on the input
 *     (no time stamps, no random salt).
 *   - Decode(src, srcLen, dst) gets exactly the bytes Encode produced and a
 *     buffer of exactly the file's size, which it must fill completely. It is
 *     not told that size, so the stream has to carry it. Stored bytes come
 *     from files on disk and may be damaged or hostile: check every length,
 *     never write past the size the stream declares, and return 0 for any
 *     stream that is cut short, corrupt or of the wrong size. Check all of
 *     that before writing: a damaged stream should leave dst untouched.
 *     What Decode cannot know is the size of dst: a whole, undamaged stream
 *     of another file's size (a pack whose recorded size was changed) fills
 *     as many bytes as the stream declares, whatever the buffer.
 *   - DecodeBounded(src, srcLen, dst, dstLen) is the same call told the size
 *     of dst. It must return non-zero only when the stream decodes to exactly
 *     dstLen bytes, and never write beyond them. Only through it is the
 *     caller's buffer safe from every stream: a module that exports it stays
 *     safe when a damaged pack records a file size that disagrees with the
 *     stream. The Tarvex programs always call it when it is there.
 *   - About and Settings are called only by the editor, on its user-interface
 *     thread; a module without a user interface simply leaves them out.
 *   - No C++ exception, longjmp or exit() may leave an export.
 */
#ifndef TARVEX_PLUGINS_ENCODER_MODULE_H
#define TARVEX_PLUGINS_ENCODER_MODULE_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* getProviderType() of an encoder module: the bytes "PFDE" read as a
 * little-endian 32-bit value. */
#define EDL_PROVIDER_TYPE 0x45444650u

/* The one-byte truth value of Encode, Decode, DecodeBounded and
 * isThreadSafe. */
typedef uint8_t edl_bool;

#if defined(__i386__)
#define EDL_CALL __attribute__((cdecl))
#else
#define EDL_CALL
#endif

#if defined(_WIN32)
#define EDL_EXPORT __declspec(dllexport)
#elif defined(__GNUC__)
#define EDL_EXPORT __attribute__((visibility("default")))
#else
#define EDL_EXPORT
#endif

/* The signatures, as a program resolves them by name. */
typedef uint32_t(EDL_CALL* edl_getProviderType_fn)(void);
typedef const char*(EDL_CALL* edl_getProviderName_fn)(void);
typedef uint32_t(EDL_CALL* edl_getProviderVersion_fn)(void);
typedef const char*(EDL_CALL* edl_getProviderInfo_fn)(void);
typedef uint32_t(EDL_CALL* edl_getMemNeeded_fn)(uint32_t n);
typedef edl_bool(EDL_CALL* edl_Encode_fn)(const uint8_t* src, uint32_t n, uint8_t* dst, uint32_t* encodedLen);
typedef edl_bool(EDL_CALL* edl_Decode_fn)(const uint8_t* src, uint32_t srcLen, uint8_t* dst);
typedef edl_bool(EDL_CALL* edl_DecodeBounded_fn)(const uint8_t* src, uint32_t srcLen, uint8_t* dst, uint32_t dstLen);
typedef edl_bool(EDL_CALL* edl_isThreadSafe_fn)(void);
typedef void(EDL_CALL* edl_About_fn)(void);
typedef void(EDL_CALL* edl_Settings_fn)(void);

/* The declarations a module defines (it leaves out the optional ones it does
 * not have). */
EDL_EXPORT uint32_t EDL_CALL getProviderType(void);
EDL_EXPORT const char* EDL_CALL getProviderName(void);
EDL_EXPORT uint32_t EDL_CALL getProviderVersion(void);
EDL_EXPORT const char* EDL_CALL getProviderInfo(void);
EDL_EXPORT uint32_t EDL_CALL getMemNeeded(uint32_t n);
EDL_EXPORT edl_bool EDL_CALL Encode(const uint8_t* src, uint32_t n, uint8_t* dst, uint32_t* encodedLen);
EDL_EXPORT edl_bool EDL_CALL Decode(const uint8_t* src, uint32_t srcLen, uint8_t* dst);
EDL_EXPORT edl_bool EDL_CALL DecodeBounded(const uint8_t* src, uint32_t srcLen, uint8_t* dst, uint32_t dstLen);
EDL_EXPORT edl_bool EDL_CALL isThreadSafe(void);
EDL_EXPORT void EDL_CALL About(void);
EDL_EXPORT void EDL_CALL Settings(void);

#ifdef __cplusplus
}
#endif

#endif
