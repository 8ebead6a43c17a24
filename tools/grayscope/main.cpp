// grayscope: browse a folder of raw frames with the viewer library.
//
//   grayscope                       the newest entry of the mask history
//   grayscope WIDTHxHEIGHT [MASK]   frames of that size; MASK is a directory
//                                   and wildcard ("~/Opticor/CAL/*.raw") or a
//                                   directory (then "*.raw" is used)
//   grayscope MASK                  that mask with the last used size
//
// The program is a plain host of libgrayscope.so: it opens one modal view
// (GSC_CreateViewDefault without arguments) and exits when it closes. Its
// settings file is grayscope.ini beside the program.
#include <QApplication>

#include <cstdio>
#include <cstring>
#include <string>

#include <sys/stat.h>

#include "grayscope.h"

namespace {

bool IsDirectory(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

void Usage()
{
    std::fprintf(stderr, "usage: grayscope [WIDTHxHEIGHT] [MASK]\n");
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc == 1) {
        GSC_CreateViewDefault();
        return 0;
    }
    ViewDescriptor d{};
    d.modal = 1;
    int arg = 1;
    int w = 0;
    int h = 0;
    char x = 0;
    if (std::sscanf(argv[arg], "%d%c%d", &w, &x, &h) == 3 && (x == 'x' || x == 'X')) {
        if (w < 1 || h < 1) {
            Usage();
            return 2;
        }
        d.width = w;
        d.height = h;
        ++arg;
    }
    if (arg < argc) {
        std::string mask = argv[arg++];
        if (IsDirectory(mask))
            mask += (mask.empty() || mask.back() != '/') ? "/*.raw" : "*.raw";
        if (mask.size() >= sizeof d.mask) {
            std::fprintf(stderr, "grayscope: mask longer than %zu characters\n", sizeof d.mask - 1);
            return 2;
        }
        std::memcpy(d.mask, mask.c_str(), mask.size() + 1);
    }
    if (arg < argc) {
        Usage();
        return 2;
    }
    GSC_CreateView(&d);
    return 0;
}
