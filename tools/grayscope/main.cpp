// grayscope: browse a folder of raw frames with the viewer library.
//
//   grayscope                       the newest entry of the mask history
//   grayscope WIDTHxHEIGHT [MASK]   frames of that size; MASK is a directory
//                                   and wildcard ("~/Opticor/CAL/*.raw") or a
//                                   directory (then "*.raw" is used)
//   grayscope MASK                  that mask with the last used size
//   --bpm DIR                       the bad-pixel maps of WIDTHxHEIGHT frames
//                                   in DIR, for the mask editor
//   --help, --version
//
// The program is a plain host of libgrayscope.so: it names the maps with
// GSC_SetBPM, opens one modal view and exits when it closes. The command line
// is read before any window exists, so --help and --version work without a
// display. Its settings file is grayscope.ini beside the program.
#include <QApplication>

#include <cstdio>
#include <string>
#include <vector>

#include "grayscope.h"
#include "tools/grayscope/command_line.h"

#ifndef GRAYSCOPE_HOST_VERSION
#error "GRAYSCOPE_HOST_VERSION (the project version) comes from the build"
#endif

int main(int argc, char** argv)
{
    using namespace grayscope_host;
    const Parsed parsed = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.ok) {
        std::fprintf(stderr, "grayscope: %s\n%s\n(grayscope --help lists the options)\n", parsed.error.c_str(),
                     UsageLine().c_str());
        return kUsageError;
    }
    const Options& options = parsed.options;
    if (options.action == Action::Help) {
        std::fputs(HelpText().c_str(), stdout);
        return 0;
    }
    if (options.action == Action::Version) {
        std::printf("grayscope %s\n", GRAYSCOPE_HOST_VERSION);
        return 0;
    }
    // Qt sees only the program name: every argument is ours.
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QApplication app(qtArgc, qtArgv);
    if (!options.bpmDirectory.empty()) {
        const BpmDescriptor bpm = BpmFor(options);
        GSC_SetBPM(&bpm);
    }
    const ViewDescriptor view = ViewFor(options);
    GSC_CreateView(&view);
    return 0;
}
