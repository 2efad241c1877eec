// The preview of cameras that hide their stream behind ONVIF and a login,
// on the test LAN under Xvfb: Link shows the login form in the control, a
// wrong password brings it back saying so, the right one gives the moving
// picture, the next camera of the site plays without asking, and a camera
// without ONVIF still plays at the default address. The password is then
// looked for everywhere it must not be. Runs inside scripts/test-lan with
// the cameras of tests/ui/CMakeLists.txt; the cameras' password is in
// tests/ui/sim-login-password, never on a command line.

#include "tests/ui/ModalDriver.h"
#include "tests/ui/PluginTestSupport.h"
#include "tests/ui/UiTestSetup.h"
#include "tools/ipc-sim/TimeStrip.h"
#include "ui/COrvaneDlg.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <optional>

namespace {

int CountLines(const QString& log, const QByteArray& start)
{
    QFile file(log);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    int count = 0;
    for (const QByteArray& line : file.readAll().split('\n'))
        count += line.startsWith(start) ? 1 : 0;
    return count;
}

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

class LoginPreviewTest : public QObject {
    Q_OBJECT
    UiTestSetup setup;
    QTemporaryDir data;
    QString log;
    QString errors;
    int savedStderr = -1;
    QByteArray password;
    std::unique_ptr<COrvaneDlg> window;
    std::unique_ptr<ModalDriver> driver;
    QStringList shownTexts;  // every text the control showed

    QWidget* control() { return window->preview().window(); }
    QLineEdit* field(const char* name) { return control()->findChild<QLineEdit*>(QString::fromLatin1(name)); }
    QWidget* form() { return control()->findChild<QWidget*>(QStringLiteral("vidraLogin")); }
    void link(int row) { ClickRowAndCommand(*window, row, COrvaneDlg::kLink1080P); }
    void note() { shownTexts << control()->accessibleDescription(); }

    QImage screenOfControl()
    {
        const QRect area = control()->geometry();
        return window->screen()
            ->grabWindow(window->winId(), area.x(), area.y(), area.width(), area.height())
            .toImage()
            .convertToFormat(QImage::Format_RGB32);
    }
    std::optional<int64_t> stripTime()
    {
        const QImage image = screenOfControl();
        return orvane::sim::ReadTimeStrip(reinterpret_cast<const uint32_t*>(image.constBits()), image.width(),
                                          image.height(), static_cast<int>(image.bytesPerLine() / 4));
    }

    // Waits for the form, then types user and password as an operator does:
    // the user field has the focus, Tab goes on, Enter connects.
    void typeLogin(const QByteArray& typed)
    {
        QTRY_VERIFY_WITH_TIMEOUT(form() != nullptr && form()->isVisible(), 8000);
        note();
        QLineEdit* user = field("user");
        QLineEdit* secret = field("password");
        QVERIFY(user && secret);
        QCOMPARE(secret->echoMode(), QLineEdit::Password);
        // The window's own focus: without a window manager Xvfb may have
        // taken the keyboard from it, which the operator's click gives back.
        QCOMPARE(window->focusWidget(), static_cast<QWidget*>(user));
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(user));
        user->selectAll();
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("admin"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(secret));
        QTest::keyClicks(secret, QString::fromUtf8(typed));
        QTest::keyClick(secret, Qt::Key_Return);
        note();
    }

