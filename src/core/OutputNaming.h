// Where the AVI file for a source goes, under a name that overwrites nothing.
#pragma once

#include <string>

// Name itself when nothing exists there; otherwise the first of AppendFileNumber(Name, 2),
// (Name, 3), ... that is free. Anything at all (a file, a directory, a link) makes a name taken.
std::wstring GetUniqueFileName(const std::wstring& Name);

// Name with "(N)" put directly in front of its extension, or at its end when it has none:
// "clip.avi", 2 -> "clip(2).avi".
std::wstring AppendFileNumber(const std::wstring& Name, int N);

// Target path for a list row, before it is made unique: beside the source (Location + Name) when
// SameFolder, otherwise in OutputFolder; the extension of Name becomes ".avi" either way.
std::wstring GetTargetFileName(const std::wstring& Location, const std::wstring& Name,
                               bool SameFolder, const std::wstring& OutputFolder);
