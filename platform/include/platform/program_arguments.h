// What a program's arguments ask before anything else is done, the way
// DCMTK's tools answer: "--help" (or "-h") and "--version" anywhere before a
// "--" win over every other argument, so they never load a library, read a
// setting or touch a device.
#pragma once

namespace platform {

enum class InfoRequest { None, Help, Version };

// The first of "--help", "-h" or "--version" among argv[1..argc-1] before a
// "--"; None without one.
InfoRequest FindInfoRequest(int argc, char** argv);

// Answers the request on standard output: usage for --help, versionLine for
// --version. True when there was one to answer (the program then exits 0).
bool AnswerInfoRequest(int argc, char** argv, const char* usage, const char* versionLine);

}  // namespace platform
