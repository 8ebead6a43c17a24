// kordex-getimage-shots: pictures of the get-image windows for the
// documentation. A small Qt host: it makes its own QApplication, loads the
// windows through the public exports and, from the acquisition callback,
// asks its own thread to grab the running window at chosen moments.
//
//   kordex-getimage-shots <output folder>
//
// Run it with the virtual sensor (KORDEX_SENSOR_LINK=virtual) and, without a
// display, QT_QPA_PLATFORM=offscreen.
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

#include "kordex.h"

namespace {

QString g_folder;

// The visible top-level window the library opened.
QWidget* RunningWindow()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->isModal()) return w;
    return nullptr;
}

void GrabLater(const QString& name)
{
    QMetaObject::invokeMethod(
        qApp,
        [name] {
            if (QWidget* w = RunningWindow()) {
                const QString path = QDir(g_folder).filePath(name);
                if (w->grab().save(path)) std::printf("%s\n", path.toUtf8().constData());
            }
        },
        Qt::QueuedConnection);
}

// Grabs the window once when the shot is awaited (after the wait timer has
// run a while) and once when the frame has come in to about 60 %.
struct Shots {
    QString waiting;
    QString capturing;
    bool cancelAfter = false;
    std::atomic<bool> waitingDone{false};
    std::atomic<bool> capturingDone{false};
};

std::int32_t Callback(void* record)
{
    auto* s = static_cast<AcqStatus*>(record);
    auto* shots = static_cast<Shots*>(s->context);
    if (s->event == KX_EVENT_PROGRESS && s->progress == 0 && !shots->waiting.isEmpty() &&
        !shots->waitingDone.exchange(true)) {
        const QString name = shots->waiting;
        QMetaObject::invokeMethod(
            qApp, [name] { QTimer::singleShot(700, qApp, [name] { GrabLater(name); }); }, Qt::QueuedConnection);
    }
    if (s->event == KX_EVENT_DATA && s->progress >= 60 && !shots->capturing.isEmpty() &&
        !shots->capturingDone.exchange(true)) {
        GrabLater(shots->capturing);
        if (shots->cancelAfter) QMetaObject::invokeMethod(qApp, [] { KX_GetImageCancel(); }, Qt::QueuedConnection);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: kordex-getimage-shots <output folder>\n");
        return 2;
    }
    QApplication app(argc, argv);
    g_folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(g_folder);

    int width = 0, height = 0;
    KXACQ_GetFrameDim(&width, &height);
    std::vector<std::int16_t> frame(static_cast<std::size_t>(width) * height);
    KX_Set_Calibration(0, nullptr, nullptr, nullptr, nullptr);
    KX_Set_ImgProcess(0, nullptr, 0, nullptr, nullptr);

    Shots preview;
    preview.waiting = "getimage-preview-waiting.png";
    preview.capturing = "getimage-preview.png";
    KX_Set_Acquisition(1, frame.data(), 0, &Callback, &preview);
    KX_GetImage(nullptr);

    Shots embedded;
    embedded.capturing = "getimage-embedded.png";
    KX_Set_Acquisition(1, frame.data(), 0, &Callback, &embedded);
    KX_GetImageSP(nullptr, 40, 40, 420, 320);

    Shots banner;
    banner.waiting = "getimage-banner-waiting.png";
    banner.capturing = "getimage-banner-capturing.png";
    KX_Set_Acquisition(1, frame.data(), 0, &Callback, &banner);
    KX_GetImageA(nullptr, 0, 0);
    return 0;
}
