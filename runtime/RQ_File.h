#pragma once
// CRQ_File: the game's file reader. It reads files out of .epk packs (every
// scheme the packs use, protected packs with their password) and plain files
// from the disk, and writes plain files. One object has one file open at a
// time; it needs no set-up and no Qt.
//
// Errors are results (false, a length of 0, an empty text). With
// EnableErrMSG(true) the library also prints what went wrong on standard
// error, in the console's character set.
//
// Texts the caller gives for paths inside a pack and for passwords may be GBK
// bytes (as the pack stores names) or UTF-8 (converted to GBK when GBK holds
// the text). Some GBK bytes are valid UTF-8 too ("位" in GBK is "λ" in
// UTF-8): such a password is tried as UTF-8 first, then as the bytes given;
// such a path names the file either reading names, and nothing when the two
// name different files. Names of files on the disk are used as given (on
// Windows they may be UTF-8 or GBK; see c/rq_file.h).
#include <cstdint>
#include <memory>

namespace tarvex {

class CRQ_File {
public:
    // Nothing open; external lookup off; errors not printed.
    CRQ_File();
    // Closes whatever is open (a file being written is put in place now).
    virtual ~CRQ_File();
    CRQ_File(const CRQ_File&) = delete;
    CRQ_File& operator=(const CRQ_File&) = delete;

    // Whether failures are also printed on standard error.
    void EnableErrMSG(bool enable);

    // External lookup: while on, Locate uses a loose file at the external
    // path plus the pack path (its folders as disk folders, its names in
    // UTF-8) instead of the packed file when that loose file exists, and
    // finds loose files the pack does not hold. Pack paths that are absolute
    // or contain "." or ".." are never looked up outside the pack. Both
    // settings outlive Open.
    void EnableExt(bool enable);
    // The folder loose files are looked up in; relative paths count from the
    // working folder. Null or "" restores the default: the folder that holds
    // the open pack.
    void SetExt(const char* path);

    // Closes what is open, then opens name:
    //  - isPack, forReading: the .epk pack at name; its tables are read once
    //    here. password (GBK or UTF-8; null: none) opens a protected pack,
    //    which is refused without the right one. Nothing is located yet.
    //  - !isPack, forReading: the plain file at name, which becomes the file
    //    GetLength and Read refer to.
    //  - !isPack, !forReading: creates the plain file at name for Write. The
    //    bytes go to a temporary file beside it that replaces the old file
    //    when this object is opened again or destroyed, so an interrupted
    //    write never leaves half a file.
    //  - isPack, !forReading: refused; packs are only read.
    bool Open(const char* name, bool forReading, bool isPack, const char* password);

    // Selects the file of the open pack at path ('\' or '/' between folders;
    // names compared exactly). folder, when not null or empty, is a folder of
    // the pack that path is relative to. A failure leaves nothing selected:
    // GetLength gives 0 and Read an empty text.
    bool Locate(const char* path, const char* folder);

    // The selected file's length in bytes; the bytes written so far to a file
    // opened for writing; 0 when nothing is selected.
    uint32_t GetLength() const;

    // Reads the selected file's first `count` bytes (0: all of it) and puts a
    // zero byte after them:
    //  - dest null: into the object's buffer, which m_pData then points at;
    //  - *dest not null: into the caller's buffer at *dest, which must hold
    //    GetLength() + 1 bytes (count + 1 when count is smaller);
    //  - *dest null: into the object's buffer, and *dest points at it.
    // On failure the destination holds an empty text and nothing stays
    // selected: GetLength gives 0.
    bool Read(uint8_t** dest, uint32_t count);

    // Appends count bytes to the file opened for writing.
    bool Write(const void* data, uint32_t count);

    // The text the last Read into the object's buffer loaded, zero-terminated;
    // an empty text before any such Read and after a failed one. Owned by the
    // object, valid until its next Open, Read or destruction.
    char* m_pData;

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace tarvex
