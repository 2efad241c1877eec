#include "ui/CameraList.h"

#include "discovery/CameraRow.h"

#include <QHeaderView>
#include <QTreeWidget>

#include <algorithm>
#include <cstring>

namespace {

constexpr int kCellBytesRole = Qt::UserRole;
constexpr int kInterfaceRole = Qt::UserRole + 1;

struct Column {
    const char* heading;
    int units;
};

constexpr Column kColumns[CameraList::kColumnCount] = {
    {"ID", 1}, {"IP", 7}, {"MAC", 6}, {"Version", 4}, {"X", 3}, {"Y", 3}, {"UID", 10}, {"KEYID", 2},
};

}  // namespace

CameraList::CameraList(QTreeWidget* view) : view_(view) {}

void CameraList::setUpColumns(int clientWidth)
{
    const int unit = clientWidth / 36;
    QStringList headings;
    for (const Column& column : kColumns)
        headings << QString::fromLatin1(column.heading);
    view_->setColumnCount(kColumnCount);
    view_->setHeaderLabels(headings);
    view_->header()->setStretchLastSection(false);
    view_->header()->setMinimumSectionSize(0);
    view_->header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    for (int i = 0; i < kColumnCount; ++i)
        view_->setColumnWidth(i, kColumns[i].units * unit);
}

void CameraList::setUpColumns()
{
    setUpColumns(view_->contentsRect().width());
}

int CameraList::rowCount() const
{
    return view_->topLevelItemCount();
}

void CameraList::addRow(const char* ip, const char* mac, const char* version, int x, int y, const char* uid,
                        const char* keyId, const char* interfaceName)
{
    const orvane::CameraRow cells = orvane::MakeCameraRow(rowCount() + 1, ip, mac, version, x, y, uid, keyId);
    auto* item = new QTreeWidgetItem;
    for (int i = 0; i < kColumnCount; ++i) {
        const std::string& text = cells[static_cast<size_t>(i)];
        item->setText(i, QString::fromUtf8(text.c_str()));
        // The shown text loses bytes that are not UTF-8; commands read the
        // cell's own bytes back.
        item->setData(i, kCellBytesRole, QByteArray(text.c_str()));
    }
    item->setData(0, kInterfaceRole, QByteArray(interfaceName));
    view_->addTopLevelItem(item);
}

void CameraList::readCell(int row, int column, char (&cell)[kCellBuffer]) const
{
    std::memset(cell, 0, sizeof cell);
    const QTreeWidgetItem* item = row >= 0 ? view_->topLevelItem(row) : nullptr;
    if (item == nullptr || column < 0 || column >= kColumnCount)
        return;
    const QByteArray text = item->data(column, kCellBytesRole).toByteArray();
    std::memcpy(cell, text.constData(), std::min(static_cast<size_t>(text.size()), sizeof cell - 1));
}

void CameraList::deleteAllRows()
{
    for (int row = rowCount() - 1; row >= 0; --row)
        delete view_->takeTopLevelItem(row);
}

void CameraList::deleteSelectedRows()
{
    for (int row = rowCount() - 1; row >= 0; --row) {
        if (view_->topLevelItem(row)->isSelected())
            delete view_->takeTopLevelItem(row);
    }
}

int CameraList::rowAt(int x, int y) const
{
    const QModelIndex index = view_->indexAt(QPoint(x, y));
    return index.isValid() ? index.row() : -1;
}

std::vector<int> CameraList::selectedRows() const
{
    std::vector<int> rows;
    for (int row = 0; row < rowCount(); ++row) {
        if (view_->topLevelItem(row)->isSelected())
            rows.push_back(row);
    }
    return rows;
}

std::string CameraList::rowInterface(int row) const
{
    if (row < 0 || row >= rowCount())
        return {};
    return view_->topLevelItem(row)->data(0, kInterfaceRole).toByteArray().toStdString();
}

std::vector<orvane::ListedCamera> CameraList::listedRows() const
{
    std::vector<orvane::ListedCamera> rows;
    for (int row = 0; row < rowCount(); ++row) {
        const QTreeWidgetItem* item = view_->topLevelItem(row);
        orvane::ListedCamera listed;
        for (int column = 0; column < kColumnCount; ++column)
            listed.cells[static_cast<size_t>(column)] = item->data(column, kCellBytesRole).toByteArray().toStdString();
        listed.interfaceName = item->data(0, kInterfaceRole).toByteArray().toStdString();
        rows.push_back(std::move(listed));
    }
    return rows;
}
