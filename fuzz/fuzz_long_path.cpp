// Extended and ordinary path forms: the extended form is taken once and kept, and going back to
// the ordinary form and forth again gives the same extended form.
#include "FuzzSupport.h"
#include "LongPath.h"

namespace {

// Short inputs reach the length where the extended form starts: the first byte repeats the rest.
std::wstring Path(const uint8_t* Data, size_t Size) {
    if (Size == 0)
        return {};
    const std::wstring part = Text(Data + 1, Size - 1);
    std::wstring path;
    for (unsigned i = 0; i < 1u + Data[0] % 64 && path.size() < 4096; ++i)
        path += part;
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    const std::wstring path = Path(Data, Size);
    const std::wstring extended = ExtendedLengthPath(path);
    const bool changed = extended != path;
    if (changed)
        FUZZ_CHECK(extended.starts_with(L"\\\\?\\"));
    FUZZ_CHECK(ExtendedLengthPath(extended) == extended);
    const std::wstring ordinary = OrdinaryPath(extended);
    FUZZ_CHECK(OrdinaryPath(ordinary) == ordinary);
    if (changed) {
        FUZZ_CHECK(!ordinary.starts_with(L"\\\\?\\"));
        if (ordinary.size() >= ExtendedLengthThreshold)
            FUZZ_CHECK(ExtendedLengthPath(ordinary) == extended);
    }
    if (!path.starts_with(L"\\\\?\\"))
        FUZZ_CHECK(OrdinaryPath(path) == path);
    return 0;
}
