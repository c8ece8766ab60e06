#include "FFmpegReport.h"

#include "FFmpegOutput.h"

#include <string_view>

namespace {

using View = std::wstring_view;

View TrimRight(View Text) {
    while (!Text.empty() && (Text.back() == L' ' || Text.back() == L'\t'))
        Text.remove_suffix(1);
    return Text;
}

} // namespace

const TReportedStream* TFFmpegReport::FirstInput(TStreamKind Kind) const {
    for (const TReportedStream& stream : InputStreams) {
        if (stream.Kind == Kind && !stream.AttachedPicture)
            return &stream;
    }
    return nullptr;
}

const TReportedStream* TFFmpegReport::InputStream(const std::wstring& Id) const {
    for (const TReportedStream& stream : InputStreams) {
        if (stream.Id == Id)
            return &stream;
    }
    return nullptr;
}

TFFmpegReport ReadFFmpegReport(const std::wstring& Output) {
    TFFmpegOutput reader;
    reader.Append(Output);
    reader.Finish();
    return reader.TakeReport();
}

bool SaysDiskFull(std::wstring_view Message) {
    for (View words : {View(L"No space left on device"), View(L"not enough space on the disk"),
                       View(L"The disk is full"), View(L"Error number -28 occurred")}) {
        if (Message.find(words) != View::npos)
            return true;
    }
    return false;
}

bool SaysWriteError(std::wstring_view Message) {
    // FFmpeg 5.1's words, and those of the versions after it.
    for (View words : {View(L"Error writing trailer"), View(L"Error closing file"),
                       View(L"av_interleaved_write_frame()"), View(L"Error muxing a packet"),
                       View(L"Error submitting a packet to the muxer")}) {
        if (Message.find(words) != View::npos)
            return true;
    }
    return SaysDiskFull(Message);
}

bool IsVersionBannerLine(std::wstring_view Line) {
    return Line.starts_with(L"ffmpeg version") || Line.starts_with(L"  built with") ||
           Line.starts_with(L"  configuration:") ||
           (Line.starts_with(L"  lib") && Line.find(L" / ") != View::npos);
}

std::vector<std::wstring> LastOutputLines(const std::wstring& Output, size_t Count) {
    std::vector<std::wstring> lines;
    if (Count == 0)
        return lines;
    // Backwards, so a long output costs no more than its last lines.
    View text(Output);
    size_t end = text.size();
    while (end > 0 && lines.size() < Count) {
        size_t start = text.find_last_of(L"\r\n", end - 1);
        size_t from = start == View::npos ? 0 : start + 1;
        View line = TrimRight(text.substr(from, end - from));
        if (!line.empty() && !IsVersionBannerLine(line))
            lines.emplace_back(line);
        if (start == View::npos)
            break;
        end = start;
    }
    return {lines.rbegin(), lines.rend()};
}
