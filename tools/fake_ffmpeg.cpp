// A stand-in for the converter with scripted behaviour, for deterministic runner and batch tests.
//
// Called like the converter ("-i <source> ... <destination>"), it reads <source> as a script, one
// command per line:
//   err <text>        write <text> to stderr at once (escapes: \r \n \t \\)
//   sleep <ms>        pause
//   status <to_ms> <step_ms> <pause_ms>
//                     status lines "frame=... size=...kB time=HH:MM:SS.cc ...\r" from 0 to
//                     <to_ms>, the size that of the file written so far, rounded as FFmpeg does
//   create            write a small file at <destination>
//   write <bytes>     write a file of that many bytes ("RIFF" and filler) at <destination>, as
//                     the converter opens its output (reading and writing shared)
//   args              write every argument to stderr, one "arg=<value>" line each
//   pid               write this process's id, as text, to <destination>
//   cwd               write "cwd=<current folder>\n" to stderr
//   console           write "console=yes\n" to stderr when this process has a console (Windows),
//                     else "console=no\n"
//   handle <value>    write "handle=open\n" to stderr when <value> (decimal) is an open handle
//                     of a signalled object in this process (Windows), else "handle=closed\n"
//   errormode         write "errormode=<GetErrorMode() in decimal>\n" to stderr (Windows; else
//                     "errormode=none\n")
//   joblimits         write "joblimits=<the limit flags of the job this process is in, decimal>\n"
//                     to stderr (Windows; "joblimits=none\n" outside a job or elsewhere)
//   close-stderr      close the error stream but keep running (the runner must still wait)
//   flood <bytes>     write that many bytes of filler text to stderr
//   ignore-signals    ignore the polite termination signals (SIGTERM, SIGINT, SIGHUP)
//   hang              go silent and never end by itself
//   replay <path>     write that file's bytes to stderr unchanged (captured converter output)
//   convert <program> <source>
//                     run <program> with this program's own arguments, the one after "-i"
//                     replaced by <source>, and end with its exit code (a stand-in in front of
//                     the real converter)
//   exit <code>       end with that exit code (the default at the end of the script is 0)
//   crash <code>      end abruptly, as a crash does: on Windows TerminateProcess with <code>
//                     (e.g. 3221225477, which is 0xC0000005); elsewhere killed by SIGKILL
// A source that cannot be opened gives the converter's message and exit code 1.
#include "TextConversion.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <windows.h>
#else
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

#ifdef _WIN32
using Arg = std::wstring;
std::string Narrow(const Arg& Text) {
    return ToUtf8(Text);
}
FILE* OpenFile(const Arg& Path, const wchar_t* Mode) {
    return _wfopen(Path.c_str(), Mode);
}
Arg Wide(const std::string& Utf8) {
    return FromUtf8(Utf8);
}
#define MODE(m) L##m
#else
using Arg = std::string;
std::string Narrow(const Arg& Text) {
    return Text;
}
FILE* OpenFile(const Arg& Path, const char* Mode) {
    return std::fopen(Path.c_str(), Mode);
}
Arg Wide(const std::string& Utf8) {
    return Utf8;
}
#define MODE(m) m
#endif

void WriteErr(const std::string& Text) {
    std::fwrite(Text.data(), 1, Text.size(), stderr);
    std::fflush(stderr);
}

void SleepMs(long Ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(Ms));
}

std::string Unescape(const std::string& Text) {
    std::string out;
    for (size_t i = 0; i < Text.size(); ++i) {
        if (Text[i] == '\\' && i + 1 < Text.size()) {
            char c = Text[++i];
            out += c == 'r' ? '\r' : c == 'n' ? '\n' : c == 't' ? '\t' : c;
        } else {
            out += Text[i];
        }
    }
    return out;
}

std::string Clock(long Ms) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%02ld:%02ld:%02ld.%02ld", Ms / 3600000, Ms / 60000 % 60,
                  Ms / 1000 % 60, Ms % 1000 / 10);
    return buf;
}

