// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/posix/shared/UniqueFd.h"
#include "platform/posix/sysinfo/PosixProgramStarter.h"
#include "platform/posix/sysinfo/PosixRegistry.h"
#include "platform/posix/sysinfo/TrustedProgram.h"
#include "tests/support/TempTree.h"

namespace kelmora::platform::posix {
namespace {

namespace fs = std::filesystem;

const std::string kToolKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";

void writeFile(const std::string& path, const std::string& text, bool executable) {
    std::ofstream(path, std::ios::binary) << text;
    if (executable) fs::permissions(path, fs::perms::owner_exec, fs::perm_options::add);
}

class PosixRegistryTest : public ::testing::Test {
  protected:
    test::TempTree tree;
    std::string searchPath;
    PosixRegistry registry{[this] { return searchPath; }};

    std::string program(const std::string& rel) {
        tree.folder(fs::path(rel).parent_path().string());
        writeFile(tree.path(rel), "#!/bin/sh\n", true);
        return tree.path(rel);
    }
    std::optional<RegistryValue> read(const std::string& key = kToolKey,
                                      const std::string& name = "PATH") {
        return registry.readValue(kLocalMachine, key, name, 1024);
    }
    static std::vector<std::uint8_t> textValue(const std::string& text) {
        std::vector<std::uint8_t> bytes(text.begin(), text.end());
        bytes.push_back(0);
        return bytes;
    }
};

TEST_F(PosixRegistryTest, AnswersTheToolPathWithTheFirstProgramFound) {
    program("a/kinfocenter");
    const std::string hardinfo = program("b/hardinfo");
    searchPath = tree.path("a") + ":" + tree.path("b");
    // The programs are preferred in their order, whatever folder holds them.
    auto value = read();
    ASSERT_TRUE(value);
    EXPECT_EQ(value->type, 1u);
    EXPECT_EQ(value->bytes, textValue(hardinfo));

    const std::string hardinfo2 = program("c/hardinfo2");
    searchPath += ":" + tree.path("c");
    EXPECT_EQ(read()->bytes, textValue(hardinfo2));
    // Within one program, the first folder of the search path wins.
    const std::string early = program("d/hardinfo2");
    searchPath = tree.path("d") + "/:" + searchPath;
    EXPECT_EQ(read()->bytes, textValue(early));
}

TEST_F(PosixRegistryTest, SkipsWhatIsNoExecutableProgram) {
    tree.folder("a/hardinfo");  // a folder
    tree.folder("b");
    // Without any execute bit: not executable even for root.
    writeFile(tree.path("b/hardinfo"), "#!/bin/sh\n", false);
    const std::string kinfo = program("c/kinfocenter");
    searchPath = tree.path("a") + ":" + tree.path("b") + ":" + tree.path("c");
    EXPECT_EQ(read()->bytes, textValue(kinfo));
}

TEST_F(PosixRegistryTest, RelativeAndEmptySearchPathEntriesAreNotSearched) {
    program("a/hardinfo");
    const auto previous = fs::current_path();
    fs::current_path(tree.root());
    searchPath = "a::.";
    const auto value = read();
    fs::current_path(previous);
    EXPECT_FALSE(value);
}

TEST_F(PosixRegistryTest, EverythingElseIsAbsent) {
    program("a/hardinfo");
    searchPath = tree.path("a");
    EXPECT_TRUE(read("software\\microsoft\\shared tools\\msinfo", "path"));
    EXPECT_FALSE(read("SOFTWARE\\Microsoft\\Shared Tools Location", "MSINFO"));
    EXPECT_FALSE(read(kToolKey, "MSINFO"));
    EXPECT_FALSE(registry.readValue(0, kToolKey, "PATH", 1024));
    // A path that does not fit the buffer with its zero is as missing as a larger value.
    const std::size_t size = tree.path("a/hardinfo").size() + 1;
    EXPECT_TRUE(registry.readValue(kLocalMachine, kToolKey, "PATH", size));
    EXPECT_FALSE(registry.readValue(kLocalMachine, kToolKey, "PATH", size - 1));
    searchPath = "";
    EXPECT_FALSE(read());
}

TEST(PosixProgramStarterFiles, OrdinaryFileIsARegularFileNotHidden) {
    test::TempTree tree;
    tree.file("MSINFO32.EXE", 3);
    tree.file(".hidden", 3);
    tree.folder("folder");
    tree.symlink(tree.path("MSINFO32.EXE"), "link");
    PosixProgramStarter starter;
    EXPECT_TRUE(starter.isOrdinaryFile(tree.path("MSINFO32.EXE")));
    EXPECT_TRUE(starter.isOrdinaryFile(tree.path("link")));
    EXPECT_FALSE(starter.isOrdinaryFile(tree.path(".hidden")));
    EXPECT_FALSE(starter.isOrdinaryFile(tree.path("folder")));
    EXPECT_FALSE(starter.isOrdinaryFile(tree.path("missing")));
    EXPECT_FALSE(starter.isOrdinaryFile(tree.path("MSINFO32.EXE") + "/"));
    EXPECT_EQ(starter.pathFromAnsi("/a b/\xC8\xFE"), "/a b/\xC8\xFE");
}

// True when this process has no child left, running or waiting to be reaped.
bool noChildren() {
    int status = 0;
    return ::waitpid(-1, &status, WNOHANG) == -1 && errno == ECHILD;
}

TEST(PosixProgramStarterStart, StartsAHarmlessProgramDetached) {
    PosixProgramStarter starter;
    ASSERT_TRUE(fs::exists("/bin/true"));
    EXPECT_TRUE(starter.start("/bin/true"));
    EXPECT_TRUE(noChildren());
}

TEST(PosixProgramStarterStart, TheProgramRunsWithoutArgumentsAndNotAsOurChild) {
    test::TempTree tree;
    const std::string out = tree.path("out");
    writeFile(tree.path("tool"),
              "#!/bin/sh\necho \"$# $PPID\" > \"" + out + ".part\" && mv \"" + out + ".part\" \"" +
                  out + "\"\n",
              true);
    PosixProgramStarter starter{std::nullopt};  // a temporary folder is nothing root would trust
    ASSERT_TRUE(starter.start(tree.path("tool")));
    EXPECT_TRUE(noChildren());
    for (int i = 0; i < 500 && !tree.exists("out"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_TRUE(tree.exists("out")) << "the started program never ran";
    int arguments = -1;
    pid_t parent = 0;
    std::ifstream(out) >> arguments >> parent;
    EXPECT_EQ(arguments, 0);
    EXPECT_NE(parent, ::getpid());
}

TEST(PosixProgramStarterStart, WhatCannotBeExecutedIsReportedAsFailure) {
    test::TempTree tree;
    writeFile(tree.path("script-without-interpreter"), "echo hello\n", true);
    writeFile(tree.path("not-executable"), "#!/bin/sh\n", false);
    tree.folder("folder");
    PosixProgramStarter starter{std::nullopt};
    EXPECT_FALSE(starter.start(tree.path("missing")));
    EXPECT_FALSE(starter.start(tree.path("folder")));
    // No shell steps in for a file that is no program.
    EXPECT_FALSE(starter.start(tree.path("script-without-interpreter")));
    EXPECT_FALSE(starter.start(tree.path("not-executable")));  // no execute bit, even for root
    EXPECT_FALSE(starter.start(""));
    EXPECT_FALSE(starter.start(std::string("/bin/true\0x", 11)));
    EXPECT_TRUE(noChildren());
}

// A program looked up and started for root must be one that nobody else can have put in place.
// The test plays root's part with its own user, in a tree of its own as the root folder.
TEST(PosixTrustedProgram, OnlyProgramsNobodyElseCanChangeAreFoundAndStarted) {
    test::TempTree tree;
    const std::string out = tree.path("out");
    for (const char* folder : {"usr/bin", "open", "usr/local/bin"}) tree.folder(folder);
    writeFile(tree.path("usr/bin/hardinfo"), "#!/bin/sh\necho trusted > \"" + out + "\"\n", true);
    writeFile(tree.path("open/hardinfo"), "#!/bin/sh\necho lured > \"" + out + "\"\n", true);
    writeFile(tree.path("usr/local/bin/hardinfo"), "#!/bin/sh\n", true);
    tree.symlink("usr/bin", "bin");  // as Debian's /bin
    for (const char* folder : {"", "usr", "usr/bin", "usr/local", "usr/local/bin"})
        ::chmod(tree.path(folder).c_str(), 0755);
    ::chmod(tree.path("open").c_str(), 0777);
    ::chmod(tree.path("usr/local/bin/hardinfo").c_str(), 0775);  // group may change it
    const ProgramTrust trust{::geteuid(), tree.root()};
    const auto opens = [&](const std::string& path) {
        return UniqueFd(openTrustedProgram(path, trust)).get() >= 0;
    };

    EXPECT_TRUE(opens("/usr/bin/hardinfo"));
    EXPECT_TRUE(opens("/bin/hardinfo"));
    EXPECT_FALSE(opens("/open/hardinfo"));           // a folder anybody may write
    EXPECT_FALSE(opens("/usr/local/bin/hardinfo"));  // a program the group may write
    EXPECT_FALSE(opens("/usr/bin"));
    tree.symlink("/open", "usr/lure");  // a trusted link into an untrusted folder
    EXPECT_FALSE(opens("/usr/lure/hardinfo"));
    ::chmod(tree.path("usr").c_str(), 0775);  // a folder further up that the group may write
    EXPECT_FALSE(opens("/usr/bin/hardinfo"));
    ::chmod(tree.path("usr").c_str(), 0755);
    if (::geteuid() == 0) {
        ASSERT_EQ(::lchown(tree.path("usr/bin/hardinfo").c_str(), 65534, 65534), 0);
        EXPECT_FALSE(opens("/usr/bin/hardinfo"));  // another user's program
        ASSERT_EQ(::lchown(tree.path("usr/bin/hardinfo").c_str(), 0, 0), 0);
        ::chmod(tree.path("usr/bin/hardinfo").c_str(), 0755);
    }

    // The search passes over what fails the check, in search path order.
    EXPECT_EQ(findOnSearchPath("/open:/usr/local/bin:/bin", {"hardinfo"}, &trust), "/bin/hardinfo");
    EXPECT_EQ(findOnSearchPath("/open:/usr/local/bin", {"hardinfo"}, &trust), "");

    // The starter runs the checked file and nothing else.
    PosixProgramStarter starter{trust};
    EXPECT_FALSE(starter.start("/open/hardinfo"));
    ASSERT_TRUE(starter.start("/usr/bin/hardinfo"));
    // The shell makes the file before it writes the word: wait for the word.
    std::string said;
    for (int i = 0; i < 500 && said.empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        std::ifstream(out) >> said;
    }
    EXPECT_EQ(said, "trusted");
    EXPECT_TRUE(noChildren());
}

}  // namespace
}  // namespace kelmora::platform::posix
