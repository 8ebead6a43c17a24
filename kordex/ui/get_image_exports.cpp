// The get-image exports: the stored stages and the modal windows that run
// them. Each window runs in the calling thread, inside the host's
// QApplication or one the library creates for the call.
#include <QWidget>

#include <exception>
#include <memory>

#include "frame/export_guard.h"
#include "frame/library.h"
#include "kordex.h"
#include "platform/message_box.h"
#include "platform/text.h"
#include "ui/banner_window.h"
#include "ui/get_image_window.h"
#include "ui/qt_application.h"
#include "ui/report_router.h"
#include "ui/stage_driver.h"
#include "ui/stage_settings.h"

using kordex::Lib;
namespace ui = kordex::ui;

namespace {

// After the window: the first error text in an error box, unless the user
// cancelled.
void ShowFailure(ui::GetImageSequence& sequence, QWidget* parent)
{
    if (sequence.ShowsErrorBox()) platform::ShowErrorBox(kordex::kLibraryTitle, sequence.FirstError(), parent);
}

// Runs one window of type Window, made by make(parent, stages, geometry,
// driver), in the calling thread; then the error box when it is due.
template <typename Window, typename Make>
int32_t RunWindow(void* parent, Make make)
{
    auto* parentWidget = static_cast<QWidget*>(parent);
    try {
        ui::RegisterQtMessageBoxes();
        ui::ApplicationScope scope;
        if (!scope.Ok()) {
            Lib().log.Error("Get-image window needs a QApplication in the calling thread", 0);
            return 2;
        }
        ui::LibraryStageDriver driver;
        const kordex::FrameGeometry geometry = Lib().settings.geometry;
        const std::unique_ptr<Window> window = make(parentWidget, ui::StoredStages(), geometry, driver);
        const int32_t result = window->Run();
        ShowFailure(window->Sequence(), parentWidget);
        return result;
    } catch (const std::exception& e) {
        // Only an allocation can fail here; the caller gets a failed run.
        Lib().log.Error(platform::Format("Get-image window: %s", e.what()), 0);
        return 2;
    }
}

}  // namespace

extern "C" {

KX_API void KX_Set_Acquisition(int32_t flags, int16_t* frame, int32_t reserved, KX_Callback callback, void* context)
{
    kordex::GuardedVoid(__func__, [&] {
        ui::StoreAcquisitionStage({flags, frame, reserved, callback, context});
    });
}

KX_API void KX_Set_Calibration(uint32_t flags, int16_t* image, int16_t* cutImage, KX_Callback callback,
                               void* context)
{
    kordex::GuardedVoid(__func__, [&] {
        ui::StoreCalibrationStage({flags, image, cutImage, callback, context});
    });
}

KX_API void KX_Set_ImgProcess(int32_t flags, int16_t* image, int32_t mode, KX_Callback callback, void* context)
{
    kordex::GuardedVoid(__func__, [&] {
        ui::StoreProcessingStage({flags, image, mode, callback, context});
    });
}

KX_API int32_t KX_GetImageSP(void* parent, int32_t x, int32_t y, int32_t width, int32_t height)
{
    return kordex::Guarded(__func__, static_cast<int32_t>(2), [&]() -> int32_t {
        return RunWindow<ui::GetImageWindow>(parent, [&](QWidget* p, const ui::StageSettings& stages,
                                                         const kordex::FrameGeometry& g, ui::StageDriver& driver) {
            return std::make_unique<ui::GetImageWindow>(p, x, y, width, height, stages, g, driver);
        });
    });
}

KX_API int32_t KX_GetImage(void* parent)
{
    return kordex::Guarded(__func__, static_cast<int32_t>(2), [&]() -> int32_t {
        return KX_GetImageSP(parent, 0, 0, 0, 0);
    });
}

KX_API int32_t KX_GetImageA(void* parent, int32_t x, int32_t y)
{
    return kordex::Guarded(__func__, static_cast<int32_t>(2), [&]() -> int32_t {
        return RunWindow<ui::BannerWindow>(parent, [&](QWidget* p, const ui::StageSettings& stages,
                                                       const kordex::FrameGeometry& g, ui::StageDriver& driver) {
            return std::make_unique<ui::BannerWindow>(p, x, y, stages, g, driver);
        });
    });
}

KX_API int32_t KX_GetImageCancel(void)
{
    return kordex::Guarded(__func__, static_cast<int32_t>(0), [&]() -> int32_t {
        return ui::Router().Cancel() ? 1 : 0;
    });
}

}  // extern "C"
