#include "SavedList.h"

#include "FolderScan.h"
#include "TextConversion.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace {

constexpr char Header[] = "Kestrova list ";
constexpr wchar_t ListName[] = L".list";
constexpr wchar_t PartialsName[] = L".partials";
constexpr wchar_t NewSuffix[] = L".new";
constexpr wchar_t PreviousSuffix[] = L".previous";
constexpr wchar_t LockName[] = L".lock";

// FNV-1a, 64 bits: catches a torn or altered file; not meant against anyone forging one.
uint64_t Checksum(const char* Data, size_t Size) {
    uint64_t hash = 14695981039346656037ull;
    for (size_t i = 0; i < Size; ++i) {
        hash ^= static_cast<unsigned char>(Data[i]);
        hash *= 1099511628211ull;
    }
    return hash;
}

bool NeedsEscape(wchar_t C) {
    return C == L'\\' || C == L'\t' || C == L'\n' || C == L'\r';
}

void AppendField(std::string& Out, const std::wstring& Text) {
    Out += '\t';
    const std::wstring_view text(Text);
    for (size_t i = 0; i < text.size();) {
        // Plain ASCII, the bulk of any path, is appended a run at a time.
        size_t end = i;
        while (end < text.size() && text[end] < 0x80 && !NeedsEscape(text[end]))
            ++end;
        Out.append(text.begin() + static_cast<ptrdiff_t>(i),
                   text.begin() + static_cast<ptrdiff_t>(end));
        i = end;
        if (i == text.size())
            break;
        if (text[i] >= 0x80) {
            // A run of other letters goes through the one UTF-8 encoder (pairs and all).
            while (end < text.size() && text[end] >= 0x80)
                ++end;
            Out += ToUtf8(text.substr(i, end - i));
            i = end;
            continue;
        }
        switch (text[i]) {
        case L'\\':
            Out += "\\\\";
            break;
        case L'\t':
            Out += "\\t";
            break;
        case L'\n':
            Out += "\\n";
            break;
        default:
            Out += "\\r";
            break;
        }
        ++i;
    }
}

void AppendNumber(std::string& Out, uint64_t Value) {
    Out += '\t';
    Out += std::to_string(Value);
}

bool Unescape(std::string_view Field, std::wstring& Text) {
    if (Field.find('\\') == std::string_view::npos) {
        Text = FromUtf8(Field);
        return true;
    }
    std::string bytes;
    bytes.reserve(Field.size());
    for (size_t i = 0; i < Field.size(); ++i) {
        if (Field[i] != '\\') {
            bytes += Field[i];
            continue;
        }
        if (++i == Field.size())
            return false;
        switch (Field[i]) {
        case '\\':
            bytes += '\\';
            break;
        case 't':
            bytes += '\t';
            break;
        case 'n':
            bytes += '\n';
            break;
        case 'r':
            bytes += '\r';
            break;
        default:
            return false;
        }
    }
    Text = FromUtf8(bytes);
    return true;
}

template <typename T> bool ParseNumber(std::string_view Field, T& Value) {
    const auto [end, error] = std::from_chars(Field.data(), Field.data() + Field.size(), Value);
    return error == std::errc() && end == Field.data() + Field.size();
}

std::vector<std::string_view> SplitFields(std::string_view Line) {
    std::vector<std::string_view> fields;
    for (size_t start = 0;;) {
        const size_t tab = Line.find('\t', start);
        fields.push_back(Line.substr(start, tab - start));
        if (tab == std::string_view::npos)
            return fields;
        start = tab + 1;
    }
}

