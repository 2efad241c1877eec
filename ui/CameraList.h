#pragma once
// The main window's camera list (control 1000) in the ways the window uses a
// report-view list: eight columns sized from the client width, rows added at
// the end, cells read back into 1024-byte buffers, selected rows deleted.

#include "discovery/CameraListing.h"

#include <cstddef>
#include <string>
#include <vector>

class QTreeWidget;

class CameraList {
public:
    static constexpr size_t kCellBuffer = 1024;
    static constexpr int kColumnCount = 8;

    explicit CameraList(QTreeWidget* view);

    // The column unit is the client width / 36, the remainder dropped.
    void setUpColumns(int clientWidth);
    void setUpColumns();

    int rowCount() const;
    // Column 0 gets the number of rows before it plus 1; rows are never
    // renumbered, so deletions can leave two rows with one number.
    // interfaceName: where a searched camera was heard; empty for a row added by hand.
    void addRow(const char* ip, const char* mac, const char* version, int x, int y, const char* uid,
                const char* keyId, const char* interfaceName = "");
    // Reads a cell into a zero-filled buffer; a row or column that is not
    // there leaves it empty.
    void readCell(int row, int column, char (&cell)[kCellBuffer]) const;
    void deleteAllRows();
    void deleteSelectedRows();
    // The rows the operator selected, in list order.
    std::vector<int> selectedRows() const;
    // Where the row's camera was heard; empty for a row added by hand or not there.
    std::string rowInterface(int row) const;
    // Every row's cells as their bytes, with the interface it was heard on.
    std::vector<orvane::ListedCamera> listedRows() const;

    // The row at a point of the list's viewport, or -1 on empty space.
    int rowAt(int x, int y) const;

private:
    QTreeWidget* view_;
};
