#pragma once
// The video control: shows one camera's live stream, scaled to fit and
// centred on black, or a line saying why there is none. OpenStream and
// CloseStream return at once; the decoding runs on a thread of its own.
//
// VIDRA_LOG, when set, names a file that gets one line per call and per
// first picture shown, for tests and benchmarks.
//
// A host that needs to follow the stream (a wall that reconnects on its own)
// reads the control's VIDRA_STATE_PROPERTY, a QObject property that changes
// with a QEvent::DynamicPropertyChange the host may filter.

#include "vidra/DecodeSession.h"
#include "vidra/LoginForm.h"

#include <QImage>
#include <QPainter>
#include <QString>
#include <QWidget>

#include <chrono>
#include <memory>
#include <string>

namespace vidra {

class VidraControl : public QWidget {
    Q_OBJECT
public:
    explicit VidraControl(QWidget* parent = nullptr);
    ~VidraControl() override;

    void OpenStream(const std::string& address, int stream);
    void CloseStream();

    // What the control shows now.
    QImage picture() const { return picture_; }
    QString statusText() const { return status_; }

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void stopSession();
    void paintInfo(QPainter& painter);
    void setStatus(const char* state, const QString& text);
    void takeDelivery();
    void askLogin(const std::string& message);
    void hideLogin();
    void connectWithLogin(const QString& user, const QString& password);
    void saveSnapshot();
    void writeSnapshot(const QImage& frame);

    std::shared_ptr<DecodeSession> session_;
    std::string address_;
    int stream_ = 0;
    LoginForm* login_;
    QString snapshotPath_;
    // The short line about the stream: shown for a while after the first
    // picture, and while the pointer rests on the picture.
    QString info_;
    std::chrono::steady_clock::time_point infoUntil_;  // where the next full-size picture goes
    QImage picture_;
    QString status_;
    bool failed_ = false;
    bool firstPictureLogged_ = false;
    std::chrono::steady_clock::time_point openedAt_;
};

}  // namespace vidra
