#include "ui/IpAddressCtrl.h"

#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include <memory>

class IpAddressCtrlTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void addressCountsAndPacksFields_data();
    void addressCountsAndPacksFields();
    void setTextAcceptsOnlyDottedQuads_data();
    void setTextAcceptsOnlyDottedQuads();
    void typing_data();
    void typing();
    void addressChangedOncePerChange();

private:
    QLineEdit* edit(int index) const { return ctrl_->findChild<QLineEdit*>(QStringLiteral("field%1").arg(index)); }
    QStringList fieldTexts() const;
    int focusedField() const;

    std::unique_ptr<IpAddressCtrl> ctrl_;
};

namespace {

// Each key goes to whichever field has the focus by then, as from the window
// system, so auto-advance is seen as the operator sees it. '<' and '>' stand
// for the arrow keys.
void typeKeys(const QString& keys)
{
    for (const QChar c : keys) {
        QWidget* const focus = nullptr;
        if (c == u'<' || c == u'>')
            QTest::keyClick(focus, c == u'<' ? Qt::Key_Left : Qt::Key_Right);
        else
            QTest::keyClick(focus, c.toLatin1());
    }
}

}  // namespace

void IpAddressCtrlTest::init()
{
    ctrl_ = std::make_unique<IpAddressCtrl>();
    ctrl_->resize(152, 26);  // 101 by 16 dialog units at 8-point MS Shell Dlg
    ctrl_->show();
    ctrl_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(ctrl_.get()));
    QVERIFY(ctrl_->isBlank());
}

QStringList IpAddressCtrlTest::fieldTexts() const
{
    QStringList texts;
    for (int i = 0; i < IpAddressCtrl::kFieldCount; ++i)
        texts << edit(i)->text();
    return texts;
}

int IpAddressCtrlTest::focusedField() const
{
    for (int i = 0; i < IpAddressCtrl::kFieldCount; ++i)
        if (edit(i)->hasFocus())
            return i;
    return -1;
}

void IpAddressCtrlTest::addressCountsAndPacksFields_data()
{
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<int>("filled");
    QTest::addColumn<quint32>("packed");
    QTest::addColumn<QString>("text");

    QTest::newRow("cleared") << QStringList{"", "", "", ""} << 0 << 0u << "0.0.0.0";
    QTest::newRow("first only") << QStringList{"192", "", "", ""} << 1 << 0xC0000000u << "192.0.0.0";
    QTest::newRow("gap in the middle") << QStringList{"10", "", "3", "4"} << 3 << 0x0A000304u << "10.0.3.4";
    QTest::newRow("last only") << QStringList{"", "", "", "7"} << 1 << 7u << "0.0.0.7";
    QTest::newRow("zero is not blank") << QStringList{"0", "0", "0", "0"} << 4 << 0u << "0.0.0.0";
    QTest::newRow("all ones") << QStringList{"255", "255", "255", "255"} << 4 << 0xFFFFFFFFu << "255.255.255.255";
    QTest::newRow("high byte first") << QStringList{"192", "168", "1", "20"} << 4 << 0xC0A80114u << "192.168.1.20";
}

void IpAddressCtrlTest::addressCountsAndPacksFields()
{
    QFETCH(QStringList, fields);
    QFETCH(int, filled);
    QFETCH(quint32, packed);
    QFETCH(QString, text);

    ctrl_->setAddress(9, 8, 7, 6);
    ctrl_->clear();
    for (int i = 0; i < IpAddressCtrl::kFieldCount; ++i)
        edit(i)->setText(fields[i]);
    quint32 out = 0xdeadbeef;
    QCOMPARE(ctrl_->address(out), filled);
    QCOMPARE(out, packed);
    QCOMPARE(ctrl_->isBlank(), filled == 0);
    QCOMPARE(ctrl_->text(), text);
    for (int i = 0; i < IpAddressCtrl::kFieldCount; ++i)
        QCOMPARE(ctrl_->field(i), fields[i].isEmpty() ? -1 : fields[i].toInt());

    if (filled == IpAddressCtrl::kFieldCount) {
        ctrl_->clear();
        ctrl_->setAddress(packed);
        QCOMPARE(fieldTexts(), fields);
        ctrl_->clear();
        ctrl_->setAddress(quint8(fields[0].toUInt()), quint8(fields[1].toUInt()), quint8(fields[2].toUInt()),
                          quint8(fields[3].toUInt()));
        QCOMPARE(fieldTexts(), fields);
    }
}

void IpAddressCtrlTest::setTextAcceptsOnlyDottedQuads_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("result");  // empty when refused

    QTest::newRow("plain") << "1.2.3.4" << "1.2.3.4";
    QTest::newRow("all ones") << "255.255.255.255" << "255.255.255.255";
    QTest::newRow("leading zeros are decimal") << "010.001.000.009" << "10.1.0.9";
    QTest::newRow("over 255") << "256.1.1.1" << "";
    QTest::newRow("four digits") << "1.2.3.1000" << "";
    QTest::newRow("three fields") << "1.2.3" << "";
    QTest::newRow("five fields") << "1.2.3.4.5" << "";
    QTest::newRow("trailing dot") << "1.2.3.4." << "";
    QTest::newRow("empty field") << "1..3.4" << "";
    QTest::newRow("letters") << "a.b.c.d" << "";
    QTest::newRow("signs") << "+1.2.3.-4" << "";
    QTest::newRow("leading blank") << " 1.2.3.4" << "";
    QTest::newRow("trailing newline") << "1.2.3.4\n" << "";
    QTest::newRow("other script digits") << QString::fromUtf8("\u0661.\u0662.\u0663.\u0664") << "";
    QTest::newRow("empty") << "" << "";
}

