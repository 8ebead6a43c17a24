// Runs one of the command-line tools in a working directory of its own, with
// a settings file of its own, and captures its exit status and both output
// streams.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "support/temp_dir.h"

namespace tool_test {

struct ToolRun {
    int status = -1;  // the exit status, or 128 + the signal that ended the tool
    std::string out, err;
};

class ToolRunner {
public:
    // The settings file "kordex.ini" of the working directory: [Settings]
    // HomeDir=<work>/home/, SensorLink=virtual and the lines of settings;
    // [Virtual Sensor] with a short shot delay and the lines of virtualSensor.
    explicit ToolRunner(const std::string& virtualSensor = "", const std::string& settings = "")
    {
        WriteSettings(virtualSensor, settings);
    }

    void WriteSettings(const std::string& virtualSensor, const std::string& settings = "") const
    {
        test_support::WriteText(work_.File("kordex.ini"), "[Settings]\nHomeDir=" + Home() + "\nSensorLink=virtual\n" +
                                                              settings + "[Virtual Sensor]\nShotDelayMs=20\n" +
                                                              "StreamMBps=400\n" + virtualSensor);
    }

    // program with args (shell words, given as they are) in the working
    // directory; prefix is shell text run before it in the same shell (for
    // example a ulimit).
    ToolRun Run(const std::string& program, const std::string& args, const std::string& prefix = "") const
    {
        const std::string out = captures_.File("out.txt"), err = captures_.File("err.txt");
        const std::string environment = "KORDEX_INI='" + work_.File("kordex.ini") + "' HOME='" + work_.Path() +
                                        "' KORDEX_HEADLESS=1 KORDEX_SENSOR_LINK=virtual KORDEX_TEST_TIME_SCALE=0.05";
        const std::string command = "cd '" + work_.Path() + "' && " + prefix + " " + environment + " '" + program +
                                    "' " + args + " >'" + out + "' 2>'" + err + "'";
        const int raw = std::system(command.c_str());
        ToolRun run;
        run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
        run.out = test_support::ReadText(out);
        run.err = test_support::ReadText(err);
        return run;
    }

    bool Ok() const { return work_.Ok() && captures_.Ok(); }
    const test_support::TempDir& Work() const { return work_; }
    std::string Home() const { return work_.Path() + "/home/"; }

private:
    test_support::TempDir work_;
    test_support::TempDir captures_;
};

inline bool Has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

}  // namespace tool_test
