#pragma once

#include <QIdentityProxyModel>

// The bus table as the window shows it: a reader whose line the watch found faulty stands out
// in the yellow of the status picture.
class BusRowColours : public QIdentityProxyModel
{
    Q_OBJECT
public:
    using QIdentityProxyModel::QIdentityProxyModel;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
};
