#pragma once
// The program's resources outside the window templates: the row menu, the
// string table and the application icon, compiled in from resources/.

#include <QString>

class QIcon;
class QMenu;
class QWidget;

inline constexpr int kRowMenu = 131;
inline constexpr int kAboutMenuString = 101;

// Registers the compiled-in resources; call once before any window opens.
void InitOrvaneResources();

// The first popup of a menu resource as a QMenu owned by parent. Each action
// carries its command id as data(); disabled items stay in, inactive.
QMenu* LoadPopupMenu(int menuId, QWidget* parent);

// A string of the string table, empty when it has none of that id.
QString LoadResourceString(int id);

// Icon 128 in its sizes.
QIcon ApplicationIcon();
