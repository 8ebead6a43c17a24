// Library shutdown with and without the host's QApplication: the bad-pixel
// mask editor's selection reaches the settings file either way. This program
// makes and ends its own application objects, so it has no shared one.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QSpinBox>

#include <cstring>
#include <string>
#include <vector>

#include "grayscope.h"
#include "grayscope/ui/bpm_editor_window.h"
#include "grayscope/ui/library_state.h"
#include "grayscope/ui/view_window.h"
#include "grayscope/view/viewer_settings.h"
#include "platform/message_box.h"
#include "tests/support/temp_dir.h"

using namespace grayscope;
using test_support::TempDir;

TEST(LibraryUnload, EditorSettingsAreWrittenWithOrWithoutTheApplication)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    platform::SetMessageBoxHandler([](const platform::MessageBoxRequest&) { return platform::BoxAnswer::Ok; });
    constexpr int kW = 40, kH = 30;
    struct Case {
        const char* what;
        bool applicationEndsFirst;  // the host's QApplication is gone before the library unloads
        BpmEditorSettings chosen;
    };
    const Case cases[] = {
        {"unloaded while the application runs", false, {1, 1, 12, 3, 20}},
        {"unloaded after the application ended", true, {0, 1, 7, 9, 2}},
    };
    for (const Case& c : cases) {
        TempDir dir;
        ASSERT_TRUE(dir.Ok());
        test_support::WriteText(dir.File("a.raw"), std::string(kW * kH * 2, '\0'));
        SetSettingsPath(dir.File("host.ini"));
        static int argc = 1;
        static char name[] = "grayscope_unload_tests";
        static char* argv[] = {name, nullptr};
        auto* app = new QApplication(argc, argv);

        BpmDescriptor bpm{};
        std::strncpy(bpm.directory, (dir.Path() + "/").c_str(), sizeof bpm.directory - 1);
        bpm.width = kW;
        bpm.height = kH;
        ASSERT_EQ(GSC_SetBPM(&bpm), 1) << c.what;
        ViewDescriptor d{};
        d.width = kW;
        d.height = kH;
        std::strncpy(d.mask, (dir.Path() + "/*.raw").c_str(), sizeof d.mask - 1);
        auto* view = reinterpret_cast<ViewWindow*>(GSC_CreateView(&d));
        QApplication::processEvents();
        view->ToggleBpmEditor();
        BpmEditorWindow* window = Lib().editor->Window();
        ASSERT_NE(window, nullptr) << c.what;
        window->DirectionCombo()->setCurrentIndex(c.chosen.byCol);
        window->MarkCombo()->setCurrentIndex(c.chosen.bad);
        window->LineEdit()->setValue(c.chosen.line);
        window->FromEdit()->setValue(c.chosen.from);
        window->ToEdit()->setValue(c.chosen.to);
        GSC_DestroyView(view);

        if (c.applicationEndsFirst) {
            delete app;
            ShutdownLibrary();
        } else {
            ShutdownLibrary();
            delete app;
        }
        EXPECT_EQ(Lib().editor, nullptr) << c.what;
        const BpmEditorSettings s = ReadBpmEditorSettings(dir.File("host.ini"));
        EXPECT_EQ(s.byCol, c.chosen.byCol) << c.what;
        EXPECT_EQ(s.bad, c.chosen.bad) << c.what;
        EXPECT_EQ(s.line, c.chosen.line) << c.what;
        EXPECT_EQ(s.from, c.chosen.from) << c.what;
        EXPECT_EQ(s.to, c.chosen.to) << c.what;
    }
    platform::SetMessageBoxHandler(nullptr);
}
