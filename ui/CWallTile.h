#pragma once
// One tile of the live wall: a Vidra control created by class id, as the
// main window's is, playing one camera, with the camera's address and the
// stream's state in a strip across its foot. A stream that stops is opened
// again by itself, 1, 2, 4 ... up to 30 s after each failure.

#include "preview/CTarnFFMpeg.h"

#include <QObject>
#include <QTimer>

#include <cstdint>
#include <string>

class QLabel;

class CWallTile : public QObject {
    Q_OBJECT
public:
    enum class Quality { k720P, k1080P };

    struct Camera {
        std::string ip;
        int16_t stream720P;
        int16_t stream1080P;
    };

    CWallTile(Camera camera, QWidget* parent);
    ~CWallTile() override;

    // False when the plug-in did not make a control.
    bool created() const { return control_.window() != nullptr; }
    QWidget* widget() const { return control_.window(); }
    const Camera& camera() const { return camera_; }
    QString caption() const;

    void play(Quality quality);
    void stop();

    // Seconds to wait before try number attempt (0 first) after a failure.
    static int ReconnectDelay_s(int attempt);

signals:
    void doubleClicked(CWallTile* tile);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void onStateChanged();
    void showCaption(const QString& state);

    Camera camera_;
    Quality quality_ = Quality::k720P;
    int failures_ = 0;  // in a row: a picture shown starts the count again
    bool open_ = false;
    QTimer retry_;
    QLabel* caption_ = nullptr;
    // Last: the control goes before the tile's other parts.
    CTarnFFMpeg control_;
};