bool DecodeLine(const std::vector<std::string_view>& F, TSavedList& List) {
    if (F[0] == "S" && F.size() == 3) {
        int state = 0, running = 0;
        if (!ParseNumber(F[1], state) || !ParseNumber(F[2], running) || state < 0 || state > 1)
            return false;
        List.State = static_cast<TSavedState>(state);
        List.BatchRunning = running != 0;
        return true;
    }
    if (F[0] == "O" && F.size() == 3) {
        int same = 0;
        if (!ParseNumber(F[1], same))
            return false;
        List.SameFolder = same != 0;
        return Unescape(F[2], List.OutputFolder);
    }
    if (F[0] == "R" && F.size() == 4) {
        TSavedRow row;
        if (!Unescape(F[1], row.Name) || !Unescape(F[2], row.Location) ||
            !ParseNumber(F[3], row.FileSize))
            return false;
        List.Rows.push_back(std::move(row));
        return true;
    }
    if (F[0] == "F" && F.size() == 3 && !List.Rows.empty()) {
        TSavedRow& row = List.Rows.back();
        row.Failed = true;
        return Unescape(F[1], row.Reason) && Unescape(F[2], row.Details);
    }
    if (F[0] == "P" && F.size() == 4) {
        TSavedPartial partial;
        if (!Unescape(F[1], partial.Path) || !ParseNumber(F[2], partial.Identity.Volume) ||
            !ParseNumber(F[3], partial.Identity.Index))
            return false;
        List.Partials.push_back(std::move(partial));
        return true;
    }
    return false; // a kind this version does not know
}

} // namespace

std::string EncodeSavedList(const TSavedList& List) {
    std::string out;
    out.reserve(64 + List.Rows.size() * 96);
    out += Header + std::to_string(SavedListVersion) + "\n";
    size_t lines = 1;
    out += "S";
    AppendNumber(out, static_cast<uint64_t>(List.State));
    AppendNumber(out, List.BatchRunning ? 1 : 0);
    out += "\nO";
    AppendNumber(out, List.SameFolder ? 1 : 0);
    AppendField(out, List.OutputFolder);
    out += '\n';
    lines += 2;
    for (const TSavedRow& row : List.Rows) {
        out += 'R';
        AppendField(out, row.Name);
        AppendField(out, row.Location);
        AppendNumber(out, static_cast<uint64_t>(std::max<int64_t>(row.FileSize, 0)));
        out += '\n';
        ++lines;
        if (row.Failed) {
            out += 'F';
            AppendField(out, row.Reason);
            AppendField(out, row.Details);
            out += '\n';
            ++lines;
        }
    }
    for (const TSavedPartial& partial : List.Partials) {
        out += 'P';
        AppendField(out, partial.Path);
        AppendNumber(out, partial.Identity.Volume);
        AppendNumber(out, partial.Identity.Index);
        out += '\n';
        ++lines;
    }
    char end[64];
    std::snprintf(end, sizeof end, "E\t%zu\t%016llx\n", lines,
                  static_cast<unsigned long long>(Checksum(out.data(), out.size())));
    return out + end;
}

bool DecodeSavedList(const std::string& Bytes, TSavedList& List) {
    // The end line first: without it, or with a checksum that does not match, the file is torn.
    if (Bytes.size() < 2 || Bytes.back() != '\n')
        return false;
    const size_t endStart = Bytes.rfind('\n', Bytes.size() - 2);
    if (endStart == std::string::npos)
        return false;
    const std::string_view body(Bytes.data(), endStart + 1);
    const auto end =
        SplitFields(std::string_view(Bytes).substr(endStart + 1, Bytes.size() - endStart - 2));
    size_t lineCount = 0;
    uint64_t checksum = 0;
    if (end.size() != 3 || end[0] != "E" || !ParseNumber(end[1], lineCount) ||
        std::from_chars(end[2].data(), end[2].data() + end[2].size(), checksum, 16).ec !=
            std::errc() ||
        checksum != Checksum(body.data(), body.size()))
        return false;

    TSavedList list;
    size_t lines = 0;
    for (size_t start = 0; start < body.size(); ++lines) {
        const size_t stop = body.find('\n', start);
        const std::string_view line = body.substr(start, stop - start);
        start = stop + 1;
        if (lines == 0) {
            if (line != Header + std::to_string(SavedListVersion))
                return false;
            continue;
        }
        if (!DecodeLine(SplitFields(line), list))
            return false;
    }
    if (lines != lineCount)
        return false;
    List = std::move(list);
    return true;
}

std::wstring MakeSaveId(uint64_t Time, uint32_t Process) {
    wchar_t id[32];
    std::swprintf(id, 32, L"%016llx-%08x", static_cast<unsigned long long>(Time),
                  static_cast<unsigned>(Process));
    return id;
}

