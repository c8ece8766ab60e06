#include "OutputNaming.h"

#include "FileSystem.h"

#include <limits>
#include <stdexcept>

namespace {

constexpr wchar_t TargetExtension[] = L".avi";

// Where the extension begins: the last "." of the last path component, or the end when that
// component has none. A dot in a folder name is not an extension.
size_t ExtensionStart(const std::wstring& Path) {
    const size_t componentStart = Path.find_last_of(PathDelim);
    const size_t dot = Path.find_last_of(L'.');
    if (dot == std::wstring::npos || (componentStart != std::wstring::npos && dot < componentStart))
        return Path.size();
    return dot;
}

std::wstring ChangeFileExt(const std::wstring& Path, const std::wstring& Extension) {
    return Path.substr(0, ExtensionStart(Path)) + Extension;
}

} // namespace

std::wstring GetUniqueFileName(const std::wstring& Name) {
    std::wstring candidate = Name;
    // Every candidate is derived from Name, so numbers never pile up as "clip(2)(3).avi".
    for (int counter = 1; PathExists(candidate);) {
        if (counter == std::numeric_limits<int>::max())
            throw std::overflow_error("No free name is left for the converted file");
        candidate = AppendFileNumber(Name, ++counter);
    }
    return candidate;
}

std::wstring AppendFileNumber(const std::wstring& Name, int N) {
    std::wstring result = Name;
    result.insert(ExtensionStart(Name), L"(" + std::to_wstring(N) + L")");
    return result;
}

std::wstring GetTargetFileName(const std::wstring& Location, const std::wstring& Name,
                               bool SameFolder, const std::wstring& OutputFolder) {
    if (SameFolder)
        return ChangeFileExt(Location + Name, TargetExtension);
    return IncludeTrailingPathDelimiter(OutputFolder) + ChangeFileExt(Name, TargetExtension);
}