// Runs Program with Args[1...] (Args[0] becomes Program), its error stream this one's; returns its
// exit code, or 127 when it could not be started.
int RunProgram(const Arg& Program, std::vector<Arg> Args) {
    std::fflush(stderr);
    Args[0] = Program;
#ifdef _WIN32
    // The spawn functions join the arguments with blanks as they are.
    std::vector<Arg> quoted;
    for (const Arg& arg : Args)
        quoted.push_back(L"\"" + arg + L"\"");
    std::vector<const wchar_t*> argv;
    for (const Arg& arg : quoted)
        argv.push_back(arg.c_str());
    argv.push_back(nullptr);
    const intptr_t code = _wspawnv(_P_WAIT, Program.c_str(), argv.data());
    return code < 0 ? 127 : static_cast<int>(code);
#else
    std::vector<char*> argv;
    for (Arg& arg : Args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        execv(Program.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child)
        return 127;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
#endif
}

int Run(const std::vector<Arg>& Args) {
    Arg source, destination;
    for (size_t i = 1; i < Args.size(); ++i) {
        if (Narrow(Args[i]) == "-i" && i + 1 < Args.size())
            source = Args[++i];
    }
    if (Args.size() > 1)
        destination = Args.back();

    FILE* script = OpenFile(source, MODE("rb"));
    if (!script) {
        WriteErr(Narrow(source) + ": No such file or directory\n");
        return 1;
    }
    std::string text;
    char chunk[4096];
    for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, script)) > 0;)
        text.append(chunk, n);
    std::fclose(script);

    long long written = 0; // bytes of the file at <destination>, for the status lines' size
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::istringstream words(line);
        std::string command;
        words >> command;
        std::string rest;
        std::getline(words, rest);
        if (!rest.empty() && rest.front() == ' ')
            rest.erase(0, 1);

        if (command == "err") {
            WriteErr(Unescape(rest));
        } else if (command == "sleep") {
            SleepMs(std::atol(rest.c_str()));
        } else if (command == "status") {
            long to = 0, step = 1000, pause = 0;
            std::istringstream(rest) >> to >> step >> pause;
            for (long t = 0;; t += step) {
                if (t > to)
                    t = to;
                WriteErr("frame=  " + std::to_string(t / 40) +
                         " fps=25 q=2.0 size=  " + std::to_string((written + 512) / 1024) +
                         "kB time=" + Clock(t) + " bitrate= 800.0kbits/s speed=1.0x    \r");
                if (t >= to)
                    break;
                SleepMs(pause);
            }
        } else if (command == "create") {
            FILE* out = OpenFile(destination, MODE("wb"));
            if (!out) {
                WriteErr(Narrow(destination) + ": Permission denied\n");
                return 1;
            }
            std::fputs("RIFF fake AVI", out);
            std::fclose(out);
            written = 13;
        } else if (command == "write") {
            FILE* out = OpenFile(destination, MODE("wb"));
            if (!out) {
                WriteErr(Narrow(destination) + ": Permission denied\n");
                return 1;
            }
            const long long bytes = std::atoll(rest.c_str());
            std::string data = "RIFF";
            data.resize(static_cast<size_t>(bytes > 4 ? bytes : 4), 'x');
            std::fwrite(data.data(), 1, static_cast<size_t>(bytes), out);
            std::fclose(out);
            written = bytes;
        } else if (command == "args") {
            for (size_t i = 1; i < Args.size(); ++i)
                WriteErr("arg=" + Narrow(Args[i]) + "\n");
        } else if (command == "pid") {
            FILE* out = OpenFile(destination, MODE("wb"));
            if (!out)
                return 1;
#ifdef _WIN32
            std::fprintf(out, "%lu", static_cast<unsigned long>(GetCurrentProcessId()));
#else
            std::fprintf(out, "%ld", static_cast<long>(getpid()));
#endif
            std::fclose(out);
        } else if (command == "cwd") {
#ifdef _WIN32
            wchar_t folder[32768] = L"";
            GetCurrentDirectoryW(32768, folder);
            WriteErr("cwd=" + Narrow(folder) + "\n");
#else
            char folder[4096] = "";
            WriteErr("cwd=" + std::string(getcwd(folder, sizeof folder) ? folder : "") + "\n");
#endif
        } else if (command == "console") {
            bool attached = false;
#ifdef _WIN32
            attached = GetConsoleCP() != 0;
#endif
            WriteErr(attached ? "console=yes\n" : "console=no\n");
        } else if (command == "errormode") {
#ifdef _WIN32
            WriteErr("errormode=" + std::to_string(GetErrorMode()) + "\n");
#else
            WriteErr("errormode=none\n");
#endif
        } else if (command == "joblimits") {
            std::string limits = "none";
#ifdef _WIN32
            JOBOBJECT_EXTENDED_LIMIT_INFORMATION info{};
            BOOL inJob = FALSE;
            // A null job handle asks about the job this process is in.
            if (IsProcessInJob(GetCurrentProcess(), nullptr, &inJob) && inJob &&
                QueryInformationJobObject(nullptr, JobObjectExtendedLimitInformation, &info,
                                          sizeof(info), nullptr))
                limits = std::to_string(info.BasicLimitInformation.LimitFlags);
#endif
            WriteErr("joblimits=" + limits + "\n");
        } else if (command == "handle") {
            bool open = false;
#ifdef _WIN32
            HANDLE h = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(std::atoll(rest.c_str())));
            DWORD flags = 0;
            open = GetHandleInformation(h, &flags) && WaitForSingleObject(h, 0) == WAIT_OBJECT_0;
