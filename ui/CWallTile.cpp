#include "ui/CWallTile.h"

#include "vidra/VidraApi.h"

#include <QDynamicPropertyChangeEvent>
#include <QEvent>
#include <QLabel>
#include <QRect>

#include <algorithm>
#include <utility>

namespace {

constexpr unsigned kChildVisible = 0x50000000;  // WS_CHILD | WS_VISIBLE
constexpr int kLongestWait_s = 30;

}  // namespace

CWallTile::CWallTile(Camera camera, QWidget* parent) : QObject(parent), camera_(std::move(camera))
{
    retry_.setSingleShot(true);
    connect(&retry_, &QTimer::timeout, this, [this] { play(quality_); });
    if (!control_.Create(nullptr, "", kChildVisible, QRect(0, 0, 320, 180), parent, 1020))
        return;
    QWidget* control = control_.window();
    control->installEventFilter(this);
    // A child of the control, drawn over its picture at the foot, where the
    // picture's own time strip at the top stays uncovered.
    caption_ = new QLabel(control);
    caption_->setObjectName(QStringLiteral("tileCaption"));
    caption_->setStyleSheet(QStringLiteral("QLabel { background: rgba(0, 0, 0, 170); color: white; padding: 2px 6px; }"));
    caption_->setWordWrap(true);
    caption_->setAttribute(Qt::WA_TransparentForMouseEvents);
    showCaption(QStringLiteral("connecting"));
}

CWallTile::~CWallTile()
{
    stop();
}

int CWallTile::ReconnectDelay_s(int attempt)
{
    if (attempt < 0)
        return 1;
    return attempt >= 5 ? kLongestWait_s : std::min(kLongestWait_s, 1 << attempt);
}

QString CWallTile::caption() const
{
    return caption_ != nullptr ? caption_->text() : QString();
}

void CWallTile::play(Quality quality)
{
    retry_.stop();
    quality_ = quality;
    const int16_t stream = quality == Quality::k1080P ? camera_.stream1080P : camera_.stream720P;
    control_.OpenStream(camera_.ip.c_str(), stream);
    open_ = true;
}

void CWallTile::stop()
{
    retry_.stop();
    if (open_)
        control_.CloseStream();
    open_ = false;
}

bool CWallTile::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == control_.window()) {
        if (event->type() == QEvent::DynamicPropertyChange &&
            static_cast<QDynamicPropertyChangeEvent*>(event)->propertyName() == VIDRA_STATE_PROPERTY) {
            onStateChanged();
        } else if (event->type() == QEvent::MouseButtonDblClick) {
            emit doubleClicked(this);
            return true;
        } else if (event->type() == QEvent::Resize && caption_ != nullptr) {
            showCaption(caption_->property("state").toString());
        }
    }
    return QObject::eventFilter(watched, event);
}

void CWallTile::onStateChanged()
{
    QWidget* control = control_.window();
    const QString state = control->property(VIDRA_STATE_PROPERTY).toString();
    if (state == QLatin1String("playing")) {
        failures_ = 0;
        showCaption(QString());
    } else if (state == QLatin1String("connecting")) {
        showCaption(QStringLiteral("connecting"));
    } else if (state == QLatin1String("login")) {
        showCaption(QStringLiteral("login required"));
    } else if (state == QLatin1String("failed") || state == QLatin1String("ended")) {
        const int wait_s = ReconnectDelay_s(failures_++);
        showCaption(QStringLiteral("%1; trying again in %2 s").arg(control->accessibleDescription()).arg(wait_s));
        retry_.start(wait_s * 1000);
    }
}

void CWallTile::showCaption(const QString& state)
{
    if (caption_ == nullptr)
        return;
    const QString address = QString::fromStdString(camera_.ip);
    caption_->setProperty("state", state);
    caption_->setText(state.isEmpty() ? address : QStringLiteral("%1: %2").arg(address, state));
    QWidget* control = control_.window();
    caption_->setFixedWidth(control->width());
    const int height = caption_->heightForWidth(control->width());
    caption_->setGeometry(0, control->height() - height, control->width(), height);
    caption_->show();
    caption_->raise();
}
