#include "platform/program_arguments.h"

#include <cstdio>
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

bool AnswerInfoRequest(int argc, char** argv, const char* usage, const char* versionLine)
{
    switch (FindInfoRequest(argc, argv)) {
    case InfoRequest::Help: std::fputs(usage, stdout); return true;
    case InfoRequest::Version: std::fputs(versionLine, stdout); return true;
    case InfoRequest::None: break;
    }
    return false;
}

}  // namespace platform