    void expectMovingPicture()
    {
        QTRY_VERIFY_WITH_TIMEOUT(stripTime().has_value(), 8000);
        const std::optional<int64_t> first = stripTime();
        QTest::qWait(600);
        const std::optional<int64_t> second = stripTime();
        QVERIFY2(first && second && *second - *first >= 300, "the picture did not move on");
        note();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(data.isValid());
        setenv("XDG_DATA_HOME", data.path().toUtf8().constData(), 1);
        unsetenv("VIDRA_URL");
        unsetenv("VIDRA_USER");
        unsetenv("VIDRA_PASSWORD");
        log = data.filePath(QStringLiteral("vidra.log"));
        setenv("VIDRA_LOG", log.toUtf8().constData(), 1);
        password = ReadAll(QStringLiteral(ORVANE_SIM_PASSWORD_FILE)).trimmed();
        QVERIFY(!password.isEmpty());
        // What the plug-in and its libraries say on stderr, for the last case.
        errors = data.filePath(QStringLiteral("stderr"));
        savedStderr = ::dup(2);
        const int file = ::open(errors.toUtf8().constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        QVERIFY(file >= 0);
        ::dup2(file, 2);
        ::close(file);
        QVERIFY(RegisterBuiltPlugin());
        window = std::make_unique<COrvaneDlg>();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        // The operator types into it: the window must have the keyboard.
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        driver = std::make_unique<ModalDriver>();
        window->OnSearch();
        QCOMPARE(window->listView()->topLevelItemCount(), 3);
    }
    void cleanupTestCase()
    {
        driver.reset();
        window.reset();
        if (savedStderr >= 0) {
            ::dup2(savedStderr, 2);
            ::close(savedStderr);
        }
    }

    // The cases share one window and one run: the login typed in one is
    // what the next ones rely on, as an operator's would be.
    void wrongPasswordAsksAgainThenTheRightOnePlays()
    {
        link(0);  // 10.77.0.11: ONVIF with a login
        typeLogin("not-" + password);
        QTRY_COMPARE_WITH_TIMEOUT(CountLines(log, "login-asked address=10.77.0.11 wrong=1"), 1, 8000);
        QVERIFY(form()->isVisible());
        QCOMPARE(control()->accessibleDescription(), QStringLiteral("Wrong user or password"));
        QVERIFY(field("password")->text().isEmpty());
        typeLogin(password);
        expectMovingPicture();
        QCOMPARE(CountLines(log, "info address=10.77.0.11 text=H.264 1920x1080 25 fps UDP"), 1);
        QCOMPARE(CountLines(log, "login-asked address=10.77.0.11 wrong=0"), 1);
        QCOMPARE(CountLines(log, "located address=10.77.0.11 stream=0 url=rtsp://10.77.0.11:554/live/ch00_0 source=onvif"),
                 1);
        QVERIFY(!form()->isVisible());
    }

    void nextCameraOfTheSitePlaysWithoutAsking()
    {
        link(1);  // 10.77.0.12: the same login, RTSP basic, H.265
        QTRY_COMPARE_WITH_TIMEOUT(
            CountLines(log, "located address=10.77.0.12 stream=0 url=rtsp://10.77.0.12:554/live/ch00_0 source=onvif"), 1,
            8000);
        expectMovingPicture();
        QCOMPARE(CountLines(log, "info address=10.77.0.12 text=H.265 1920x1080 25 fps UDP"), 1);
        QCOMPARE(CountLines(log, "login-asked address=10.77.0.12"), 0);
    }

    void cameraWithoutOnvifPlaysAtTheDefaultAddress()
    {
        // Over TCP at once when asked: no UDP set-up first.
        setenv("VIDRA_TRANSPORT", "tcp", 1);
        link(2);  // 10.77.0.13: neither ONVIF nor a login
        QTRY_COMPARE_WITH_TIMEOUT(
            CountLines(log, "located address=10.77.0.13 stream=0 url=rtsp://10.77.0.13:554/main source=pattern"), 1, 8000);
        expectMovingPicture();
        unsetenv("VIDRA_TRANSPORT");
        QCOMPARE(CountLines(log, "info address=10.77.0.13 text=H.264 1920x1080 25 fps TCP"), 1);
        QCOMPARE(CountLines(log, "transport-fallback"), 0);
    }

    // Right-click, the menu's one item, the file dialog: the frame at the
    // stream's own size, in the format the name asks for.
    void snapshotSavesTheFullFrame()
    {
        QTRY_VERIFY_WITH_TIMEOUT(stripTime().has_value(), 8000);  // 10.77.0.13 still plays
        for (const QString& name : {QStringLiteral("shot.png"), QStringLiteral("shot.jpg")}) {
            const QString path = data.filePath(name);
            driver->chooseMenuItem(QStringLiteral("Save snapshot..."));
            driver->onDialog("QFileDialog", [path](QDialog* dialog) {
                // Typed into the name field, as the operator does.
                auto* name_field = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                if (name_field == nullptr) {
                    dialog->reject();
                    return;
                }
                name_field->setText(path);
                dialog->accept();
            });
            QContextMenuEvent click(QContextMenuEvent::Mouse, control()->rect().center(),
                                    control()->mapToGlobal(control()->rect().center()));
            QApplication::sendEvent(control(), &click);
            QCOMPARE(driver->menus.size(), 1 + (name.endsWith(QStringLiteral(".jpg")) ? 1 : 0));
            QCOMPARE(driver->menus.last(), QStringList{QStringLiteral("Save snapshot...")});
            QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(path), 5000);
            QImage saved;
            QTRY_VERIFY_WITH_TIMEOUT(saved.load(path), 2000);  // once it is whole
            QCOMPARE(saved.size(), QSize(1920, 1080));
            QVERIFY(saved.width() > control()->width());
            const QByteArray head = ReadAll(path).left(4);
            QCOMPARE(head.left(name.endsWith(QStringLiteral(".png")) ? 4 : 2),
                     name.endsWith(QStringLiteral(".png")) ? QByteArray("\x89PNG") : QByteArray("\xff\xd8"));
        }
        QCOMPARE(CountLines(log, "snapshot saved=1 size=1920x1080"), 2);
    }

    void passwordIsNowhere()
    {
        for (const QString& text : shownTexts)
            QVERIFY2(!text.toUtf8().contains(password), qPrintable(text));
        QVERIFY(!ReadAll(log).contains(password));
        QVERIFY(!ReadAll(errors).contains(password));
        const QDir proc(QStringLiteral("/proc"));
        for (const QString& pid : proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            const QByteArray cmdline = ReadAll(QStringLiteral("/proc/%1/cmdline").arg(pid));
            QVERIFY2(!cmdline.contains(password), qPrintable(pid));
        }
        const QDir home(data.path());
        for (const QString& name : home.entryList(QDir::Files))
            QVERIFY2(name == QStringLiteral("stderr") || !ReadAll(home.filePath(name)).contains(password),
                     qPrintable(name));
    }
};

QTEST_MAIN(LoginPreviewTest)
#include "LoginPreviewTest.moc"
