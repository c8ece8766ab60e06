// A child process that lives only in the test, for what a real one cannot be made to do at will:
// a stream that fails, a process that does not die when it is ended.
#pragma once

#include "ChildProcess.h"
#include "FFmpeg.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace testing_support {

class StubChild : public ChildProcess {
public:
    // What the test sees after the job that owns the stub is gone.
    struct Seen {
        int Terminates = 0;
        std::optional<std::chrono::steady_clock::time_point> TerminatedAt;
    };
    struct Step {
        TChildOutput What;
        std::string Bytes; // for Data
    };

    std::vector<Step> Script; // what successive reads give; after it, silence
    // How long after the first Terminate it ends; never when empty.
    std::optional<std::chrono::milliseconds> DiesAfterTerminate = std::chrono::milliseconds(0);
    bool EndsWithItsStream = false; // ends by itself once its script's Ended was read
    std::shared_ptr<Seen> Watch = std::make_shared<Seen>();

    bool Start(const std::wstring&, const std::wstring&) override { return true; }

    TChildOutput Read(char* Buffer, size_t Size, uint32_t TimeoutMs, bool,
                      size_t& Received) override {
        Received = 0;
        if (Next < Script.size()) {
            const Step& step = Script[Next++];
            if (step.What == TChildOutput::Data) {
                Received = std::min(Size, step.Bytes.size());
                std::memcpy(Buffer, step.Bytes.data(), Received);
            }
            StreamClosed = step.What != TChildOutput::Data && step.What != TChildOutput::Quiet;
            return step.What;
        }
        if (StreamClosed)
            return TChildOutput::Ended;
        std::this_thread::sleep_for(
            std::chrono::milliseconds(std::clamp<uint32_t>(TimeoutMs, 1, 20)));
        return TChildOutput::Quiet;
    }

    void Terminate(uint32_t) override {
        ++Watch->Terminates;
        if (!Watch->TerminatedAt)
            Watch->TerminatedAt = std::chrono::steady_clock::now();
    }

    bool WaitForExit(uint32_t TimeoutMs, bool, uint32_t& ExitCode) override {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeoutMs);
        for (;;) {
            if (Ended()) {
                ExitCode = Watch->TerminatedAt ? FFmpegCancelExitCode : 0;
                return true;
            }
            if (std::chrono::steady_clock::now() >= until)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

private:
    bool Ended() const {
        if (Watch->TerminatedAt && DiesAfterTerminate)
            return std::chrono::steady_clock::now() >= *Watch->TerminatedAt + *DiesAfterTerminate;
        return EndsWithItsStream && StreamClosed;
    }

    size_t Next = 0;
    bool StreamClosed = false;
};

} // namespace testing_support
