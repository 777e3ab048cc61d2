#include "busrowcolours.h"

#include "bustablemodel.h"

#include <QBrush>
#include <QColor>

QVariant BusRowColours::data(const QModelIndex &index, int role) const
{
    if (role == Qt::BackgroundRole
        && QIdentityProxyModel::data(index, BusTableModel::LineSuspectRole).toBool())
        return QBrush(QColor(0xf5, 0xd0, 0x6f));
    if (role == Qt::ForegroundRole
        && QIdentityProxyModel::data(index, BusTableModel::LineSuspectRole).toBool())
        return QBrush(QColor(0x20, 0x20, 0x20));
    return QIdentityProxyModel::data(index, role);
}
