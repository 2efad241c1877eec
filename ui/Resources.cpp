#include "ui/Resources.h"

#include <QFile>
#include <QIcon>
#include <QMenu>
#include <QTextStream>

namespace {

// Tab-separated lines of a text resource, comments and blank lines skipped.
QList<QStringList> ReadTable(const QString& path)
{
    QList<QStringList> rows;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return rows;
    QTextStream in(&file);
    in.setEncoding(QStringConverter::Utf8);
    while (!in.atEnd()) {
        const QString line = in.readLine();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        rows << line.split(QLatin1Char('\t'));
    }
    return rows;
}

}  // namespace

void InitOrvaneResources()
{
    Q_INIT_RESOURCE(orvane);
}

QMenu* LoadPopupMenu(int menuId, QWidget* parent)
{
    auto* menu = new QMenu(parent);
    bool inFirstPopup = false;
    for (const QStringList& row : ReadTable(QStringLiteral(":/menu%1.txt").arg(menuId))) {
        if (row.value(0) == QLatin1String("popup")) {
            if (inFirstPopup)
                break;
            inFirstPopup = true;
            menu->setTitle(row.value(1));
        } else if (inFirstPopup && row.value(0) == QLatin1String("separator")) {
            menu->addSeparator();
        } else if (inFirstPopup && row.size() == 4 && row[0] == QLatin1String("item")) {
            QAction* action = menu->addAction(row[3]);
            action->setData(row[1].toInt());
            action->setEnabled(row[2] == QLatin1String("enabled"));
        }
    }
    return menu;
}

QString LoadResourceString(int id)
{
    const QString key = QString::number(id);
    for (const QStringList& row : ReadTable(QStringLiteral(":/strings.txt"))) {
        if (row.size() == 2 && row[0] == key)
            return row[1];
    }
    return QString();
}

QIcon ApplicationIcon()
{
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/orvane-16.png"));
    icon.addFile(QStringLiteral(":/icons/orvane-32.png"));
    return icon;
}
