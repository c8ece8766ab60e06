#!/bin/sh
# Fails when a Windows file function is handed a path that did not come from Win32FilePath
# (src/platform/win32/Win32Path.h): such a call works under Wine and fails on Windows once the
# path reaches 260 characters (MAX_PATH). In the Win32 layer a call passes when its path
# argument is Win32FilePath(...) itself, or a name the same file assigns from it; window code
# calls no file function at all (it goes through FileSystem.h), and only Win32Path.cpp builds
# the extended form.
set -eu
root=${1:-$(cd "$(dirname "$0")/../.." && pwd)}
exec perl -e '
use strict;
use warnings;
# Calls that take a path as their first argument (two for the copy and move ones).
my $functions = join "|", qw(
    CreateFileW CreateFile2 GetFileAttributesW GetFileAttributesExW SetFileAttributesW
    FindFirstFileW FindFirstFileExW DeleteFileW RemoveDirectoryW CreateDirectoryW
    CreateDirectoryExW MoveFileW MoveFileExW CopyFileW CopyFileExW ReplaceFileW
    GetShortPathNameW GetLongPathNameW CreateHardLinkW _wfopen _wopen _wstat);
# Handed names that are not file-system paths.
my %exempt = (
    "ChildProcessWin32.cpp:CreateFileW:name" => "the pipe to the converter, \\\\.\\pipe\\...",
);
my $bad = 0;
my $calls = 0;
sub report {
    my ($file, $text, $at, $what) = @_;
    my $line = 1 + (() = substr($text, 0, $at) =~ /\n/g);
    print "$file:$line: $what\n";
    $bad = 1;
}
for my $file (@ARGV) {
    open my $in, "<", $file or die "$file: $!";
    local $/;
    my $text = <$in>;
    close $in;
    $text =~ s{//[^\n]*}{}g; # comments may name the functions
    my %converted = map { $_ => 1 } ($text =~ /\b(\w+)\s*(?:=|\{|\()\s*Win32FilePath\s*\(/g);
    (my $base = $file) =~ s{.*/}{};
    while ($text =~ /(?<![\w.>])(?:::)?($functions)\s*\(\s*([^,)]*)/g) {
        my ($function, $argument) = ($1, $2);
        next if $file =~ /Win32Path\.cpp$/;
        ++$calls;
        my $line = 1 + (() = substr($text, 0, pos($text)) =~ /\n/g);
        (my $shown = $file) =~ s{^.*?/src/}{src/};
        print "  $shown:$line $function\n";
        next if $argument =~ /^Win32FilePath\s*\(/;
        if ($file =~ m{/src/win/}) {
            report($file, $text, pos($text), "$function is called by window code; use FileSystem.h");
            next;
        }
        (my $name = $argument) =~ s/\s*\.c_str\(\)?\s*$//;
        next if $converted{$name};
        next if $exempt{"$base:$function:$name"};
        report($file, $text, pos($text), "$function is given \"$name\", not a path from Win32FilePath");
    }
    while ($text =~ /\bExtendedLengthPath\s*\(/g) {
        report($file, $text, pos($text), "builds the extended form itself; Win32FilePath does that")
            unless $file =~ /Win32Path\.cpp$/;
    }
}
print "$calls file-function calls checked\n";
die "no calls found: the check looks in the wrong place\n" if $calls == 0;
exit $bad;
' $(find "$root/src/platform/win32" "$root/src/win" "$root/src/core" -name "*.cpp" -o -name "*.h" |
     grep -v "/src/core/LongPath\." | sort)