#endif
            WriteErr(open ? "handle=open\n" : "handle=closed\n");
        } else if (command == "close-stderr") {
            std::fclose(stderr);
        } else if (command == "flood") {
            long left = std::atol(rest.c_str());
            std::string filler(1000, 'x');
            filler.back() = '\n';
            while (left > 0) {
                WriteErr(filler.substr(0, left < 1000 ? left : 1000));
                left -= 1000;
            }
        } else if (command == "ignore-signals") {
#ifndef _WIN32
            std::signal(SIGTERM, SIG_IGN);
            std::signal(SIGINT, SIG_IGN);
            std::signal(SIGHUP, SIG_IGN);
#endif
        } else if (command == "hang") {
            for (;;)
                SleepMs(1000);
        } else if (command == "replay") {
            FILE* captured = OpenFile(Wide(rest), MODE("rb"));
            if (!captured)
                return 2;
            for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, captured)) > 0;)
                std::fwrite(chunk, 1, n, stderr);
            std::fclose(captured);
            std::fflush(stderr);
        } else if (command == "convert") {
            std::istringstream parts(rest);
            std::string program, realSource;
            parts >> program;
            std::getline(parts, realSource);
            if (!realSource.empty() && realSource.front() == ' ')
                realSource.erase(0, 1);
            std::vector<Arg> args = Args;
            for (size_t i = 1; i + 1 < args.size(); ++i) {
                if (Narrow(args[i]) == "-i")
                    args[i + 1] = Wide(realSource);
            }
            return RunProgram(Wide(program), args);
        } else if (command == "exit") {
            return std::atoi(rest.c_str());
        } else if (command == "crash") {
            std::fflush(stderr);
#ifdef _WIN32
            TerminateProcess(GetCurrentProcess(),
                             static_cast<UINT>(std::strtoul(rest.c_str(), nullptr, 10)));
#else
            std::raise(SIGKILL);
#endif
        }
    }
    return 0;
}

} // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
    _setmode(_fileno(stderr), _O_BINARY); // the script's bytes, unchanged
#else
int main(int argc, char** argv) {
#endif
    return Run(std::vector<Arg>(argv, argv + argc));
}
