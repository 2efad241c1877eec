#pragma once
// The texts of one column of the camera list, top to bottom.

#include <QStringList>
#include <QTreeWidget>

inline QStringList Column(QTreeWidget* view, int column)
{
    QStringList cells;
    for (int row = 0; row < view->topLevelItemCount(); ++row)
        cells << view->topLevelItem(row)->text(column);
    return cells;
}
