#pragma once
// Our stand-in for the Windows IP-address control: four fields of 0-255, each
// of which may be blank, in one box that looks like a single line edit. The
// calls mirror the control's messages (IPM_SETADDRESS, IPM_GETADDRESS,
// IPM_CLEARADDRESS, IPM_ISBLANK), so the windows that use it read like the
// originals. Usable from Designer as a promoted widget, header
// "ui/IpAddressCtrl.h".

#include <QString>
#include <QWidget>

#include <array>

class QLineEdit;

class IpAddressCtrl : public QWidget {
    Q_OBJECT

public:
    static constexpr int kFieldCount = 4;

    explicit IpAddressCtrl(QWidget* parent = nullptr);

    // f0 is the leftmost field; in the packed form it is the high byte, as
    // with MAKEIPADDRESS.
    void setAddress(quint8 f0, quint8 f1, quint8 f2, quint8 f3);
    void setAddress(quint32 address);
    // Packs the four fields, a blank one as 0, and returns how many are not
    // blank.
    int address(quint32& out) const;
    void clear();
    // True only when all four fields are blank; 0.0.0.0 is not blank.
    bool isBlank() const;
    // The value of a field, or -1 when it is blank or index is out of range.
    int field(int index) const;

    // "a.b.c.d", blank fields as 0.
    QString text() const;
    // Accepts exactly four dot-separated decimal numbers of one to three
    // digits, each at most 255, nothing around them. Anything else returns
    // false and leaves the fields as they were.
    bool setText(const QString& dotted);

signals:
    // Once for each change of the fields, whether typed or set by a call.
    void addressChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class Caret { Start, End, SelectAll };

    int indexOf(const QObject* watched) const;
    void writeFields(const std::array<QString, kFieldCount>& texts);
    void onFieldEdited(int index);
    void completeField(int index);
    void moveFocus(int from, int to, Caret caret);

    std::array<QLineEdit*, kFieldCount> fields_{};
};
