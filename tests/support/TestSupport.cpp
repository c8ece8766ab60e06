#include "TestSupport.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <stdexcept>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace testing_support {

fs::path ExecutableFolder() {
#ifdef _WIN32
    wchar_t buffer[MAX_PATH * 4];
    DWORD n = GetModuleFileNameW(nullptr, buffer, static_cast<DWORD>(std::size(buffer)));
    return fs::path(std::wstring(buffer, n)).parent_path();
#else
    return fs::read_symlink("/proc/self/exe").parent_path();
#endif
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

fs::path SamplesFolder() { return ExecutableFolder() / "samples"; }

TempFolder::TempFolder(const std::wstring& Hint) {
    static std::atomic<unsigned> counter{0};
    auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
#ifdef _WIN32
    auto pid = GetCurrentProcessId();
#else
    auto pid = getpid();
#endif
    Root = fs::temp_directory_path() /
           (Hint + L"-" + std::to_wstring(pid) + L"-" + std::to_wstring(stamp) + L"-" +
            std::to_wstring(counter++));
    fs::create_directories(Root);
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    fs::remove_all(Root, ignored);
}

fs::path TempFolder::WriteFile(const std::wstring& Name, const std::string& Text) const {
    fs::path path = Root / Name;
    std::ofstream out(path, std::ios::binary);
    out << Text;
    if (!out)
        throw std::runtime_error("cannot write test file");
    return path;
}

} // namespace testing_support
