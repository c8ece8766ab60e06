// The string table's English texts as wide constants, English_IDS_FAILCANCELLED and so on: the
// core's default texts are made of them. The list is resources/EnglishTexts.inc, from which
// Kestrova.rc builds the string table itself, so each text is written once.
#pragma once

// The identifier is pasted, never expanded, so resource.h's numbers may be in scope or not.
#define KESTROVA_TEXT(Id, Text) inline constexpr wchar_t English_##Id[] = L"" Text;
// Texts that hold the build's version are the resources' alone.
#define KESTROVA_BUILT_TEXT(Id, Text)
#include "../../resources/EnglishTexts.inc"
#undef KESTROVA_TEXT
#undef KESTROVA_BUILT_TEXT
