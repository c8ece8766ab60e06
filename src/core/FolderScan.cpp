#include "FolderScan.h"

#include "FileSystem.h"

#include <algorithm>

namespace {

bool IsDigit(wchar_t C) {
    return C >= L'0' && C <= L'9';
}

// Case folding for ordering only, the same on every platform: ASCII, Latin-1, Latin Extended-A,
// Greek and Cyrillic capitals, which cover the names people give their videos.
wchar_t FoldCase(wchar_t C) {
    if ((C >= L'A' && C <= L'Z') || (C >= 0xC0 && C <= 0xDE && C != 0xD7) ||
        (C >= 0x391 && C <= 0x3AB && C != 0x3A2) || (C >= 0x410 && C <= 0x42F))
        return static_cast<wchar_t>(C + 0x20);
    if (C >= 0x400 && C <= 0x40F)
        return static_cast<wchar_t>(C + 0x50);
    if (C == 0x178)
        return 0xFF;
    // Pairs of capital (even) and small (odd) letters, but for the few that pair the other way.
    if (C >= 0x100 && C <= 0x17F && C != 0x130 && C != 0x131 && C != 0x138 && C != 0x149 &&
        C != 0x17F && C != 0x178) {
        bool OddCapitals = (C >= 0x139 && C <= 0x148) || (C >= 0x179 && C <= 0x17E);
        if ((C % 2 == 1) == OddCapitals)
            return static_cast<wchar_t>(C + 1);
    }
    return C;
}

// -1, 0 or 1 as the digit runs A[a, aEnd) and B[b, bEnd) compare by value.
int CompareNumbers(const std::wstring& A, size_t a, size_t aEnd, const std::wstring& B, size_t b,
                   size_t bEnd) {
    while (a < aEnd && A[a] == L'0')
        ++a;
    while (b < bEnd && B[b] == L'0')
        ++b;
    // Without leading zeros, the longer run is the larger number.
    if (aEnd - a != bEnd - b)
        return aEnd - a < bEnd - b ? -1 : 1;
    for (; a < aEnd; ++a, ++b)
        if (A[a] != B[b])
            return A[a] < B[b] ? -1 : 1;
    return 0;
}

int NaturalCompare(const std::wstring& A, const std::wstring& B) {
    size_t a = 0, b = 0;
    while (a < A.size() && b < B.size()) {
        if (IsDigit(A[a]) && IsDigit(B[b])) {
            size_t aEnd = a, bEnd = b;
            while (aEnd < A.size() && IsDigit(A[aEnd]))
                ++aEnd;
            while (bEnd < B.size() && IsDigit(B[bEnd]))
                ++bEnd;
            if (int Order = CompareNumbers(A, a, aEnd, B, b, bEnd))
                return Order;
            a = aEnd;
            b = bEnd;
            continue;
        }
        wchar_t ca = FoldCase(A[a]), cb = FoldCase(B[b]);
        if (ca != cb)
            return ca < cb ? -1 : 1;
        ++a;
        ++b;
    }
    if (a < A.size() || b < B.size())
        return a < A.size() ? 1 : -1;
    return 0;
}

} // namespace

bool HasWebMExtension(const std::wstring& Path) {
    const size_t componentStart = Path.find_last_of(L"\\/:");
    const size_t dot = Path.find_last_of(L'.');
    if (dot == std::wstring::npos || (componentStart != std::wstring::npos && dot < componentStart))
        return false;
    std::wstring Extension = Path.substr(dot);
    for (wchar_t& c : Extension)
        if (c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(c - L'A' + L'a');
    return Extension == L".webm";
}

bool NaturalLess(const std::wstring& A, const std::wstring& B) {
    int Order = NaturalCompare(A, B);
    return Order != 0 ? Order < 0 : A < B;
}

TFolderScan FindWebMFiles(const std::wstring& Folder) {
    TFolderScan Result;
    TFolderWalk Walk(Folder);
    while (Walk.Step(Result)) {
    }
    return Result;
}

bool TFolderWalk::Step(TFolderScan& Result) {
    if (Waiting.empty())
        return false;
    const TWaiting Next = std::move(Waiting.back());
    Waiting.pop_back();
    const std::wstring& Folder = Next.Path;
    std::vector<TFolderEntry> Entries;
    TFolderIdentity Identity;
    uint32_t Error = 0;
    if (!List(Folder, Entries, Identity, Error)) {
        Result.Unreadable.emplace_back(Folder, Error);
        return true;
    }
    if (Identity.Known) {
        if (!Entered.insert(Identity).second)
            return true; // listed before: a loop, or a second way to the same folder
    } else if (Next.ThroughLink) {
        return true; // a link whose end cannot be told from the folders entered may loop
    }
    std::sort(Entries.begin(), Entries.end(), [](const TFolderEntry& X, const TFolderEntry& Y) {
        return NaturalLess(X.Name, Y.Name);
    });
    const std::wstring Prefix = IncludeTrailingPathDelimiter(Folder);
    for (const TFolderEntry& Entry : Entries)
        if (!Entry.IsFolder && !Entry.IsHidden && HasWebMExtension(Entry.Name)) {
            Result.Files.push_back(Prefix + Entry.Name);
            Result.Sizes.push_back(Entry.IsLink ? -1 : Entry.Size);
        }
    // Each subfolder's whole tree before the next subfolder's: the first is taken from the back.
    for (auto Entry = Entries.rbegin(); Entry != Entries.rend(); ++Entry)
        if (Entry->IsFolder && !Entry->IsHidden)
            Waiting.push_back({Prefix + Entry->Name, Entry->IsLink});
    return true;
}
