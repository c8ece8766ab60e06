// Shared helpers for tests: where the test programs and converters are, and scratch folders.
#pragma once

#include <filesystem>
#include <string>

namespace testing_support {

// Folder of the running test program; every built program and the samples sit there.
std::filesystem::path ExecutableFolder();
std::wstring FakeConverterPath();
// The real converter: ffmpeg.exe beside the tests on Windows, the system's one natively.
std::wstring RealConverterPath();
std::filesystem::path SamplesFolder();

// A fresh folder under the system's temporary folder, removed with everything in it at the end.
class TempFolder {
public:
    explicit TempFolder(const std::wstring& Hint = L"kestrova");
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& Path() const { return Root; }
    // Writes Text (bytes) to Name inside the folder and returns its full path.
    std::filesystem::path WriteFile(const std::wstring& Name, const std::string& Text) const;

private:
    std::filesystem::path Root;
};

} // namespace testing_support
