// The order of a file replacement's steps, which no real file system shows: file_io.cpp runs here
// on a stand-in for its system layer (file_io_system.h) that keeps the files in memory and records
// each call. The new file must be on the disk before it takes the old one's name, and the rename
// before the write counts as done; the temporary is watched for signals from its creation on.

#include <gtest/gtest.h>

#include <cerrno>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "files/file_io.h"
#include "files/file_io_system.h"
#include "support/case_name.h"

namespace vardel::frontend {
namespace file_system {
namespace {

// The stand-in's state; one test at a time uses it.
struct Recorded {
    std::map<std::string, std::string> files;
    std::map<FileHandle, std::string> handles;  // a file's path, or "folder"
    std::vector<std::string> calls;
    FileHandle next = 3;
    std::uint64_t number = 0;
};
Recorded recorded;

std::string WhatIs(FileHandle handle) {
    return recorded.handles[handle] == "folder" ? "folder" : "file";
}

}  // namespace

int ReadLink(const std::string&, bool& isLink, std::string&) {
    isLink = false;
    return 0;
}

int Inspect(const std::string& path, FileFacts& facts) {
    facts = FileFacts{};
    facts.exists = facts.regular = recorded.files.count(path) != 0;
    facts.mode = 0644;
    return 0;
}

int CreateExclusive(const std::string& path, const FileFacts&, FileHandle& file) {
    if (recorded.files.count(path) != 0) return EEXIST;
    recorded.calls.push_back("create temporary");
    recorded.files[path] = "";
    file = recorded.next++;
    recorded.handles[file] = path;
    return 0;
}

int WriteAll(FileHandle file, const char* bytes, std::size_t size) {
    recorded.calls.push_back("write");
    recorded.files[recorded.handles[file]].append(bytes, size);
    return 0;
}

int FlushToDisk(FileHandle file) {
    recorded.calls.push_back("flush " + WhatIs(file));
    return 0;
}

int CloseFile(FileHandle file) {
    recorded.calls.push_back("close " + WhatIs(file));
    recorded.handles.erase(file);
    return 0;
}

int RemoveFile(const std::string& path) {
    recorded.calls.push_back("remove");
    recorded.files.erase(path);
    return 0;
}

int MoveOver(const std::string& from, const std::string& to) {
    recorded.calls.push_back("rename");
    recorded.files[to] = recorded.files[from];
    recorded.files.erase(from);
    return 0;
}

int MoveIfFree(const std::string& from, const std::string& to) {
    if (recorded.files.count(to) != 0) return EEXIST;
    recorded.calls.push_back("rename if free");
    recorded.files[to] = recorded.files[from];
    recorded.files.erase(from);
    return 0;
}

int MakeFolder(const std::string&) {
    recorded.calls.push_back("make folder");
    return 0;
}

int OpenFolder(const std::string&, FileHandle& handle) {
    recorded.calls.push_back("open folder");
    handle = recorded.next++;
    recorded.handles[handle] = "folder";
    return 0;
}

int FlushFolder(FileHandle) {
    recorded.calls.push_back("flush folder");
    return 0;
}

int OpenForReading(const std::string&, FileHandle&) {
    return ENOSYS;
}

int ReadSome(FileHandle, char*, std::size_t, std::size_t& got) {
    got = 0;
    return ENOSYS;
}

bool IsAlreadyExists(int error) {
    return error == EEXIST;
}

std::string ErrorText(int error) {
    return "error " + std::to_string(error);
}

std::uint64_t UniqueNumber() {
    return ++recorded.number;
}

InterruptWatch::InterruptWatch() = default;
InterruptWatch::~InterruptWatch() {
    if (watching_) recorded.calls.push_back("end the watch");
}
void InterruptWatch::Watch(const std::string& temporary) {
    recorded.calls.push_back(recorded.files.count(temporary) != 0 ? "watch the temporary"
                                                                  : "watch a name not made");
    watching_ = true;
}
void InterruptWatch::LetThrough() {}

}  // namespace file_system

namespace {

struct OrderCase {
    const char* name;
    bool fileThere;
    bool replaceExisting;
    std::vector<std::string> calls;
};

void PrintTo(const OrderCase& order, std::ostream* out) {
    *out << order.name;
}

const OrderCase kOrderCases[] = {
    {"Replacement",
     true,
     true,
     {"open folder", "create temporary", "watch the temporary", "write", "flush file", "close file",
      "rename", "flush folder", "close folder", "end the watch"}},
    {"NewFileNeverReplacing",
     false,
     false,
     {"open folder", "create temporary", "watch the temporary", "write", "flush file", "close file",
      "rename if free", "flush folder", "close folder", "end the watch"}},
};

class FileWriteOrder : public testing::TestWithParam<OrderCase> {};

TEST_P(FileWriteOrder, FlushesTheFileBeforeTheRenameAndTheFolderAfterIt) {
    const OrderCase& order = GetParam();
    file_system::recorded = file_system::Recorded{};
    if (order.fileThere) file_system::recorded.files["d/FILE"] = "old";
    std::string problem;
    EXPECT_EQ(WriteFileAtomically("d/FILE", "new", order.replaceExisting, problem),
              FileWriteResult::Written)
        << problem;
    EXPECT_EQ(file_system::recorded.calls, order.calls);
    EXPECT_EQ(file_system::recorded.files, (std::map<std::string, std::string>{{"d/FILE", "new"}}));
}

INSTANTIATE_TEST_SUITE_P(Steps, FileWriteOrder, testing::ValuesIn(kOrderCases),
                         testing_support::CaseName());

}  // namespace
}  // namespace vardel::frontend
