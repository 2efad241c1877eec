#pragma once
// What the tests of the video plug-in's host share: registering the plug-in
// of this build in the registry XDG_DATA_HOME names, and driving a row's
// command as the operator does (a click on the row, then the command).

#include "ui/COrvaneDlg.h"
#include "vidra/VidraApi.h"

#include <QTest>
#include <QTreeWidget>

#include <dlfcn.h>

// VIDRA_LIBRARY_PATH is the built libvidra.so, given by the test's CMake.
inline bool RegisterBuiltPlugin()
{
    void* library = dlopen(VIDRA_LIBRARY_PATH, RTLD_NOW);
    if (library == nullptr)
        return false;
    auto registerServer = reinterpret_cast<VidraRegisterFn>(dlsym(library, VIDRA_REGISTER_SYMBOL));
    return registerServer != nullptr && registerServer() == 0;
}

inline void ClickRowAndCommand(COrvaneDlg& window, int row, int command)
{
    QTreeWidget* view = window.listView();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualItemRect(view->topLevelItem(row)).center());
    window.OnCommand(command);
}
