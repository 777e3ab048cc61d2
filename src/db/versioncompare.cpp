#include "versioncompare.h"

#include <algorithm>

namespace VersionCompare {

namespace {
// Reads the run of digits starting at i; returns its value and leaves end after the run. The
// value wraps silently beyond 64 bits, which no version comes near.
quint64 digitRun(const QString &s, int i, int &end)
{
    quint64 value = 0;
    end = i;
    while (end < s.size() && s.at(end).isDigit()) {
        value = value * 10 + quint64(s.at(end).digitValue());
        ++end;
    }
    return value;
}
} // namespace

int compare(const QString &a, const QString &b)
{
    int i = 0;
    const int n = std::min(a.size(), b.size());
    bool digitMode = false;
    while (i < n) {
        if (!digitMode) {
            const QChar ca = a.at(i);
            const QChar cb = b.at(i);
            if (ca.isDigit()) {
                if (!cb.isDigit())
                    return -1;
                digitMode = true;
                continue;
            }
            if (cb.isDigit())
                return +1;
            if (ca.unicode() != cb.unicode())
                return ca.unicode() < cb.unicode() ? -1 : +1;
            ++i;
        } else {
            int ea = 0;
            int eb = 0;
            const quint64 na = digitRun(a, i, ea);
            const quint64 nb = digitRun(b, i, eb);
            if (na != nb)
                return na < nb ? -1 : +1;
            digitMode = false;
            i = std::min(ea, eb);
        }
    }
    if (i < b.size())
        return -1;
    if (i < a.size())
        return +1;
    return 0;
}

void sort(QStringList &versions)
{
    std::stable_sort(versions.begin(), versions.end(),
                     [](const QString &x, const QString &y) { return compare(x, y) < 0; });
}

} // namespace VersionCompare
