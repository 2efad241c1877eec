// The main window's list commands, driven as the operator drives them: row
// numbering, Add and Delete, the current row from clicks, the row menu and
// the column widths.

#include "tests/ui/ListCells.h"
#include "tests/ui/ModalDriver.h"
#include "tests/ui/UiTestSetup.h"
#include "ui/CAddDlg.h"
#include "ui/COrvaneDlg.h"
#include "ui/IpAddressCtrl.h"
#include "ui/Resources.h"
#include "ui/WindowState.h"

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QTreeWidget>

#include <memory>

namespace {

QStringList Row(QTreeWidget* view, int row)
{
    QStringList cells;
    for (int column = 0; column < view->columnCount(); ++column)
        cells << view->topLevelItem(row)->text(column);
    return cells;
}

void AddRows(COrvaneDlg& window, int count)
{
    for (int i = 0; i < count; ++i) {
        const std::string ip = "10.0.0." + std::to_string(i + 1);
        window.AddCameraRow(ip.c_str(), "001122334455", "V1", 1, 2, "UID", "1");
    }
}

// Types text into the add window's address fields as the operator would,
// from the first field on.
void TypeAddress(CAddDlg* add, const QString& typed)
{
    add->addressControl()->findChildren<QLineEdit*>().value(0)->setFocus();
    for (QChar c : typed)
        QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
}

// Types the text, then clicks OK (on an empty control when text is empty) or Cancel.
void AnswerAddWindow(ModalDriver& driver, const QString& typed, bool cancel = false)
{
    driver.onDialog("CAddDlg", [typed, cancel](QDialog* dialog) {
        auto* add = static_cast<CAddDlg*>(dialog);
        TypeAddress(add, typed);
        QTest::mouseClick(add->findChild<QPushButton*>(cancel ? "cancelButton" : "okButton"), Qt::LeftButton);
    });
}

// Clicks the window's push button of this name, as the operator would.
void Click(QWidget& window, const char* button)
{
    QTest::mouseClick(window.findChild<QPushButton*>(button), Qt::LeftButton);
}

QPoint RowCentre(QTreeWidget* view, int row)
{
    return view->visualItemRect(view->topLevelItem(row)).center();
}

QPoint EmptySpace(QTreeWidget* view)
{
    return QPoint(view->viewport()->width() / 2, view->viewport()->height() - 5);
}

void RightClick(QTreeWidget* view, QPoint at)
{
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, view->viewport()->mapToGlobal(at));
    QApplication::sendEvent(view->viewport(), &event);
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void rowMenuKeepsItsIdsAndAddsTheBatchCommandsAfterASeparator()
    {
        std::unique_ptr<QMenu> menu(LoadPopupMenu(kRowMenu, nullptr));
        QList<int> ids;
        for (const QAction* action : menu->actions())
            ids << (action->isSeparator() ? 0 : action->data().toInt());
        QCOMPARE(ids, (QList<int>{32780, 32773, 32774, 32776, 32783, 32789, 0, COrvaneDlg::kUpdateSelected,
                                  COrvaneDlg::kAssignAddresses, COrvaneDlg::kExportList, COrvaneDlg::kOpenWebPage,
                                  COrvaneDlg::kLiveWall}));
        // W in the open menu picks Live wall: no other entry claims the letter.
        int picked = 0;
        connect(menu.get(), &QMenu::triggered, this, [&picked](QAction* action) { picked = action->data().toInt(); });
        menu->popup(QPoint(0, 0));
        QTest::keyClick(menu.get(), Qt::Key_W);
        QCOMPARE(picked, int(COrvaneDlg::kLiveWall));
    }

    void init()
    {
        window = std::make_unique<COrvaneDlg>();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        driver = std::make_unique<ModalDriver>();
    }
    void cleanup()
    {
        driver.reset();
        window.reset();
    }

