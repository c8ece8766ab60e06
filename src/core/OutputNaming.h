// Where the AVI file for a source goes, under a name that overwrites nothing.
#pragma once

#include "FileSystem.h"

#include <string>

// Name itself when nothing exists there; otherwise the first of AppendFileNumber(Name, 2),
// (Name, 3), ... that is free. Anything at all (a file, a directory, a link) makes a name taken.
// When every number up to the largest int is taken, the calls here throw ECoreFault NoFreeName
// (CoreFault.h) with Name (Target).
std::wstring GetUniqueFileName(const std::wstring& Name);

// Name with "(N)" put directly in front of its extension, or at its end when it has none:
// "clip.avi", 2 -> "clip(2).avi".
std::wstring AppendFileNumber(const std::wstring& Name, int N);

// Target path for a list row, before it is made unique: beside the source (Location + Name) when
// SameFolder, otherwise in OutputFolder; the extension of Name becomes ".avi" either way.
std::wstring GetTargetFileName(const std::wstring& Location, const std::wstring& Name,
                               bool SameFolder, const std::wstring& OutputFolder);

// The name the converter writes under until its file is whole, in the same folder: ".partial" in
// front of the extension ("clip(2).avi" -> "clip(2).partial.avi"), so the name still ends in
// ".avi", from which the converter chooses the format.
std::wstring PartialFileName(const std::wstring& Name);

// The AVI file's place, reserved before the converter starts.
struct TReservedOutput {
    bool Reserved = false;
    std::wstring Partial; // the file Kestrova created, empty, and alone may delete
    int Number = 1;       // the candidate it was reserved for: 1 is Target itself, N its "(N)" form
    std::wstring SystemReason; // when not Reserved
    // Kestrova's hold on the partial file until it is published (FileSystem.h).
    THeldFile Hold;
};

// Takes the first candidate of Target, as GetUniqueFileName numbers them, whose name is free and
// whose partial file this call can create exclusively, and keeps hold of it; a candidate whose
// partial name is taken is passed over too. Not Reserved when the partial file cannot be created
// for another reason.
TReservedOutput ReserveOutputFile(const std::wstring& Target);

// Gives the reserved partial file its final name: Target's candidate Reserved.Number, or the next
// free one should another program have taken that name meanwhile. Never replaces anything; the
// data and the rename are on the disk before Done (PublishHeldFile). Final receives the name it
// got (Done); Failed and Busy (another program holds the file: try again) leave the partial file
// where it is.
TFileClaim PublishOutputFile(TReservedOutput& Reserved, const std::wstring& Target,
                             std::wstring& Final, std::wstring& SystemReason);
