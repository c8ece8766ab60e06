// The saved list: its format, its atomic writing with a fallback copy, the owners' locks that
// keep windows' saves apart, and the clearing of partial files that are still Kestrova's own.
#include "SavedList.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;
using testing_support::TempFolder;

namespace {

TSavedList AwkwardList() {
    TSavedList list;
    list.State = TSavedState::ClosedAfterBatch;
    list.BatchRunning = true;
    list.SameFolder = false;
    list.OutputFolder = L"  D:\\Vidéos\\out\t\\ ";
    list.Rows.push_back({L"clip.webm", L"C:\\a\\", 1234, false, L"", L""});
    // Names with a backslash sequence, non-BMP letters, a very long folder; a reason and the
    // converter's lines with breaks, tabs and backslashes.
    const std::wstring longFolder = L"C:\\" + std::wstring(300, L'x') + L"\\";
    list.Rows.push_back({L"a\\n b\\t\U0001F3AC\u00E9.webm", longFolder, 5'000'000'000, true,
                         L"The converter stopped: \"disk\" full.",
                         L"line 1\r\nline\t2\\3\nE\tfake end line\n"});
    list.Rows.push_back({L"R\tlike a row.webm", L"\\\\server\\share\\", 0, true, L"", L"x"});
    list.Partials.push_back({L"C:\\a\\clip.partial.avi", {0xFFFFFFFFull, 0xFFFFFFFFFFFFFFFFull}});
    return list;
}

TSavedRow Plain(const std::wstring& Name, const std::wstring& Location, int64_t Size) {
    TSavedRow row;
    row.Name = Name;
    row.Location = Location;
    row.FileSize = Size;
    return row;
}

std::string Read(const fs::path& Path) {
    std::ifstream in(Path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void Write(const fs::path& Path, const std::string& Bytes) {
    std::ofstream(Path, std::ios::binary | std::ios::trunc) << Bytes;
}

} // namespace

TEST(SavedListFormat, RoundTripKeepsAwkwardNamesReasonsAndTheOutputChoice) {
    const TSavedList list = AwkwardList();
    const std::string bytes = EncodeSavedList(list);
    TSavedList read;
    ASSERT_TRUE(DecodeSavedList(bytes, read));
    EXPECT_EQ(read, list);
    EXPECT_EQ(bytes.find('\0'), std::string::npos);
    EXPECT_EQ(bytes.rfind("Kestrova list 1\n", 0), 0u) << "versioned from its first line";

    TSavedList empty;
    ASSERT_TRUE(DecodeSavedList(EncodeSavedList({}), empty));
    EXPECT_EQ(empty, TSavedList{});
}

TEST(SavedListFormat, ATornOrAlteredFileIsRefusedAndLeavesTheListAlone) {
    const std::string bytes = EncodeSavedList(AwkwardList());
    TSavedList read;
    read.OutputFolder = L"untouched";
    // Cut at every length: nothing short of the whole is taken.
    for (size_t length = 0; length < bytes.size(); ++length)
        EXPECT_FALSE(DecodeSavedList(bytes.substr(0, length), read)) << length;
    // One byte changed, zeros where a power cut left them, a later version, bytes after the end.
    std::string changed = bytes;
    changed[30] ^= 1;
    EXPECT_FALSE(DecodeSavedList(changed, read));
    EXPECT_FALSE(DecodeSavedList(std::string(bytes.size(), '\0'), read));
    std::string later = bytes;
    later[later.find('1')] = '2';
    EXPECT_FALSE(DecodeSavedList(later, read));
    std::string extra = bytes;
    extra.append("R\tx\ty\t1\n");
    EXPECT_FALSE(DecodeSavedList(extra, read));
    EXPECT_EQ(read.OutputFolder, L"untouched");
}

class SavedListFolder : public ::testing::Test {
protected:
    TempFolder Temp{L"kestrova-saved"};
    // A folder not there yet: the first save creates it.
    TSavedListFolder Saves{IncludeTrailingPathDelimiter(Temp.Wide() + PathDelim + L"Kestrova")};
    fs::path File(const std::wstring& Name) const {
        return testing_support::PathFromWide(Saves.Path() + Name);
    }
};

TEST_F(SavedListFolder, ATornSaveFallsBackToThePreviousCopy) {
    TSavedList first = AwkwardList(), second = AwkwardList();
    second.Rows.pop_back();
    std::wstring reason;
    ASSERT_TRUE(Saves.SaveList(L"w1", first, reason)) << testing_support::PathFromWide(reason);
    ASSERT_TRUE(Saves.SaveList(L"w1", second, reason));
    EXPECT_FALSE(fs::exists(File(L"w1.list.new")));
    TSavedList read;
    ASSERT_TRUE(Saves.Load(L"w1", read));
    EXPECT_EQ(read.Rows, second.Rows);

    // A power cut tore the newest copy: the one before it is read.
    const std::string whole = Read(File(L"w1.list"));
    Write(File(L"w1.list"), whole.substr(0, whole.size() / 2));
    ASSERT_TRUE(Saves.Load(L"w1", read));
    EXPECT_EQ(read.Rows, first.Rows);

    // Cut between the two renames: only the new copy and the previous one are there.
    Write(File(L"w1.list.new"), whole);
    fs::remove(File(L"w1.list"));
    ASSERT_TRUE(Saves.Load(L"w1", read));
    EXPECT_EQ(read.Rows, second.Rows);
}

TEST_F(SavedListFolder, UnreadableSavesAreNoListButStillYieldTheirPartials) {
    std::wstring reason;
    ASSERT_TRUE(Saves.SavePartials(L"w1", {{L"/p.partial.avi", {1, 2}}}, reason));
    Write(File(L"w1.list"), "garbage");
    Write(File(L"w1.list.previous"), std::string(4096, '\0'));
    fs::create_directory(File(L"w1.list.new")); // not even a file
    TSavedList read;
    read.Rows.push_back(Plain(L"stale", L"/", 1));
    EXPECT_FALSE(Saves.Load(L"w1", read));
    EXPECT_TRUE(read.Rows.empty());
    EXPECT_EQ(read.Partials, (std::vector<TSavedPartial>{{L"/p.partial.avi", {1, 2}}}));

    // Nothing at all there, and a folder that cannot exist: no list, no exception.
    EXPECT_FALSE(Saves.Load(L"nobody", read));
    TSavedListFolder nowhere(Temp.Wide() + PathDelim + L"w1.list.new" + PathDelim + L"x" +
                             PathDelim);
    EXPECT_FALSE(nowhere.Load(L"w1", read));
    EXPECT_TRUE(nowhere.LeftSaves(L"").empty());
}

TEST_F(SavedListFolder, TwoWindowsKeepTheirOwnSavesAndALiveOneIsNeverTakenOver) {
    TFileLock live, ended;
    ASSERT_TRUE(Saves.Lock(L"0001-live", live));
    ASSERT_TRUE(Saves.Lock(L"0002-ended", ended));
    TFileLock again;
    EXPECT_FALSE(Saves.Lock(L"0001-live", again)) << "a held lock is not given twice";

    TSavedList a, b;
    a.Rows.push_back(Plain(L"a.webm", L"/x/", 1));
    b.Rows.push_back(Plain(L"b.webm", L"/y/", 2));
    std::wstring reason;
    ASSERT_TRUE(Saves.SaveList(L"0001-live", a, reason));
    ASSERT_TRUE(Saves.SaveList(L"0002-ended", b, reason));
    ASSERT_TRUE(Saves.SaveList(L"0003-mine", {}, reason));
    TSavedList read;
    ASSERT_TRUE(Saves.Load(L"0001-live", read));
    EXPECT_EQ(read.Rows, a.Rows);
    ASSERT_TRUE(Saves.Load(L"0002-ended", read));
    EXPECT_EQ(read.Rows, b.Rows);

    // Both still run: nothing is left over (the caller's own id is never offered).
    EXPECT_TRUE(Saves.LeftSaves(L"0003-mine").empty());
    ended.Release(); // its process ended
    std::vector<TLeftSave> left = Saves.LeftSaves(L"0003-mine");
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].Id, L"0002-ended");
    EXPECT_TRUE(left[0].Lock.Held());
    // Taken over by this start: a second start at the same moment does not get it too.
    EXPECT_TRUE(Saves.LeftSaves(L"0003-mine").empty());

