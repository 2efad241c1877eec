#include "ui/IpAddressCtrl.h"

#include "net/IPv4.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QStringList>

#include <algorithm>

namespace {

constexpr int kMaxDigits = 3;
constexpr int kMaxValue = 255;

}  // namespace

IpAddressCtrl::IpAddressCtrl(QWidget* parent) : QWidget(parent)
{
    // The box, not the fields, carries the frame and the base colour, so the
    // four fields and their dots read as one edit.
    auto* box = new QFrame(this);
    box->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    box->setBackgroundRole(QPalette::Base);
    box->setAutoFillBackground(true);

    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(box);

    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);

    // Keystrokes other than digits never reach a field; paste is held to the
    // same rule.
    auto* digits = new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,3}")), this);
    const int fieldWidth = fontMetrics().horizontalAdvance(QStringLiteral("000")) + 2;

    for (int i = 0; i < kFieldCount; ++i) {
        if (i > 0) {
            auto* dot = new QLabel(QStringLiteral("."), box);
            dot->setForegroundRole(QPalette::Text);  // it sits on the base colour
            dot->setAlignment(Qt::AlignCenter);
            row->addWidget(dot);
        }
        auto* edit = new QLineEdit(box);
        edit->setObjectName(QStringLiteral("field%1").arg(i));
        edit->setFrame(false);
        edit->setAlignment(Qt::AlignCenter);
        edit->setMaxLength(kMaxDigits);
        edit->setValidator(digits);
        // A line edit asks for room for some seventeen characters; these hold
        // three, and the windows that use the control give it its size.
        edit->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
        edit->setMinimumWidth(fieldWidth);
        edit->installEventFilter(this);
        connect(edit, &QLineEdit::textChanged, this, &IpAddressCtrl::addressChanged);
        connect(edit, &QLineEdit::textEdited, this, [this, i] { onFieldEdited(i); });
        row->addWidget(edit, 1);
        fields_[i] = edit;
    }
    setFocusProxy(fields_[0]);
}

void IpAddressCtrl::setAddress(quint8 f0, quint8 f1, quint8 f2, quint8 f3)
{
    writeFields({QString::number(f0), QString::number(f1), QString::number(f2), QString::number(f3)});
}

void IpAddressCtrl::setAddress(quint32 address)
{
    setAddress(quint8(address >> 24), quint8(address >> 16), quint8(address >> 8), quint8(address));
}

int IpAddressCtrl::address(quint32& out) const
{
    int filled = 0;
    quint32 packed = 0;
    for (int i = 0; i < kFieldCount; ++i) {
        const int value = field(i);
        if (value >= 0)
            ++filled;
        packed = (packed << 8) | quint32(std::max(value, 0));
    }
    out = packed;
    return filled;
}

void IpAddressCtrl::clear()
{
    writeFields({});
}

bool IpAddressCtrl::isBlank() const
{
    return std::all_of(fields_.begin(), fields_.end(), [](const QLineEdit* f) { return f->text().isEmpty(); });
}

int IpAddressCtrl::field(int index) const
{
    if (index < 0 || index >= kFieldCount)
        return -1;
    const QString digits = fields_[index]->text();
    if (digits.isEmpty())
        return -1;
    // A field can still hold, say, 925 if the operator typed into its middle
    // and pressed Enter without leaving it; read it as leaving would show it.
    return std::min(digits.toInt(), kMaxValue);
}

QString IpAddressCtrl::text() const
{
    QStringList parts;
    for (int i = 0; i < kFieldCount; ++i)
        parts << QString::number(std::max(field(i), 0));
    return parts.join(QLatin1Char('.'));
}

bool IpAddressCtrl::setText(const QString& dotted)
{
    // Decimal even with a leading zero, as the field would show it; this is
    // not inet_addr, which would read 010 as octal. Digits of other scripts
    // are refused: they are no bytes of '0' to '9' in UTF-8.
    uint32_t address = 0;
    if (!orvane::ParseIPv4(dotted.toStdString(), address, orvane::LeadingZeros::Decimal))
        return false;
    std::array<QString, kFieldCount> texts;
    for (int i = 0; i < kFieldCount; ++i)
        texts[i] = QString::number((address >> (8 * (kFieldCount - 1 - i))) & 255u);
    writeFields(texts);
    return true;
}

bool IpAddressCtrl::eventFilter(QObject* watched, QEvent* event)
{
    const int index = indexOf(watched);
    if (index < 0)
        return QWidget::eventFilter(watched, event);
    if (event->type() == QEvent::FocusOut) {
        completeField(index);
        return false;
    }
    if (event->type() != QEvent::KeyPress)
        return false;

    const auto* key = static_cast<const QKeyEvent*>(event);
    const QLineEdit* edit = fields_[index];
    if (key->text() == QLatin1String(".")) {
        if (!edit->text().isEmpty() && index + 1 < kFieldCount)
            moveFocus(index, index + 1, Caret::SelectAll);
        return true;
    }
    // Shifted arrows and the like keep their line-edit meaning inside a field.
    if ((key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier || edit->hasSelectedText())
        return false;

    const bool atStart = edit->cursorPosition() == 0;
    const bool atEnd = edit->cursorPosition() == edit->text().size();
    switch (key->key()) {
    case Qt::Key_Backspace:
    case Qt::Key_Left:
        if (!atStart || index == 0)
            return false;
        moveFocus(index, index - 1, Caret::End);
        return true;
    case Qt::Key_Right:
        if (!atEnd || index + 1 == kFieldCount)
            return false;
        moveFocus(index, index + 1, Caret::Start);
        return true;
    default:
        return false;
    }
}

int IpAddressCtrl::indexOf(const QObject* watched) const
{
    const auto it = std::find(fields_.begin(), fields_.end(), watched);
    return it == fields_.end() ? -1 : int(it - fields_.begin());
}

void IpAddressCtrl::writeFields(const std::array<QString, kFieldCount>& texts)
{
    // One call is one change to listeners, not up to four.
    bool changed = false;
    for (int i = 0; i < kFieldCount; ++i) {
        if (fields_[i]->text() == texts[i])
            continue;
        const QSignalBlocker quiet(fields_[i]);
        fields_[i]->setText(texts[i]);
        changed = true;
    }
    if (changed)
        emit addressChanged();
}

void IpAddressCtrl::onFieldEdited(int index)
{
    // Only a digit typed at the end completes the field; one typed into the
    // middle of a full field leaves the caret there for further correction.
    const QLineEdit* edit = fields_[index];
    if (edit->text().size() < kMaxDigits || edit->cursorPosition() < kMaxDigits)
        return;
    if (index + 1 < kFieldCount)
        moveFocus(index, index + 1, Caret::SelectAll);
    else
        completeField(index);
}

void IpAddressCtrl::completeField(int index)
{
    const QString digits = fields_[index]->text();
    if (!digits.isEmpty() && digits.toInt() > kMaxValue)
        fields_[index]->setText(QString::number(kMaxValue));
}

void IpAddressCtrl::moveFocus(int from, int to, Caret caret)
{
    // Done here and not left to the focus-out event, which a window that is
    // not active never gets.
    completeField(from);
    QLineEdit* target = fields_[to];
    target->setFocus(Qt::OtherFocusReason);
    switch (caret) {
    case Caret::Start: target->setCursorPosition(0); break;
    case Caret::End: target->end(false); break;
    case Caret::SelectAll: target->selectAll(); break;
    }
}