    void opensWithCaptionsAndEmptyList()
    {
        QCOMPARE(window->windowTitle(), QStringLiteral("Orvane-V3.302V"));
        QCOMPARE(window->findChild<QPushButton*>("searchButton")->text(), QStringLiteral("Search"));
        QCOMPARE(window->findChild<QPushButton*>("addButton")->text(), QStringLiteral("Add"));
        QCOMPARE(window->findChild<QPushButton*>("deleteButton")->text(), QStringLiteral("Delete"));
        QCOMPARE(window->findChild<QPushButton*>("exitButton")->text(), QStringLiteral("Exit"));
        QVERIFY(window->findChild<QPushButton*>("exitButton")->isDefault());
        QCOMPARE(window->findChild<QLabel*>("captionLabel")->text(), QStringLiteral("IP Camera\uff1a"));
        QVERIFY(!window->findChild<QWidget*>("cancelButton")->isVisible());
        QVERIFY(!window->findChild<QWidget*>("cancelButton")->isEnabled());
        QVERIFY(!window->findChild<QWidget*>("registerButton")->isVisible());
        QVERIFY(!window->findChild<QWidget*>("previewPlace")->isVisible());
        QCOMPARE(window->listView()->topLevelItemCount(), 0);
        QCOMPARE(window->currentRow(), -1);
    }

    void rowsKeepTheirNumbersAfterDeleteAndAdd()
    {
        AddRows(*window, 3);
        window->listView()->topLevelItem(1)->setSelected(true);
        Click(*window, "deleteButton");
        AnswerAddWindow(*driver, QStringLiteral("10.1.2.3"));
        Click(*window, "addButton");
        QCOMPARE(Column(window->listView(), 0), (QStringList{"1", "3", "3"}));
        QCOMPARE(Row(window->listView(), 2),
                 (QStringList{"3", "10.1.2.3", "?", "?", "0", "0", "?", "1"}));
    }

    void deleteRemovesExactlyTheSelectedRows()
    {
        AddRows(*window, 4);
        Click(*window, "deleteButton");
        QCOMPARE(window->listView()->topLevelItemCount(), 4);
        for (int row : {0, 2, 3})
            window->listView()->topLevelItem(row)->setSelected(true);
        Click(*window, "deleteButton");
        QCOMPARE(Column(window->listView(), 1), QStringList{"10.0.0.2"});
    }

    void addWindowRules()
    {
        // OK on an empty control: the message, the window ends, no row.
        AnswerAddWindow(*driver, QString());
        Click(*window, "addButton");
        QCOMPARE(driver->boxTexts(), QStringList{"Please Enter IP"});
        QCOMPARE(driver->boxes.value(0).caption, QCoreApplication::applicationName());
        QVERIFY(driver->boxes.value(0).owned);
        QCOMPARE(window->listView()->topLevelItemCount(), 0);

        // Only the first field: the others read as 0.
        AnswerAddWindow(*driver, QStringLiteral("192"));
        Click(*window, "addButton");
        QCOMPARE(Column(window->listView(), 1), QStringList{"192.0.0.0"});

        // Typed and cancelled, then opened again: empty, and nothing added.
        AnswerAddWindow(*driver, QStringLiteral("10.9.9.9"), true);
        Click(*window, "addButton");
        bool blankOnSecondOpening = false;
        driver->onDialog("CAddDlg", [&blankOnSecondOpening](QDialog* dialog) {
            blankOnSecondOpening = static_cast<CAddDlg*>(dialog)->addressControl()->isBlank();
            dialog->reject();
        });
        Click(*window, "addButton");
        QVERIFY(blankOnSecondOpening);
        QCOMPARE(window->listView()->topLevelItemCount(), 1);
    }

