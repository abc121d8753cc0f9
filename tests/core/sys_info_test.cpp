// SPDX-License-Identifier: MIT
#include "about/SysInfo.h"

#include <gtest/gtest.h>

#include "about/KeyValue.h"
#include "platform/fake/FakeProgramStarter.h"
#include "platform/fake/FakeRegistry.h"

namespace kelmora {
namespace {

using Read = std::pair<std::string, std::string>;
using Kind = platform::FakeProgramStarter::Kind;

const Read kLookup1{"SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", "PATH"};
const Read kLookup2{"SOFTWARE\\Microsoft\\Shared Tools Location", "MSINFO"};
const std::string kToolPath = "C:\\PROGRA~1\\COMMON~1\\MSINFO\\MSINFO32.EXE";
const std::string kToolFolder = "C:\\WINDOWS\\system32";

struct RecordingMessages : MessageSink {
    std::vector<std::string> shown;
    void showMessage(std::string_view utf8) override { shown.emplace_back(utf8); }
};

class StartSysInfoTest : public ::testing::Test {
  protected:
    platform::FakeRegistry registry;
    platform::FakeProgramStarter starter;
    RecordingMessages messages;

    void run() { StartSysInfo(&registry, &starter, messages); }
    static NativeString native(const std::string& ansi) { return fromAscii(ansi); }
    const std::vector<std::string> unavailable{std::string(kSysInfoUnavailable)};
};

TEST_F(StartSysInfoTest, FirstLookupStartsItsPathWithoutAFileTest) {
    registry.setText(kLookup1.first, kLookup1.second, kToolPath);
    registry.setText(kLookup2.first, kLookup2.second, kToolFolder);
    starter.addFile(native(kToolPath));
    run();
    EXPECT_EQ(starter.started(), std::vector{native(kToolPath)});
    EXPECT_TRUE(starter.fileTests().empty());
    EXPECT_EQ(registry.reads(), std::vector{kLookup1});
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(StartSysInfoTest, FirstLookupNamingAMissingFileGivesTheMessageWithoutTheSecond) {
    registry.setText(kLookup1.first, kLookup1.second, kToolPath);
    registry.setText(kLookup2.first, kLookup2.second, kToolFolder);
    starter.addFile(native(kToolFolder + "\\MSINFO32.EXE"));
    run();
    EXPECT_EQ(starter.starts(), std::vector{native(kToolPath)});
    EXPECT_TRUE(starter.started().empty());
    EXPECT_EQ(registry.reads(), std::vector{kLookup1});
    EXPECT_EQ(messages.shown, unavailable);
}

TEST_F(StartSysInfoTest, FirstLookupOfAnotherTypeStartsNothing) {
    registry.set(kLookup1.first, kLookup1.second, {3, {'a', 'b', 0}});
    run();
    EXPECT_EQ(starter.starts(), std::vector{native("")});
    EXPECT_EQ(messages.shown, unavailable);
}

TEST_F(StartSysInfoTest, SecondLookupStartsTheToolFileInItsFolder) {
    registry.setText(kLookup2.first, kLookup2.second, kToolFolder);
    const NativeString tool = native(kToolFolder + "\\MSINFO32.EXE");
    starter.addFile(tool);
    run();
    EXPECT_EQ(registry.reads(), (std::vector{kLookup1, kLookup2}));
    EXPECT_EQ(starter.fileTests(), std::vector{tool});
    EXPECT_EQ(starter.started(), std::vector{tool});
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(StartSysInfoTest, SecondLookupAddsTheSeparatorWhateverTheFolderEndsWith) {
    registry.setText(kLookup2.first, kLookup2.second, "D:\\");
    starter.addFile(native("D:\\\\MSINFO32.EXE"));
    run();
    EXPECT_EQ(starter.started(), std::vector{native("D:\\\\MSINFO32.EXE")});
}

TEST_F(StartSysInfoTest, SecondLookupWithAHiddenOrMissingFileGivesTheMessage) {
    registry.setText(kLookup2.first, kLookup2.second, kToolFolder);
    const NativeString tool = native(kToolFolder + "\\MSINFO32.EXE");
    starter.addFile(tool, Kind::Hidden);
    run();
    EXPECT_TRUE(starter.starts().empty());
    EXPECT_EQ(messages.shown, unavailable);

    starter.removeFile(tool);
    run();
    EXPECT_EQ(starter.fileTests(), (std::vector{tool, tool}));
    EXPECT_TRUE(starter.starts().empty());
    EXPECT_EQ(messages.shown.size(), std::size_t{2});
}

TEST_F(StartSysInfoTest, SecondLookupWithAFileThatWillNotStartGivesTheMessage) {
    registry.setText(kLookup2.first, kLookup2.second, kToolFolder);
    starter.addFile(native(kToolFolder + "\\MSINFO32.EXE"), Kind::NotAProgram);
    run();
    EXPECT_EQ(starter.starts().size(), std::size_t{1});
    EXPECT_EQ(messages.shown, unavailable);
}

TEST_F(StartSysInfoTest, NeitherKeyGivesTheMessage) {
    run();
    EXPECT_EQ(registry.reads(), (std::vector{kLookup1, kLookup2}));
    EXPECT_TRUE(starter.starts().empty());
    EXPECT_EQ(messages.shown, unavailable);
}

TEST_F(StartSysInfoTest, AValueOfSizeZeroGivesTheMessage) {
    registry.set(kLookup1.first, kLookup1.second, {kRegText, {}});
    registry.setText(kLookup2.first, kLookup2.second, kToolFolder);
    starter.addFile(native(kToolFolder + "\\MSINFO32.EXE"));
    run();
    EXPECT_EQ(registry.reads(), std::vector{kLookup1});  // the error ends the search
    EXPECT_TRUE(starter.starts().empty());
    EXPECT_EQ(messages.shown, unavailable);
}

TEST_F(StartSysInfoTest, NoPlatformServicesGiveTheMessage) {
    StartSysInfo(nullptr, nullptr, messages);
    registry.setText(kLookup1.first, kLookup1.second, kToolPath);
    StartSysInfo(&registry, nullptr, messages);
    EXPECT_EQ(messages.shown.size(), std::size_t{2});
}

TEST_F(StartSysInfoTest, EveryClickSearchesAfresh) {
    run();
    EXPECT_EQ(messages.shown, unavailable);
    // Installed while the About box stays open: the next click finds it.
    registry.setText(kLookup1.first, kLookup1.second, kToolPath);
    starter.addFile(native(kToolPath));
    run();
    EXPECT_EQ(starter.started(), std::vector{native(kToolPath)});
    EXPECT_EQ(registry.reads(), (std::vector{kLookup1, kLookup2, kLookup1}));
    // And removed again: missed on the click after.
    starter.removeFile(native(kToolPath));
    run();
    EXPECT_EQ(messages.shown.size(), std::size_t{2});
}

}  // namespace
}  // namespace kelmora