void IpAddressCtrlTest::setTextAcceptsOnlyDottedQuads()
{
    QFETCH(QString, input);
    QFETCH(QString, result);

    ctrl_->setAddress(9, 8, 7, 6);
    QSignalSpy changed(ctrl_.get(), &IpAddressCtrl::addressChanged);
    const bool accepted = !result.isEmpty();
    QCOMPARE(ctrl_->setText(input), accepted);
    QCOMPARE(ctrl_->text(), accepted ? result : QStringLiteral("9.8.7.6"));
    QCOMPARE(changed.count(), accepted ? 1 : 0);
}

void IpAddressCtrlTest::typing_data()
{
    QTest::addColumn<QString>("start");  // empty for a blank control
    QTest::addColumn<QString>("keys");   // typed from the start of the first field
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<int>("focus");
    QTest::addColumn<QString>("text");

    QTest::newRow("dotted address") << "" << "192.168.1.20" << QStringList{"192", "168", "1", "20"} << 3
                                    << "192.168.1.20";
    QTest::newRow("three digits advance") << "" << "10020030" << QStringList{"100", "200", "30", ""} << 2
                                          << "100.200.30.0";
    QTest::newRow("999 becomes 255") << "" << "999" << QStringList{"255", "", "", ""} << 1 << "255.0.0.0";
    QTest::newRow("last field corrected") << "" << "1.2.3.256" << QStringList{"1", "2", "3", "255"} << 3
                                          << "1.2.3.255";
    QTest::newRow("letters ignored") << "" << "1a9b2c" << QStringList{"192", "", "", ""} << 1 << "192.0.0.0";
    QTest::newRow("dot in empty field") << "" << ".5" << QStringList{"5", "", "", ""} << 0 << "5.0.0.0";
    QTest::newRow("double dot") << "" << "1..2" << QStringList{"1", "2", "", ""} << 1 << "1.2.0.0";
    QTest::newRow("dot in last field") << "" << "1.2.3.4.5" << QStringList{"1", "2", "3", "45"} << 3 << "1.2.3.45";
    QTest::newRow("next field overwritten") << "10.20.30.40" << "1.2" << QStringList{"110", "2", "30", "40"} << 1
                                            << "110.2.30.40";
    QTest::newRow("backspace across fields") << "" << "1.2\b\b\b" << QStringList{"", "", "", ""} << 0 << "0.0.0.0";
    QTest::newRow("backspace lands at end") << "" << "12.3\b\b4" << QStringList{"124", "", "", ""} << 1
                                            << "124.0.0.0";
    QTest::newRow("backspace at start") << "1.22.3.4" << ">>\b9" << QStringList{"19", "22", "3", "4"} << 0
                                        << "19.22.3.4";
    QTest::newRow("left at start") << "1.22.3.4" << ">><9" << QStringList{"19", "22", "3", "4"} << 0 << "19.22.3.4";
    QTest::newRow("left in first field") << "1.22.3.4" << "<5" << QStringList{"51", "22", "3", "4"} << 0
                                         << "51.22.3.4";
    QTest::newRow("right at end") << "1.22.3.4" << ">>7" << QStringList{"1", "722", "3", "4"} << 1 << "1.255.3.4";
    QTest::newRow("right in last field") << "1.22.3.4" << ">>>>>>>>>5" << QStringList{"1", "22", "3", "45"} << 3
                                         << "1.22.3.45";
    // Typed into the middle the field stays put; Enter on a dialog would read
    // it then, so it already reads as it will show once left.
    QTest::newRow("digit in the middle") << "25.1.1.1" << "9" << QStringList{"925", "1", "1", "1"} << 0
                                         << "255.1.1.1";
    QTest::newRow("corrected on leaving") << "25.1.1.1" << "9\t" << QStringList{"255", "1", "1", "1"} << 1
                                          << "255.1.1.1";
}

void IpAddressCtrlTest::typing()
{
    QFETCH(QString, start);
    QFETCH(QString, keys);
    QFETCH(QStringList, fields);
    QFETCH(int, focus);
    QFETCH(QString, text);

    if (!start.isEmpty())
        QVERIFY(ctrl_->setText(start));
    edit(0)->setFocus();
    edit(0)->setCursorPosition(0);
    typeKeys(keys);
    QCOMPARE(fieldTexts(), fields);
    QCOMPARE(focusedField(), focus);
    QCOMPARE(ctrl_->text(), text);
}

void IpAddressCtrlTest::addressChangedOncePerChange()
{
    QSignalSpy changed(ctrl_.get(), &IpAddressCtrl::addressChanged);
    ctrl_->setAddress(1, 2, 3, 4);
    QCOMPARE(changed.count(), 1);
    ctrl_->setAddress(0x01020304u);
    QVERIFY(ctrl_->setText(QStringLiteral("1.2.3.4")));
    QCOMPARE(changed.count(), 1);
    ctrl_->clear();
    ctrl_->clear();
    QCOMPARE(changed.count(), 2);
    edit(2)->setFocus();
    typeKeys(QStringLiteral("7"));
    QCOMPARE(changed.count(), 3);
}

QTEST_MAIN(IpAddressCtrlTest)
#include "IpAddressCtrlTest.moc"
