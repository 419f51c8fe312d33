#pragma once
// Files of the pack edited in their own programs: a file is copied into a
// private temporary folder and opened with the desktop's default program;
// while the document is open the copy is watched, and a change is offered
// to the pack: Yes makes the entry's content that file, as replacing the
// file by hand would (its scheme kept, stored again at the next save). The
// copies go when the document closes.
#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/DiskFolder.h"
#include "platform/HeldPack.h"

namespace tarvex {

class CTarvexDoc;

class ExternalEdits final : public QObject {
    Q_OBJECT
public:
    // Opens a file in the program the desktop has for it; false when none
    // could be started.
    using Opener = std::function<bool(const QString& path)>;

    explicit ExternalEdits(CTarvexDoc& doc);
    ~ExternalEdits() override;

    // Tests hand in an opener of their own.
    void UseOpener(Opener opener) { opener_ = std::move(opener); }

    // Copies entry index out, opens the copy and watches it. Reports why not
    // (the extraction's message, or no program to open it with).
    bool OpenInDefaultProgram(size_t index);
    // Looks at every copy now and asks about those that changed since they
    // were made or last asked about. The watcher calls it once the changes
    // have settled; never during a save, an extraction or a dialog.
    void CheckCopies();
    // Removes every copy and stops watching (the document closes).
    void Forget();

    // The copy of entry index being watched; empty when there is none.
    QString CopyOf(size_t index) const;
    // The private folder of the copies; empty while there is none.
    QString Folder() const;

private:
    struct Copy {
        uint64_t identity = 0;  // the entry's
        size_t indexHint = 0;
        QString path;        // the file the program edits
        FileStamp stamp;     // as it was when made or last asked about
        int takenCount = 0;  // copies taken into the pack by Yes
    };

    // The private folder, made on first use; reported when it cannot be.
    bool HaveFolder();
    // A new sub-folder of the private folder; reported when it cannot be made.
    bool MakePlace(const QString& name);
    void WatchChanged();
    void Offer(size_t which);
    void TakeChangedCopy(Copy& copy, size_t index);

    CTarvexDoc& doc_;
    Opener opener_;
    std::unique_ptr<QTemporaryDir> folder_;
    std::shared_ptr<const DiskFolder> disk_;  // folder_, held open
    std::vector<Copy> copies_;
    QFileSystemWatcher watcher_;
    QTimer settle_;
    int made_ = 0;
    bool asking_ = false;
};

}  // namespace tarvex
