#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "FileUtils.h"
#include "OrbenchError.h"
#include "TestHelpers.h"

namespace orbench {
namespace {

namespace fs = std::filesystem;
using namespace orbench::testing;
using TNames = std::vector<std::string>;

TNames Names(const std::string& Dir)
{
    TNames Result;
    for (const auto& Entry : fs::directory_iterator(Dir)) Result.push_back(Entry.path().filename().string());
    std::sort(Result.begin(), Result.end());
    return Result;
}

// Hands out the given tags in turn, then the last one again and again.
std::function<std::string()> Tags(TNames List)
{
    return [List, i = std::size_t(0)]() mutable { return List[std::min(i++, List.size() - 1)]; };
}

TEST(WriteTextFile, NeverFollowsALinkAtATemporaryNameAndKeepsTheExactBytes)
{
    TTempDir Dir;
    const std::string Target = Dir.File("r.txt"), Victim = Dir.File("victim.txt");
    WriteLines(Victim, {"secret"});
    // Links at the name earlier versions used and at the first two names the writer will pick; the
    // second dangles, so following it would create the file it names.
    fs::create_symlink(Victim, Target + ".part~");
    fs::create_symlink(Victim, TemporaryFileName(Target, "a1"));
    fs::create_symlink(Dir.File("created.txt"), TemporaryFileName(Target, "b2"));
    const TNames Before = Names(Dir.Path());
    const std::string Content("line\r\n\0\x01\xff end", 14);

    WriteTextFile(Target, Content, Tags({"a1", "b2", "c3"}));
    EXPECT_EQ(ReadAll(Target), Content);
    EXPECT_FALSE(fs::is_symlink(Target));
    EXPECT_EQ(ReadAll(Victim), "secret\r\n");
    EXPECT_FALSE(fs::exists(fs::symlink_status(Dir.File("created.txt"))));
    TNames After = Before;
    After.push_back("r.txt");
    std::sort(After.begin(), After.end());
    EXPECT_EQ(Names(Dir.Path()), After);  // no temporary file left

    // The random names of the ordinary writer replace the file again, byte for byte.
    WriteTextFile(Target, "second\r\n");
    EXPECT_EQ(ReadAll(Target), "second\r\n");
    EXPECT_EQ(Names(Dir.Path()), After);

    // Every name taken: the writer gives up with an error naming the file and changes nothing.
    try {
        WriteTextFile(Target, "third", Tags({"a1"}));
        ADD_FAILURE() << "no error";
    } catch (const EOutputError& Error) {
        EXPECT_EQ(std::string(Error.what()).rfind(Target + ": ", 0), 0u) << Error.what();
    }
    EXPECT_EQ(ReadAll(Target), "second\r\n");
    EXPECT_EQ(ReadAll(Victim), "secret\r\n");
}

TEST(WriteTextFile, RefusesANonRegularTargetAndLeavesItAsItWas)
{
    TTempDir Dir;
    const std::string Victim = Dir.File("victim.txt");
    WriteLines(Victim, {"secret"});
    fs::create_directory(Dir.File("folder"));
    fs::create_symlink(Victim, Dir.File("link"));
    fs::create_symlink(Dir.File("nowhere.txt"), Dir.File("dangling"));
    ASSERT_EQ(mkfifo(Dir.File("fifo").c_str(), 0600), 0);
    const TNames Before = Names(Dir.Path());
    const std::pair<const char*, const char*> Cases[] = {
        {"folder", "a directory"}, {"link", "a symbolic link"}, {"dangling", "a symbolic link"}, {"fifo", "a fifo"}};
    // By path, and by name in a folder opened once; renames onto such a target are refused alike.
    const TOutputFolder Folder(Dir.Path());
    for (const bool ByName : {false, true}) {
        for (const auto& [Name, Kind] : Cases) {
            const std::string Path = Dir.File(Name);
            const fs::file_status Status = fs::symlink_status(Path);
            try {
                if (ByName)
                    Folder.WriteTextFile(Name, "new\r\n");
                else
                    WriteTextFile(Path, "new\r\n");
                ADD_FAILURE() << Name << ": no error";
            } catch (const EOutputError& Error) {
                EXPECT_EQ(std::string(Error.what()), Path + ": not a regular file (" + Kind + ")");
            }
            std::string Reason;
            EXPECT_FALSE(ByName ? Folder.RenameOverRegularFile("victim.txt", Name, Reason)
                                : RenameOverRegularFile(Victim, Path, Reason));
            EXPECT_EQ(Reason, std::string("the target is ") + Kind);
            EXPECT_EQ(fs::symlink_status(Path).type(), Status.type()) << Name;
        }
    }
    EXPECT_EQ(fs::read_symlink(Dir.File("link")), Victim);
    EXPECT_EQ(ReadAll(Victim), "secret\r\n");
    EXPECT_FALSE(fs::exists(fs::symlink_status(Dir.File("nowhere.txt"))));
    EXPECT_TRUE(fs::is_empty(Dir.File("folder")));
    EXPECT_EQ(Names(Dir.Path()), Before);

    // A folder's file written by name, replaced, and renamed onto nothing and onto a regular file.
    Folder.WriteTextFile("a.txt", "one\r\n");
    Folder.WriteTextFile("a.txt", "two\r\n");
    std::string Reason;
    EXPECT_TRUE(Folder.RenameOverRegularFile("a.txt", "REMOVE_a.txt", Reason)) << Reason;
    Folder.WriteTextFile("a.txt", "three\r\n");
    EXPECT_TRUE(Folder.RenameOverRegularFile("a.txt", "REMOVE_a.txt", Reason)) << Reason;
    EXPECT_EQ(ReadAll(Dir.File("REMOVE_a.txt")), "three\r\n");
    TNames After = Before;
    After.push_back("REMOVE_a.txt");
    std::sort(After.begin(), After.end());
    EXPECT_EQ(Names(Dir.Path()), After);
}

}  // namespace
}  // namespace orbench
