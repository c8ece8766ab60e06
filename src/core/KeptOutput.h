// The converter's error output as the runner keeps it: the opening part, which describes the
// input and the output (the "Duration:" line and every "Stream #" line), and the latest part, with
// the newest status line, the closing totals and the last error lines. What lies between, hours
// of status lines, is dropped, so memory stays flat however long a conversion runs.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

class TKeptOutput {
public:
    // The opening part ends where the first status line begins (which the reader of the output,
    // FFmpegOutput.h, tells), and at this many characters at the latest (a converter that floods
    // its output before any status line).
    static constexpr size_t HeadLimit = 64 * 1024;
    // The latest part is cut back to about TailKeep characters once it grows past TailLimit, so
    // cutting costs little per character appended.
    static constexpr size_t TailLimit = 64 * 1024;
    static constexpr size_t TailKeep = 32 * 1024;

    // OpeningEnd: where the first status line begins, counted in characters from the first one
    // ever appended; npos while none has come. Once the opening part has ended, it is ignored.
    void Append(std::wstring_view Text, size_t OpeningEnd = std::wstring::npos);

    // The opening part followed directly by the latest part. Cuts fall just after a line break
    // where one is near, so both parts consist of whole lines.
    const std::wstring& Text() const { return Kept; }
    std::wstring Take() { return std::move(Kept); }

    // Characters dropped between the two parts so far.
    size_t Dropped() const { return DroppedChars; }
    // Memory held for the text, in bytes.
    size_t CapacityBytes() const { return Kept.capacity() * sizeof(wchar_t); }

private:
    void TrimTail();

    std::wstring Kept;
    size_t HeadEnd = std::wstring::npos; // npos while the opening part is still growing
    size_t DroppedChars = 0;
};
