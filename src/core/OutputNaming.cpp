#include "OutputNaming.h"

#include "CoreFault.h"
#include "FileSystem.h"

#include <limits>

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

// Target itself for 1, otherwise its "(N)" form; "(N)" numbers go no further than int does.
std::wstring Candidate(const std::wstring& Target, int N) {
    return N == 1 ? Target : AppendFileNumber(Target, N);
}

// The number after N for the names of Target.
int NextNumber(const std::wstring& Target, int N) {
    if (N == std::numeric_limits<int>::max())
        throw ECoreFault(TCoreFaultKind::NoFreeName, {Target});
    return N + 1;
}

} // namespace

std::wstring GetUniqueFileName(const std::wstring& Name) {
    // Every candidate is derived from Name, so numbers never pile up as "clip(2)(3).avi".
    int n = 1;
    while (PathExists(Candidate(Name, n)))
        n = NextNumber(Name, n);
    return Candidate(Name, n);
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

std::wstring PartialFileName(const std::wstring& Name) {
    std::wstring result = Name;
    result.insert(ExtensionStart(Name), L".partial");
    return result;
}

TReservedOutput ReserveOutputFile(const std::wstring& Target) {
    TReservedOutput reserved;
    for (int n = 1;; n = NextNumber(Target, n)) {
        const std::wstring name = Candidate(Target, n);
        if (PathExists(name))
            continue;
        reserved.Partial = PartialFileName(name);
        switch (CreateHeldFile(reserved.Partial, reserved.Hold, reserved.SystemReason)) {
        case TFileClaim::Done:
            reserved.Reserved = true;
            reserved.Number = n;
            return reserved;
        case TFileClaim::NameTaken:
            continue;
        case TFileClaim::Failed:
        case TFileClaim::Busy:
            return reserved;
        }
    }
}

TFileClaim PublishOutputFile(TReservedOutput& Reserved, const std::wstring& Target,
                             std::wstring& Final, std::wstring& SystemReason) {
    for (int n = Reserved.Number;; n = NextNumber(Target, n)) {
        const std::wstring name = Candidate(Target, n);
        const TFileClaim claim =
            PublishHeldFile(Reserved.Hold, Reserved.Partial, name, SystemReason);
        if (claim == TFileClaim::NameTaken)
            continue;
        if (claim == TFileClaim::Done)
            Final = name;
        return claim;
    }
}
