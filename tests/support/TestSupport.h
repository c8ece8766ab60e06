// Shared helpers for tests: where the test programs and converters are, and scratch folders.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace testing_support {

// Wide text and file-system paths both ways. Natively, paths are UTF-8 bytes; the standard
// library's own wide conversion there only knows ASCII.
std::filesystem::path PathFromWide(const std::wstring& Text);
std::wstring WideFromPath(const std::filesystem::path& Path);

// Folder of the running test program; every built program and the samples sit there.
std::filesystem::path ExecutableFolder();
std::wstring FakeConverterPath();
// The real converter: ffmpeg.exe beside the tests on Windows, the system's one natively.
std::wstring RealConverterPath();
std::filesystem::path SamplesFolder();
// Captured converter output and other test data (tests/core/data, copied beside the tests).
std::filesystem::path TestDataFolder();
// A test data file's bytes.
std::string ReadTestData(const std::string& Name);
// A captured converter output (ASCII, Name + ".txt") as the runner's text.
std::wstring ReadCapturedOutput(const std::string& Name);

// A fresh folder under the system's temporary folder, removed with everything in it at the end.
class TempFolder {
public:
    explicit TempFolder(const std::wstring& Hint = L"kestrova");
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& Path() const { return Root; }
    std::wstring Wide() const { return WideFromPath(Root); }
    // Writes Text (bytes) to Name inside the folder and returns its full path.
    std::filesystem::path WriteFile(const std::wstring& Name, const std::string& Text) const;

private:
    std::filesystem::path Root;
};

} // namespace testing_support

namespace testing_support {

// What an AVI file's stream headers declare, read straight from its RIFF structure.
struct AviStreams {
    bool IsAvi = false;
    std::string VideoFourCC;     // codec tag of the video stream, e.g. "XVID"
    uint16_t AudioFormatTag = 0; // 0x55 for MP3
    uint32_t VideoFrames = 0;    // frames the main header declares
};
AviStreams ReadAviStreams(const std::filesystem::path& File);

// Whether a process with this id is still running.
bool ProcessIsRunning(unsigned long Id);

} // namespace testing_support
