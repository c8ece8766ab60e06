#include "TestSupport.h"

#include "FileSystem.h"
#include "TextConversion.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>
#include <stdexcept>

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

#ifdef _WIN32
namespace {
// A console made for a converter can outlive it under Wine, holding every handle it inherited
// from us. The test program's own output must not be among them: whoever waits for that output
// to end (ctest) would wait for ever.
const bool StandardHandlesKeptPrivate = [] {
    for (DWORD Id : {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE})
        SetHandleInformation(GetStdHandle(Id), HANDLE_FLAG_INHERIT, 0);
    return true;
}();
} // namespace
#endif

namespace testing_support {

fs::path PathFromWide(const std::wstring& Text) {
#ifdef _WIN32
    return fs::path(Text);
#else
    std::string bytes = ToUtf8(Text);
    return fs::path(std::u8string(bytes.begin(), bytes.end()));
#endif
}

std::wstring WideFromPath(const fs::path& Path) {
#ifdef _WIN32
    return Path.wstring();
#else
    return FromUtf8(Path.string());
#endif
}

fs::path ExecutableFolder() {
    return PathFromWide(::ExecutableFolder()).parent_path();
}

std::wstring FakeConverterPath() {
#ifdef _WIN32
    return (ExecutableFolder() / L"fake_ffmpeg.exe").wstring();
#else
    return (ExecutableFolder() / "fake_ffmpeg").wstring();
#endif
}

std::wstring RealConverterPath() {
#ifdef _WIN32
    return (ExecutableFolder() / L"ffmpeg.exe").wstring();
#else
    return L"/usr/bin/ffmpeg";
#endif
}

fs::path SamplesFolder() {
    return ExecutableFolder() / "samples";
}

fs::path TestDataFolder() {
    return ExecutableFolder() / "data";
}

std::string ReadTestData(const std::string& Name) {
    std::ifstream in(TestDataFolder() / Name, std::ios::binary);
    if (!in)
        throw std::runtime_error("test data missing: " + Name);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::wstring ReadCapturedOutput(const std::string& Name) {
    const std::string bytes = ReadTestData(Name + ".txt");
    return std::wstring(bytes.begin(), bytes.end()); // the captures are ASCII
}

TempFolder::TempFolder(const std::wstring& Hint) {
    static std::atomic<unsigned> counter{0};
    auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
#ifdef _WIN32
    auto pid = GetCurrentProcessId();
#else
    auto pid = getpid();
#endif
    Root = fs::temp_directory_path() /
           PathFromWide(Hint + L"-" + std::to_wstring(pid) + L"-" + std::to_wstring(stamp) + L"-" +
                        std::to_wstring(counter++));
    fs::create_directories(Root);
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    fs::remove_all(Root, ignored);
}

fs::path TempFolder::WriteFile(const std::wstring& Name, const std::string& Text) const {
    fs::path path = Root / PathFromWide(Name);
    std::ofstream out(path, std::ios::binary);
    out << Text;
    if (!out)
        throw std::runtime_error("cannot write test file");
    return path;
}

} // namespace testing_support

namespace testing_support {

namespace {
uint32_t Le32(const std::string& Data, size_t At) {
    if (At + 4 > Data.size())
        return 0;
    return uint32_t(uint8_t(Data[At])) | uint32_t(uint8_t(Data[At + 1])) << 8 |
           uint32_t(uint8_t(Data[At + 2])) << 16 | uint32_t(uint8_t(Data[At + 3])) << 24;
}
} // namespace

AviStreams ReadAviStreams(const fs::path& File) {
    std::ifstream in(File, std::ios::binary);
    std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    AviStreams result;
    result.IsAvi =
        data.size() > 12 && data.compare(0, 4, "RIFF") == 0 && data.compare(8, 4, "AVI ") == 0;
    if (!result.IsAvi)
        return result;
    size_t avih = data.find("avih");
    if (avih != std::string::npos)
        result.VideoFrames = Le32(data, avih + 8 + 16); // dwTotalFrames
    // Each stream list holds "strh" (type, handler) followed by "strf" (format).
    for (size_t strh = data.find("strh"); strh != std::string::npos && strh + 16 < data.size();
         strh = data.find("strh", strh + 4)) {
        std::string type = data.substr(strh + 8, 4);
        size_t strf = data.find("strf", strh);
        if (strf == std::string::npos)
            break;
        if (type == "vids")
            result.VideoFourCC = data.substr(strf + 8 + 16, 4); // biCompression
        else if (type == "auds" && strf + 10 <= data.size())
            result.AudioFormatTag =
                uint16_t(uint8_t(data[strf + 8]) | uint8_t(data[strf + 9]) << 8);
    }
    return result;
}

bool ProcessIsRunning(unsigned long Id) {
#ifdef _WIN32
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, Id);
    if (!process)
        return false;
    bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return running;
#else
    return kill(static_cast<pid_t>(Id), 0) == 0;
#endif
}

} // namespace testing_support
