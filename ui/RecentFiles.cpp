#include "ui/RecentFiles.h"

#include <QDir>

namespace tarvex {
namespace {

const QString kGroup = QStringLiteral("Recent File List");

}  // namespace

RecentFiles::RecentFiles(QSettings& settings) : settings_(settings)
{
    settings_.beginGroup(kGroup);
    for (int i = 1; i <= kSize; ++i) {
        const QString path = settings_.value(QStringLiteral("File%1").arg(i)).toString();
        if (!path.isEmpty()) paths_ << path;
    }
    settings_.endGroup();
}

void RecentFiles::Add(const QString& path)
{
    const QString clean = QDir::cleanPath(QDir(path).absolutePath());
    paths_.removeAll(clean);
    paths_.prepend(clean);
    while (paths_.size() > kSize) paths_.removeLast();
    Save();
}

void RecentFiles::Remove(int index)
{
    if (index < 0 || index >= paths_.size()) return;
    paths_.removeAt(index);
    Save();
}

void RecentFiles::Save()
{
    settings_.beginGroup(kGroup);
    settings_.remove(QString());
    for (int i = 0; i < paths_.size(); ++i) settings_.setValue(QStringLiteral("File%1").arg(i + 1), paths_[i]);
    settings_.endGroup();
    settings_.sync();
}

QString RecentFileLabel(int index, const QString& path)
{
    constexpr int kLongest = 60;
    QString shown = QDir::toNativeSeparators(path);
    if (shown.size() > kLongest) shown = shown.left(20) + QStringLiteral("...") + shown.right(kLongest - 23);
    shown.replace(QLatin1Char('&'), QLatin1String("&&"));
    return QStringLiteral("&%1 %2").arg(index + 1).arg(shown);
}

}  // namespace tarvex
