#pragma once

// The built kestrova as a user starts it, for the tests that drive the real
// program: started with its own runtime folder, and asked whether it answers
// on its single-instance socket yet.
#include "mainwindow/InstanceChannel.h"
#include "mainwindow/KestrovaApp.h"
#include "support/ChildProcess.h"

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace realprogram
{

inline std::unique_ptr<testsupport::ChildProcess> StartKestrova(const std::string& logPath,
                                                                const std::string& runtimeFolder)
{
    return std::make_unique<testsupport::ChildProcess>(
        std::vector<std::string>{std::string(std::getenv("KESTROVA_PROGRAM_DIR")) + "/kestrova"}, logPath,
        std::vector<std::string>{"XDG_RUNTIME_DIR=" + runtimeFolder});
}

// True once the program answers on its socket (which brings its window
// forward, nothing more); false when it ended or did not answer in 30 s.
inline bool WaitUntilListening(testsupport::ChildProcess& program)
{
    for (int i = 0; i < 300 && program.running(); ++i)
    {
        if (CInstanceChannel::HandOver(CKestrovaApp::kInstanceGuid, "", 500))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

} // namespace realprogram
