#pragma once

#include <QString>
#include <QStringList>

// Natural order of version texts such as "1.4.12": runs of digits compare by their value, every
// other character by its UTF-16 code, and a digit sorts before any other character.
namespace VersionCompare {

// Negative, 0 or positive as a is older than, equal to or newer than b.
int compare(const QString &a, const QString &b);

// True when a is newer than b.
inline bool isNewer(const QString &a, const QString &b)
{
    return compare(a, b) > 0;
}

// Ascending, stable: equal versions keep their order.
void sort(QStringList &versions);

} // namespace VersionCompare