    // A lock file left without a save (a power cut before the first save) is cleared too.
    { std::ofstream(File(L"0004-stale.lock")) << ""; }
    left = Saves.LeftSaves(L"0003-mine");
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].Id, L"0004-stale");
    left.clear();
    EXPECT_FALSE(fs::exists(File(L"0004-stale.lock")));

    Saves.Remove(L"0002-ended");
    EXPECT_FALSE(Saves.Load(L"0002-ended", read));
    EXPECT_TRUE(Saves.Load(L"0001-live", read)) << "another window's save stays";
}

TEST_F(SavedListFolder, NewestLeftSaveComesFirst) {
    std::wstring reason;
    for (uint64_t time : {5u, 300u, 17u})
        ASSERT_TRUE(Saves.SaveList(MakeSaveId(time, 7), {}, reason));
    std::vector<TLeftSave> left = Saves.LeftSaves(L"");
    ASSERT_EQ(left.size(), 3u);
    EXPECT_EQ(left[0].Id, MakeSaveId(300, 7));
    EXPECT_EQ(left[1].Id, MakeSaveId(17, 7));
    EXPECT_EQ(left[2].Id, MakeSaveId(5, 7));
}

TEST(LeftPartials, OnlyTheSameFileStillThereIsDeleted) {
    TempFolder temp{L"kestrova-partials"};
    const fs::path ours = temp.WriteFile(L"a.partial.avi", "half");
    const fs::path replaced = temp.WriteFile(L"b.partial.avi", "half");
    const fs::path gone = temp.WriteFile(L"c.partial.avi", "");
    std::vector<TSavedPartial> recorded(3);
    recorded[0].Path = testing_support::WideFromPath(ours);
    recorded[1].Path = testing_support::WideFromPath(replaced);
    recorded[2].Path = testing_support::WideFromPath(gone);
    for (TSavedPartial& partial : recorded)
        ASSERT_TRUE(FileIdentity(partial.Path, partial.Identity));
    // Another program's file took b's name since (a file of its own; the old one still exists under
    // another name, so its identity cannot have been reused); c's is gone.
    fs::rename(replaced, temp.Path() / "keep-b");
    temp.WriteFile(L"b.partial.avi", "theirs");
    fs::remove(gone);

    EXPECT_EQ(RemoveLeftPartials(recorded), 1);
    EXPECT_FALSE(fs::exists(ours));
    EXPECT_EQ(Read(replaced), "theirs");
    EXPECT_TRUE(fs::exists(temp.Path() / "keep-b"));
}

TEST(BackgroundWriter, WritesTheNewestAndFlushWaitsForIt) {
    std::atomic<int> writes{0};
    std::string last;
    std::mutex m;
    {
        TBackgroundWriter<std::string> writer([&](const std::string& bytes) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            std::lock_guard lock(m);
            last = bytes;
            ++writes;
        });
        for (int i = 0; i < 50; ++i)
            writer.Submit(std::to_string(i));
        writer.Flush();
        {
            std::lock_guard lock(m);
            EXPECT_EQ(last, "49");
        }
        EXPECT_LT(writes.load(), 50) << "superseded saves are skipped";
        writer.Submit("final");
    }
    EXPECT_EQ(last, "final") << "what is pending is written before the writer goes";
}
