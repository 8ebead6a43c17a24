// grayscope-screenshots: renders the viewer's windows into PNG files, for the
// documentation. Run with the offscreen or an X platform:
//   grayscope-screenshots <output-directory>
// It writes a synthetic intraoral frame and bad-pixel maps into a temporary
// directory, opens views on them and grabs:
//   grayscope-view.png         histogram and a row profile
//   grayscope-rectangle.png    a rectangle marker with its statistics
//   grayscope-mask-editor.png  the bad-pixel mask editor over a frame
//   grayscope-screenshots --demo <directory>
// only writes the frames (intraoral_0001.raw, intraoral_0002.raw, 600 x 800)
// and their maps (CAL/BPM.raw, CAL/BPMM.raw) into the directory, for a run
// of the grayscope program itself.
#include <QApplication>
#include <QComboBox>
#include <QPainter>
#include <QSpinBox>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "grayscope.h"
#include "grayscope/ui/bpm_editor_window.h"
#include "grayscope/ui/library_state.h"
#include "grayscope/ui/view_window.h"

namespace {

constexpr int kW = 600;
constexpr int kH = 800;

void WriteWords(const std::string& path, const std::vector<std::uint16_t>& v)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(v.data()), static_cast<std::streamsize>(v.size() * 2));
}

// Two teeth with pulp and crowns over soft tissue, open field at the top,
// noise and a few defective pixels and one bad column.
std::vector<std::uint16_t> Phantom()
{
    std::vector<std::uint16_t> v(static_cast<std::size_t>(kW) * kH);
    std::uint32_t state = 12345;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            state = state * 1664525u + 1013904223u;
            double value = 3300 - y * 0.9;
            for (int tooth = 0; tooth < 2; ++tooth) {
                const double cx = 170 + tooth * 260;
                const double halfWidth = 95 - (y - 150) * 0.06;
                const double dx = std::abs(x - cx);
                if (y > 130 && dx < halfWidth) {
                    value = 1250 + dx * 2.5;
                    if (y < 330)
                        value -= 380;  // enamel of the crown
                    if (y > 300 && dx < 16 - (y - 300) * 0.02)
                        value += 900;  // pulp canal
                }
            }
            value += static_cast<double>(state >> 24) / 8.0 - 16;
            v[static_cast<std::size_t>(y) * kW + x] = static_cast<std::uint16_t>(std::clamp(value, 0.0, 4095.0));
        }
    return v;
}

void Settle()
{
    for (int i = 0; i < 10; ++i)
        QApplication::processEvents();
}

grayscope::ViewWindow* OpenView(const std::string& dir, const char* marker)
{
    ViewDescriptor d{};
    d.width = kW;
    d.height = kH;
    (void)dir;
    std::snprintf(d.mask, sizeof d.mask, "*.raw");
    auto* view = reinterpret_cast<grayscope::ViewWindow*>(GSC_CreateView(&d));
    view->resize(1100, 820);
    Settle();
    view->OnTimer();
    view->MarkerCombo()->setEditText(marker);
    Settle();
    return view;
}

bool Save(QWidget* w, const std::string& path)
{
    Settle();
    w->repaint();
    const bool ok = w->grab().save(QString::fromStdString(path));
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", path.c_str());
    return ok;
}

