#include "KeptOutput.h"

#include <algorithm>

namespace {

// How far to look for a line break when cutting, so a cut never searches a whole part.
constexpr size_t LineSearch = 4096;

bool IsLineBreak(wchar_t C) {
    return C == L'\r' || C == L'\n';
}

} // namespace

void TKeptOutput::Append(std::wstring_view Text, size_t OpeningEnd) {
    Kept.append(Text);
    if (HeadEnd == std::wstring::npos) {
        // Nothing has been dropped yet, so positions in the text are positions in the output.
        if (OpeningEnd <= std::min(Kept.size(), HeadLimit)) {
            HeadEnd = OpeningEnd;
        } else if (Kept.size() > HeadLimit) {
            // No status line yet, and enough opening: end it at a line break near the limit.
            const size_t from = HeadLimit - std::min(HeadLimit, LineSearch);
            size_t cut = Kept.find_last_of(L"\r\n", HeadLimit - 1);
            HeadEnd = cut != std::wstring::npos && cut >= from ? cut + 1 : HeadLimit;
        }
    }
    if (HeadEnd != std::wstring::npos)
        TrimTail();
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
