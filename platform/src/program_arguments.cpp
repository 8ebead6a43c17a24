#include "platform/program_arguments.h"

#include <string_view>

namespace platform {

InfoRequest FindInfoRequest(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--") break;
        if (arg == "--help" || arg == "-h") return InfoRequest::Help;
        if (arg == "--version") return InfoRequest::Version;
    }
    return InfoRequest::None;
}

}  // namespace platform