    void currentRowFollowsClicksOnRowsOnly()
    {
        AddRows(*window, 5);
        QTreeWidget* view = window->listView();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, RowCentre(view, 1));
        QCOMPARE(window->currentRow(), 1);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, EmptySpace(view));
        QCOMPARE(window->currentRow(), 1);

        // A right-click on empty space: no menu, the row stays.
        RightClick(view, EmptySpace(view));
        QTest::qWait(30);
        QCOMPARE(driver->menus.size(), 0);
        QCOMPARE(window->currentRow(), 1);

        RightClick(view, RowCentre(view, 3));
        QCOMPARE(window->currentRow(), 3);
        QCOMPARE(driver->menus.size(), 1);
        // The six commands of a row as they always were, then the ones for the selected rows.
        QCOMPARE(driver->menus[0], (QStringList{"Link(720P)", "Link(1080P)", "Update", "Set",
                                                "Reg Activex (disabled)", "UpdateOnvifIps", "Update selected...",
                                                "Assign addresses...", "Export list...", "Open web page", "Live &wall..."}));
    }

    void onlyTheMouseOpensTheRowMenu()
    {
        AddRows(*window, 4);
        QTreeWidget* view = window->listView();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, RowCentre(view, 1));
        view->setCurrentItem(view->topLevelItem(2));
        // The keyboard's menu key goes to the focused list; the viewport
        // never gets one from Qt, but a menu there must not open either.
        for (QWidget* target : {static_cast<QWidget*>(view), view->viewport()}) {
            QContextMenuEvent event(QContextMenuEvent::Keyboard, RowCentre(view, 2),
                                    view->viewport()->mapToGlobal(RowCentre(view, 2)));
            QApplication::sendEvent(target, &event);
        }
        QTest::qWait(30);
        QCOMPARE(driver->menus.size(), 0);
        QCOMPARE(window->currentRow(), 1);
    }

    void enterPressesTheFocusedButtonElseExit()
    {
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        AddRows(*window, 2);
        window->listView()->topLevelItem(0)->setSelected(true);
        auto* deleteButton = window->findChild<QPushButton*>("deleteButton");
        deleteButton->setFocus();
        QTest::keyClick(deleteButton, Qt::Key_Return);
        QCOMPARE(window->listView()->topLevelItemCount(), 1);
        QVERIFY(window->isVisible());

        bool addOpened = false;
        driver->onDialog("CAddDlg", [&addOpened](QDialog* dialog) {
            addOpened = true;
            dialog->reject();
        });
        auto* addButton = window->findChild<QPushButton*>("addButton");
        addButton->setFocus();
        QTest::keyClick(addButton, Qt::Key_Enter);
        QVERIFY(addOpened);
        QVERIFY(window->isVisible());

        // No push button has the focus: Enter goes to Exit.
        window->listView()->setFocus();
        QTest::keyClick(window->listView(), Qt::Key_Return);
        QVERIFY(!window->isVisible());
        QCOMPARE(window->result(), int(QDialog::Accepted));
    }

    void enterInTheAddWindowPressesTheFocusedButtonElseOk()
    {
        // Cancel has the focus: nothing is added.
        driver->onDialog("CAddDlg", [](QDialog* dialog) {
            QVERIFY(QTest::qWaitForWindowActive(dialog));
            auto* add = static_cast<CAddDlg*>(dialog);
            TypeAddress(add, QStringLiteral("10.2.3.4"));
            auto* cancel = add->findChild<QPushButton*>("cancelButton");
            cancel->setFocus();
            QTest::keyClick(cancel, Qt::Key_Return);
        });
        Click(*window, "addButton");
        QCOMPARE(window->listView()->topLevelItemCount(), 0);

        // Enter in the address field: OK.
        driver->onDialog("CAddDlg", [](QDialog* dialog) {
            QVERIFY(QTest::qWaitForWindowActive(dialog));
            TypeAddress(static_cast<CAddDlg*>(dialog), QStringLiteral("10.2.3.4"));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        });
        Click(*window, "addButton");
        QCOMPARE(Column(window->listView(), 1), QStringList{"10.2.3.4"});
    }

    void aboutOpensFromTheWindowsOwnMenuAndItsButtonClosesIt()
    {
        QStringList shown;
        driver->onDialog("CAboutDlg", [&shown](QDialog* dialog) {
            shown << dialog->windowTitle();
            QTest::mouseClick(dialog->findChild<QPushButton*>("okButton"), Qt::LeftButton);
            shown << (dialog->isVisible() ? "still open" : "closed");
        });
        driver->chooseMenuItem(QStringLiteral("\u5173\u4e8e Orvane(&A)..."));
        // A right-click on the window itself, below the buttons and away from the list.
        const QPoint at(5, window->height() - 5);
        QVERIFY(window->childAt(at) == nullptr || !window->listView()->isAncestorOf(window->childAt(at)));
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, window->mapToGlobal(at));
        QApplication::sendEvent(window.get(), &event);
        QCOMPARE(driver->menus,
                 (QList<QStringList>{{QStringLiteral("\u5173\u4e8e Orvane(&A)..."), QStringLiteral("Export list..."),
                                     QStringLiteral("Search &networks..."), QStringLiteral("Apply &plan..."),
                                     QStringLiteral("Live &wall...")}}));
        QCOMPARE(shown, (QStringList{QStringLiteral("\u5173\u4e8e Orvane"), "closed"}));
        QVERIFY(window->isVisible());
    }

    void cancelledFileChoiceStartsNoUpload()
    {
        AddRows(*window, 1);
        g_strFilePath = "before";
        g_strIpcAddress = "1.1.1.1";
        QString filterAsked;
        window->setFileChooser([&filterAsked](QWidget*, const QString& filter) {
            filterAsked = filter;
            return QString();
        });
        driver->chooseMenuItem(QStringLiteral("Update"));
        RightClick(window->listView(), RowCentre(window->listView(), 0));
        QCOMPARE(filterAsked, QStringLiteral("image|*.br||"));
        window->OnCommand(COrvaneDlg::kUpdateOnvifIps);
        QCOMPARE(filterAsked, QStringLiteral("onvif_ips|*.txt||"));
        QCOMPARE(g_strFilePath, std::string("before"));
        QCOMPARE(g_strIpcAddress, std::string("1.1.1.1"));
        QCOMPARE(driver->boxes.size(), 0);
    }

    void escapeAndCloseBoxKeepTheWindowOpen()
    {
        QTest::keyClick(window.get(), Qt::Key_Escape);
        window->close();
        QVERIFY(window->isVisible());
        QTest::mouseClick(window->findChild<QPushButton*>("exitButton"), Qt::LeftButton);
        QVERIFY(!window->isVisible());
        QCOMPARE(window->result(), int(QDialog::Accepted));
    }

    void columnWidthsComeFromTheClientWidth_data()
    {
        QTest::addColumn<int>("clientWidth");
        QTest::addColumn<QList<int>>("widths");
        QTest::newRow("720") << 720 << QList<int>{20, 140, 120, 80, 60, 60, 200, 40};
        QTest::newRow("700") << 700 << QList<int>{19, 133, 114, 76, 57, 57, 190, 38};
        QTest::newRow("35") << 35 << QList<int>{0, 0, 0, 0, 0, 0, 0, 0};
    }
    void columnWidthsComeFromTheClientWidth()
    {
        QFETCH(int, clientWidth);
        QFETCH(QList<int>, widths);
        QTreeWidget view;
        CameraList(&view).setUpColumns(clientWidth);
        QList<int> actual;
        for (int i = 0; i < view.columnCount(); ++i)
            actual << view.columnWidth(i);
        QCOMPARE(actual, widths);
        QCOMPARE(view.headerItem()->text(6), QStringLiteral("UID"));
    }

    void theWindowsListUsesItsOwnClientWidth()
    {
        QTreeWidget* view = window->listView();
        const int unit = view->contentsRect().width() / 36;
        QVERIFY(unit > 0);
        QCOMPARE(view->columnWidth(0), unit);
        QCOMPARE(view->columnWidth(6), 10 * unit);
        QCOMPARE(view->selectionMode(), QAbstractItemView::ExtendedSelection);
    }

private:
    UiTestSetup setup;
    std::unique_ptr<COrvaneDlg> window;
    std::unique_ptr<ModalDriver> driver;
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
