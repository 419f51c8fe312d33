#pragma once
// The recent-file list: the last 4 packs opened or saved, newest first, kept
// in the per-user settings under "@Z--V Studio" / "Tarvex".
#include <QSettings>
#include <QStringList>

namespace tarvex {

class RecentFiles {
public:
    static constexpr int kSize = 4;

    // Reads the list from the settings object (which it keeps using).
    explicit RecentFiles(QSettings& settings);

    const QStringList& Paths() const { return paths_; }
    void Add(const QString& path);
    void Remove(int index);

private:
    void Save();

    QSettings& settings_;
    QStringList paths_;
};

// The menu label of entry index: "&1 path", a long path shortened in its middle.
QString RecentFileLabel(int index, const QString& path);

}  // namespace tarvex
