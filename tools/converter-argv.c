/* Splits a command line into arguments by the rules of shell32's CommandLineToArgvW, for the
 * converter Kestrova builds (tools/build-ffmpeg.sh). FFmpeg reads its Unicode arguments through
 * that one shell32 function; loading shell32.dll pulls in about twenty more DLLs (user32, gdi32,
 * ole32, ...) at every start, which for a one-second file is a large share of its time. Linked
 * into ffmpeg.exe in place of shell32's, so the converter imports only kernel32 and msvcrt.
 *
 * The rules, as Windows documents them:
 *  - The first argument, the program, ends at the first blank, or when it starts with a quote,
 *    at the next quote; backslashes are plain there. An empty line gives the program's own path.
 *  - Elsewhere, blanks (space, tab) outside quotes end an argument; 2n backslashes before a
 *    quote give n backslashes and the quote opens or closes a quoted part; 2n+1 backslashes
 *    before a quote give n backslashes and a literal quote; other backslashes are plain; inside
 *    a quoted part, two quotes give one literal quote and end the part (the C runtime's
 *    argv goes on with the part instead).
 *  - The array and its strings are one LocalAlloc block, freed by the caller with LocalFree.
 *
 * Built with -DKESTROVA_REPLACE_SHELL32, it also stands in for the import of CommandLineToArgvW
 * (FFmpeg calls it through the import pointer, as every caller declared by shellapi.h does). */
#include <windows.h>

static int IsBlank(wchar_t C) {
    return C == L' ' || C == L'\t';
}

/* Walks the line once; with Argv null only counts arguments and characters. */
static void Split(const wchar_t* Line, wchar_t** Argv, wchar_t* Out, int* Argc, size_t* Chars) {
    const wchar_t* P = Line;
    int Count = 0;
    size_t Used = 0;
#define PUT(C)                                                                                     \
    do {                                                                                           \
        if (Out)                                                                                   \
            Out[Used] = (C);                                                                       \
        ++Used;                                                                                    \
    } while (0)

    /* The program. */
    if (Argv)
        Argv[Count] = Out + Used;
    ++Count;
    if (*P == L'"') {
        for (++P; *P && *P != L'"'; ++P)
            PUT(*P);
        if (*P == L'"')
            ++P;
    } else {
        for (; *P && !IsBlank(*P); ++P)
            PUT(*P);
    }
    PUT(L'\0');

    for (;;) {
        while (IsBlank(*P))
            ++P;
        if (!*P)
            break;
        if (Argv)
            Argv[Count] = Out + Used;
        ++Count;
        int Quoted = 0;
        while (*P && (Quoted || !IsBlank(*P))) {
            if (*P == L'\\') {
                size_t Slashes = 0;
                while (*P == L'\\') {
                    ++Slashes;
                    ++P;
                }
                if (*P == L'"') {
                    for (size_t i = 0; i < Slashes / 2; ++i)
                        PUT(L'\\');
                    if (Slashes % 2) {
                        PUT(L'"');
                        ++P;
                    }
                    /* An even count leaves the quote to toggle below. */
                } else {
                    for (size_t i = 0; i < Slashes; ++i)
                        PUT(L'\\');
                }
            } else if (*P == L'"') {
                if (Quoted && P[1] == L'"') {
                    PUT(L'"');
                    P += 2;
                    Quoted = 0;
                } else {
                    Quoted = !Quoted;
                    ++P;
                }
            } else {
                PUT(*P);
                ++P;
            }
        }
        PUT(L'\0');
    }
#undef PUT
    *Argc = Count;
    *Chars = Used;
}

LPWSTR* WINAPI KestrovaCommandLineToArgvW(LPCWSTR CmdLine, int* NumArgs) {
    if (!NumArgs) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return NULL;
    }
    wchar_t Self[MAX_PATH + 1];
    if (!CmdLine || !*CmdLine) {
        /* As shell32: the program's own path, as the only argument. */
        DWORD Length = GetModuleFileNameW(NULL, Self + 1, MAX_PATH - 1);
        if (!Length || Length >= MAX_PATH - 1)
            return NULL;
        Self[0] = L'"';
        Self[Length + 1] = L'"';
        Self[Length + 2] = L'\0';
        CmdLine = Self;
    }
    int Argc = 0;
    size_t Chars = 0;
    Split(CmdLine, NULL, NULL, &Argc, &Chars);
    const size_t Bytes = (size_t)(Argc + 1) * sizeof(wchar_t*) + Chars * sizeof(wchar_t);
    wchar_t** Argv = (wchar_t**)LocalAlloc(LMEM_FIXED, Bytes);
    if (!Argv)
        return NULL;
    Split(CmdLine, Argv, (wchar_t*)(Argv + Argc + 1), &Argc, &Chars);
    Argv[Argc] = NULL;
    *NumArgs = Argc;
    return Argv;
}

#ifdef KESTROVA_REPLACE_SHELL32
/* What the import of shellapi.h's declaration resolves to; defined here, shell32's import library
 * is never asked for it. */
LPWSTR*(WINAPI* __imp_CommandLineToArgvW)(LPCWSTR, int*) = KestrovaCommandLineToArgvW;
#endif
