#include "KeptOutput.h"

#include <algorithm>

namespace {

constexpr std::wstring_view StatusMarker = L"time=";
// How far to look for a line break when cutting, so a cut never searches a whole part.
constexpr size_t LineSearch = 4096;

bool IsLineBreak(wchar_t C) {
    return C == L'\r' || C == L'\n';
}

// Start of the line holding Pos.
size_t LineStart(const std::wstring& Text, size_t Pos) {
    while (Pos > 0 && !IsLineBreak(Text[Pos - 1]))
        --Pos;
    return Pos;
}

} // namespace

void TKeptOutput::Append(std::wstring_view Text) {
    Kept.append(Text);
    if (HeadEnd == std::wstring::npos)
        CloseHeadIfComplete();
    if (HeadEnd != std::wstring::npos)
        TrimTail();
}

void TKeptOutput::CloseHeadIfComplete() {
    size_t status = Kept.find(StatusMarker, ScanFrom);
    if (status != std::wstring::npos) {
        HeadEnd = std::min(LineStart(Kept, status), HeadLimit);
        return;
    }
    if (Kept.size() > HeadLimit) {
        // No status line yet, and enough opening: end it at a line break near the limit.
        const size_t from = HeadLimit - std::min(HeadLimit, LineSearch);
        size_t cut = Kept.find_last_of(L"\r\n", HeadLimit - 1);
        HeadEnd = cut != std::wstring::npos && cut >= from ? cut + 1 : HeadLimit;
        return;
    }
    // The marker may be cut by the chunk's end: look again from just before it.
    ScanFrom = Kept.size() - std::min(Kept.size(), StatusMarker.size() - 1);
}

void TKeptOutput::TrimTail() {
    if (Kept.size() - HeadEnd <= TailLimit)
        return;
    size_t cut = Kept.size() - TailKeep;
    const size_t searchEnd = std::min(Kept.size(), cut + LineSearch);
    for (size_t i = cut; i < searchEnd; ++i) {
        if (IsLineBreak(Kept[i])) {
            cut = i + 1;
            break;
        }
    }
    DroppedChars += cut - HeadEnd;
    Kept.erase(HeadEnd, cut - HeadEnd);
}