bool TSavedListFolder::Lock(const std::wstring& Id, TFileLock& Lock) const {
    std::wstring reason;
    CreateDirectories(Folder, reason);
    return Lock.Acquire(Folder + Id + LockName);
}

bool TSavedListFolder::WriteAtomically(const std::wstring& Name, const std::string& Bytes,
                                       std::wstring& Reason) const {
    const std::wstring path = Folder + Name;
    if (!DirectoryExists(Folder) && !CreateDirectories(Folder, Reason))
        return false;
    if (!WriteFileFlushed(path + NewSuffix, Bytes, Reason))
        return false;
    // Between the two renames the newest whole copy is the ".new" one, which Load reads too.
    if (PathExists(path) && !RenameReplacing(path, path + PreviousSuffix, Reason))
        return false;
    return RenameReplacing(path + NewSuffix, path, Reason);
}

bool TSavedListFolder::WriteList(const std::wstring& Id, const std::string& Bytes,
                                 std::wstring& Reason) const {
    return WriteAtomically(Id + ListName, Bytes, Reason);
}

bool TSavedListFolder::SaveList(const std::wstring& Id, const TSavedList& List,
                                std::wstring& Reason) const {
    return WriteList(Id, EncodeSavedList(List), Reason);
}

bool TSavedListFolder::SavePartials(const std::wstring& Id,
                                    const std::vector<TSavedPartial>& Partials,
                                    std::wstring& Reason) const {
    TSavedList list;
    list.Partials = Partials;
    return WriteAtomically(Id + PartialsName, EncodeSavedList(list), Reason);
}

bool TSavedListFolder::ReadNewestIntact(const std::wstring& Name, TSavedList& List) const {
    for (const wchar_t* suffix : {L"", NewSuffix, PreviousSuffix}) {
        std::string bytes;
        if (ReadWholeFile(Folder + Name + suffix, bytes) && DecodeSavedList(bytes, List))
            return true;
    }
    return false;
}

bool TSavedListFolder::Load(const std::wstring& Id, TSavedList& List) const {
    TSavedList partials;
    const bool listed = ReadNewestIntact(Id + ListName, List);
    if (!listed)
        List = {};
    if (ReadNewestIntact(Id + PartialsName, partials))
        List.Partials.insert(List.Partials.end(), partials.Partials.begin(),
                             partials.Partials.end());
    return listed;
}

void TSavedListFolder::Remove(const std::wstring& Id) const {
    for (const wchar_t* name : {ListName, PartialsName})
        for (const wchar_t* suffix : {L"", NewSuffix, PreviousSuffix})
            RemoveFile(Folder + Id + name + suffix);
}

std::vector<TLeftSave> TSavedListFolder::LeftSaves(const std::wstring& Except) const {
    std::vector<TFolderEntry> entries;
    TFolderIdentity identity;
    uint32_t error = 0;
    std::vector<std::wstring> ids;
    if (!ListFolder(Folder, entries, identity, error))
        return {};
    for (const TFolderEntry& entry : entries) {
        if (entry.IsFolder)
            continue;
        // A lock alone is a window that never saved, or one a power cut left behind.
        for (const wchar_t* name : {ListName, PartialsName, LockName}) {
            const size_t at = entry.Name.find(name);
            if (at != std::wstring::npos && at > 0)
                ids.push_back(entry.Name.substr(0, at));
        }
    }
    std::sort(ids.begin(), ids.end(), std::greater<>());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    std::vector<TLeftSave> left;
    for (std::wstring& id : ids) {
        TLeftSave save{std::move(id), {}};
        if (save.Id != Except && Lock(save.Id, save.Lock))
            left.push_back(std::move(save));
    }
    return left;
}

int RemoveLeftPartials(const std::vector<TSavedPartial>& Partials) {
    int removed = 0;
    for (const TSavedPartial& partial : Partials) {
        TFileIdentity now;
        if (FileIdentity(partial.Path, now) && now == partial.Identity && RemoveFile(partial.Path))
            ++removed;
    }
    return removed;
}
