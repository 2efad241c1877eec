#pragma once
// Plays the operator for window tests: every few milliseconds it looks at the
// modal window on top and, for a message box, records its caption and text
// and presses OK; for another dialog it runs the handler the test gave for
// its class, once per opening; for a popup menu it records the items and
// closes it, or triggers the item a test asked for.

#include <QApplication>
#include <QDialog>
#include <QPushButton>
#include <QMenu>
#include <QMessageBox>
#include <QObject>
#include <QStringList>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QContextMenuEvent>

#include <functional>
#include <map>

struct ShownBox {
    QString caption;
    QString text;
    bool owned;  // has a parent window
};

class ModalDriver : public QObject {
public:
    ModalDriver()
    {
        connect(&timer_, &QTimer::timeout, this, &ModalDriver::tick);
        timer_.start(5);
    }

    void onDialog(const char* className, std::function<void(QDialog*)> handler)
    {
        handlers_[className] = std::move(handler);
    }
    // The next popup menu gets the item with this text triggered (empty: closed).
    void chooseMenuItem(const QString& text) { menuChoice_ = text; }

    QList<ShownBox> boxes;
    QList<QStringList> menus;  // items of every popup shown

    QStringList boxTexts() const
    {
        QStringList texts;
        for (const ShownBox& box : boxes)
            texts << box.text;
        return texts;
    }

private:
    void tick()
    {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            handleMenu(menu);
            return;
        }
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            if (box->isVisible()) {
                boxes.append({box->windowTitle(), box->text(), box->parentWidget() != nullptr});
                box->button(QMessageBox::Ok)->click();
            }
            return;
        }
        auto* dialog = qobject_cast<QDialog*>(modal);
        if (dialog == nullptr || !dialog->isVisible() || dialog->property("driven").toBool())
            return;
        auto found = handlers_.find(dialog->metaObject()->className());
        if (found != handlers_.end()) {
            dialog->setProperty("driven", true);
            // Later, from a timer of its own: what the handler opens must
            // still see this driver's ticks, which Qt holds back while a
            // tick runs.
            auto handler = found->second;
            QTimer::singleShot(0, dialog, [handler, dialog] { handler(dialog); });
        }
    }

    void handleMenu(QMenu* menu)
    {
        QStringList items;
        QAction* chosen = nullptr;
        for (QAction* action : menu->actions()) {
            if (action->isSeparator())
                continue;
            items << action->text() + (action->isEnabled() ? QString() : QStringLiteral(" (disabled)"));
            if (!menuChoice_.isEmpty() && action->text() == menuChoice_)
                chosen = action;
        }
        menus.append(items);
        menuChoice_.clear();
        if (chosen == nullptr) {
            menu->close();
            return;
        }
        // As the operator would: highlight the item and press Enter.
        menu->setActiveAction(chosen);
        QTest::keyClick(menu, Qt::Key_Return);
    }

    QTimer timer_;
    std::map<QString, std::function<void(QDialog*)>> handlers_;
    QString menuChoice_;
};

// As the operator does: a right-click on the row, and the driver picks item
// from the row menu that opens.
inline void RightClickRowAndChoose(ModalDriver& driver, QTreeWidget* view, int row, const QString& item)
{
    const QPoint at = view->visualItemRect(view->topLevelItem(row)).center();
    driver.chooseMenuItem(item);
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, view->viewport()->mapToGlobal(at));
    QApplication::sendEvent(view->viewport(), &event);
}