// The two frames and, in dir/CAL, the automatic map (one bad column and a
// few single pixels) and the manual mask (a row segment).
void WriteDemo(const std::string& dir)
{
    std::error_code ec;
    std::filesystem::create_directories(dir + "/CAL", ec);
    const std::vector<std::uint16_t> frame = Phantom();
    WriteWords(dir + "/intraoral_0001.raw", frame);
    WriteWords(dir + "/intraoral_0002.raw", frame);
    std::vector<std::uint16_t> automatic(frame.size(), 0), manual(frame.size(), 0);
    for (int y = 380; y < 470; ++y)
        automatic[static_cast<std::size_t>(y) * kW + 301] = 255;
    for (int k = 0; k < 12; ++k)
        automatic[static_cast<std::size_t>(400 + 5 * k) * kW + 290 + 2 * k] = 128;
    for (int x = 280; x < 300; ++x)
        manual[static_cast<std::size_t>(430) * kW + x] = 256;
    WriteWords(dir + "/CAL/BPM.raw", automatic);
    WriteWords(dir + "/CAL/BPMM.raw", manual);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--demo") == 0) {
        WriteDemo(argv[2]);
        std::printf("wrote %s\n", argv[2]);
        return 0;
    }
    if (argc != 2) {
        std::fprintf(stderr, "usage: grayscope-screenshots <output-directory>\n"
                             "       grayscope-screenshots --demo <directory>\n");
        return 2;
    }
    QApplication app(argc, argv);
    const std::string out = std::filesystem::absolute(argv[1]).string();
    std::error_code ec;
    std::filesystem::create_directories(out, ec);
    const std::filesystem::path tmp = std::filesystem::temp_directory_path() / "grayscope-screenshots";
    std::filesystem::remove_all(tmp, ec);
    std::filesystem::create_directories(tmp / "CAL", ec);
    const std::string dir = tmp.string();
    // The views work in the temporary directory with relative masks, so the
    // pictures show no machine's paths.
    std::filesystem::current_path(tmp, ec);
    grayscope::SetSettingsPath(dir + "/grayscope.ini");
    {
        std::ofstream ini(dir + "/grayscope.ini");
        ini << "[GSC_Recent_GrayMap_Settings]\nTHistEn=1\nTHistPixelBlack=5\nTHistPixelWhite=5\nHistScale=300\n";
    }
    WriteDemo(dir);

    bool ok = true;
    grayscope::ViewWindow* view = OpenView(dir, "R");
    view->SetMarker(240, 420);
    ok &= Save(view, out + "/grayscope-view.png");
    GSC_DestroyView(view);

    view = OpenView(dir, "20x10");
    view->SetMarker(170, 520);
    ok &= Save(view, out + "/grayscope-rectangle.png");
    GSC_DestroyView(view);

    BpmDescriptor bpm{};
    std::snprintf(bpm.directory, sizeof bpm.directory, "CAL/");
    bpm.width = kW;
    bpm.height = kH;
    bpm.cutLeft = 8;
    bpm.cutTop = 6;
    bpm.cutRight = 8;
    bpm.cutBottom = 6;
    GSC_SetBPM(&bpm);
    view = OpenView(dir, "S");
    view->ZoomEdit()->setValue(5);
    view->SetMarker(295, 430);
    view->MoveMarker(grayscope::MoveCommand::HCenter);
    view->MoveMarker(grayscope::MoveCommand::VCenter);
    view->SetMarker(295, 430);
    view->ToggleBpmEditor();
    view->BpmMarkPrimary();
    view->SetMarker(310, 430);
    view->BpmMarkSecondary();
    Settle();
    view->OnTimer();
    grayscope::BpmEditorWindow* editor = grayscope::Lib().editor->Window();
    Settle();
    view->repaint();
    editor->repaint();
    const QPixmap viewShot = view->grab();
    const QPixmap editorShot = editor->grab();
    QPixmap both(viewShot.width() + editorShot.width() + 12, std::max(viewShot.height(), editorShot.height()));
    both.fill(QColor(235, 235, 235));
    {
        QPainter p(&both);
        p.drawPixmap(0, 0, viewShot);
        p.drawPixmap(viewShot.width() + 12, both.height() - editorShot.height(), editorShot);
    }
    const std::string editorPath = out + "/grayscope-mask-editor.png";
    const bool saved = both.save(QString::fromStdString(editorPath));
    std::printf("%s %s\n", saved ? "wrote" : "FAILED", editorPath.c_str());
    ok &= saved;
    GSC_DestroyView(view);
    GSC_SetBPM(nullptr);
    std::filesystem::current_path(std::filesystem::temp_directory_path(), ec);
    std::filesystem::remove_all(tmp, ec);
    return ok ? 0 : 1;
}
