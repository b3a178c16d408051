// The system service's logic on an emulated machine: what a caller may ask, what reaches the
// drive, and that calls from several callers change a drive one at a time.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <ostream>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "machine/access_watch.h"
#include "scenario/backup_document.h"
#include "service/drive_service.h"
#include "support/case_name.h"
#include "support/standard_machine.h"

namespace vardel::service {
namespace {

namespace fs = std::filesystem;
using testing_support::StandardMachine;

constexpr std::size_t kLun0Byte = 304;
constexpr std::size_t kLun1Byte = 305;

class JournalFolder {
  public:
    JournalFolder() {
        std::string pattern = (fs::temp_directory_path() / "vardel-service-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
    }
    ~JournalFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    JournalFolder(const JournalFolder&) = delete;
    JournalFolder& operator=(const JournalFolder&) = delete;
    const std::string& Path() const { return path_; }

  private:
    std::string path_;
};

ServiceSetup SetupIn(const std::string& folder) {
    ServiceSetup setup;
    setup.journalFolder = folder + "/journal";
    setup.isNoRightsError = frontend::IsEmulatedNoRightsError;
    setup.tool = "vardel-service test";
    return setup;
}

ServiceRequest Asking(ServiceMethod method, const std::string& device = "") {
    ServiceRequest request;
    request.method = method;
    request.device = device;
    return request;
}

ServiceRequest SetRequest(std::uint32_t lun, std::uint32_t type) {
    ServiceRequest request = Asking(ServiceMethod::Set);
    request.lun = lun;
    request.type = type;
    return request;
}

int Writes(const emulated::EmulatedPlatform& platform) {
    const std::vector<std::string> trace = platform.CommandTrace();
    return static_cast<int>(std::count_if(trace.begin(), trace.end(), [](const std::string& call) {
        return call.rfind("WRITE", 0) == 0;
    }));
}

class DriveServiceTest : public testing::Test {
  protected:
    StandardMachine machine;
    JournalFolder folder;
    DriveService service{machine.platform, SetupIn(folder.Path())};
};

// Callers the service must turn away before a block is read, and never with a write.
struct BadCall {
    const char* name;
    ServiceRequest request;
    ServiceError error;
};

ServiceRequest With(ServiceRequest request, void (*change)(ServiceRequest&)) {
    change(request);
    return request;
}

const BadCall kBadCalls[] = {
    {"Lun2", SetRequest(2, 0xA1), ServiceError::InvalidArgument},
    {"TypeOutOfRange", SetRequest(0, 0x05), ServiceError::InvalidArgument},
    {"TypeBeyondAByte", SetRequest(0, 0x1A1), ServiceError::InvalidArgument},
    {"HugeDevice",
     With(SetRequest(0, 0xA1), [](ServiceRequest& r) { r.device = std::string(100000, 'V'); }),
     ServiceError::InvalidArgument},
    {"DeviceOfControlCharacters",
     With(Asking(ServiceMethod::Status), [](ServiceRequest& r) { r.device = "VD\n01"; }),
     ServiceError::InvalidArgument},
    {"NodeOutsideDev", Asking(ServiceMethod::Status, "/tmp/sg1"), ServiceError::InvalidArgument},
    {"NodeClimbingOutOfDev", Asking(ServiceMethod::Status, "/dev/../tmp/sg1"),
     ServiceError::InvalidArgument},
    {"UnknownSerial", Asking(ServiceMethod::Status, "VD9999999999"), ServiceError::UnknownDrive},
    {"UnknownLetter", With(SetRequest(0, 0xA1), [](ServiceRequest& r) { r.device = "Q"; }),
     ServiceError::UnknownDrive},
    {"UnreadableLun0Row",
     With(Asking(ServiceMethod::Write), [](ServiceRequest& r) { r.lun0Text = "0x1FF"; }),
     ServiceError::InvalidArgument},
    {"UnreadableLun1Row",
     With(Asking(ServiceMethod::Write), [](ServiceRequest& r) { r.lun1Text = "Fixed Dusk"; }),
     ServiceError::InvalidArgument},
    {"HugeRow",
     With(Asking(ServiceMethod::Write), [](ServiceRequest& r) { r.lun1Text.assign(4096, ' '); }),
     ServiceError::InvalidArgument},
    {"DocumentNotABackup",
     With(Asking(ServiceMethod::Restore), [](ServiceRequest& r) { r.document = "{\"a\": 1}"; }),
     ServiceError::InvalidArgument},
    {"HugeDocument",
     With(Asking(ServiceMethod::Restore),
          [](ServiceRequest& r) { r.document.assign(kMaxBackupDocumentLength + 1, ' '); }),
     ServiceError::InvalidArgument},
    {"HistoryOfALetter",
     With(Asking(ServiceMethod::History), [](ServiceRequest& r) { r.serial = "E"; }),
     ServiceError::InvalidArgument},
    {"NothingToUndo", Asking(ServiceMethod::Undo), ServiceError::NothingToUndo},
};

void PrintTo(const BadCall& call, std::ostream* out) {
    *out << call.name;
}

class BadCaller : public DriveServiceTest, public testing::WithParamInterface<BadCall> {};

TEST_P(BadCaller, IsRefusedAndNothingIsWritten) {
    const std::uint8_t before[2] = {machine.Drive().configBlock[kLun0Byte],
                                    machine.Drive().configBlock[kLun1Byte]};
    const ServiceReply reply = service.Handle(GetParam().request);
    EXPECT_EQ(reply.error, GetParam().error) << reply.message;
    EXPECT_FALSE(reply.message.empty());
    EXPECT_EQ(Writes(machine.platform), 0);
    EXPECT_EQ(machine.Drive().configBlock[kLun0Byte], before[0]);
    EXPECT_EQ(machine.Drive().configBlock[kLun1Byte], before[1]);
    // Still serving.
    const ServiceReply status = service.Handle(Asking(ServiceMethod::Status));
    EXPECT_EQ(status.outcome.code, OutcomeCode::Done);
}

INSTANTIATE_TEST_SUITE_P(Calls, BadCaller, testing::ValuesIn(kBadCalls),
                         testing_support::CaseName());

TEST_F(DriveServiceTest, ListNamesTheDriveByItsWholeSerialAndLetters) {
    const ServiceReply reply = service.Handle(Asking(ServiceMethod::List));
    ASSERT_EQ(reply.listingCode, OutcomeCode::Done);
    ASSERT_EQ(reply.drives.size(), 1u);
    EXPECT_EQ(reply.drives[0].serial, "VD0000000001");
    EXPECT_EQ(reply.drives[0].listed.lunSlots[0], 'E');
    EXPECT_EQ(reply.drives[0].listed.lunSlots[1], 'F');
}

TEST_F(DriveServiceTest, SetChangesOneByteKeepsItInTheJournalAndUndoPutsItBack) {
    const emulated::Block original = machine.Drive().configBlock;
    ServiceRequest set = SetRequest(0, kLunTypeFixedDisk);
    set.device = "vd0000000001";  // a whole serial, letter case aside
    const ServiceReply changed = service.Handle(set);
    ASSERT_EQ(changed.error, ServiceError::None) << changed.message;
    EXPECT_EQ(changed.outcome.code, OutcomeCode::Done);
    EXPECT_TRUE(changed.outcome.changed);
    emulated::Block expected = original;
    expected[kLun0Byte] = kLunTypeFixedDisk;
    EXPECT_EQ(machine.Drive().configBlock, expected);

    const ServiceReply history = service.Handle(Asking(ServiceMethod::History));
    ASSERT_EQ(history.history.size(), 1u);
    EXPECT_EQ(history.history[0].command, "set");
    EXPECT_EQ(history.history[0].tool, "vardel-service test");

    ServiceRequest dryUndo = Asking(ServiceMethod::Undo);
    dryUndo.dryRun = true;
    const ServiceReply preview = service.Handle(dryUndo);
    EXPECT_EQ(preview.outcome.code, OutcomeCode::Done);
    EXPECT_TRUE(preview.blockRead);
    EXPECT_EQ(preview.asRead[kLun0Byte], kLunTypeFixedDisk);
    EXPECT_EQ(machine.Drive().configBlock, expected);

    const ServiceReply undone = service.Handle(Asking(ServiceMethod::Undo, "E"));
    ASSERT_TRUE(undone.hasUndone);
    EXPECT_EQ(undone.undone.command, "set");
    EXPECT_EQ(undone.outcome.code, OutcomeCode::Done);
    EXPECT_EQ(machine.Drive().configBlock, original);
}

TEST_F(DriveServiceTest, DryRunsWriteNothing) {
    ServiceRequest set = SetRequest(1, kLunTypeRemovable);
    set.dryRun = true;
    ServiceRequest write = Asking(ServiceMethod::Write);
    write.lun0Text = "A1";
    write.dryRun = true;
    for (const ServiceRequest& dry : {set, write}) {
        const ServiceReply reply = service.Handle(dry);
        EXPECT_EQ(reply.outcome.code, OutcomeCode::Done);
        EXPECT_TRUE(reply.outcome.writeSkipped);
    }
    EXPECT_EQ(Writes(machine.platform), 0);
    EXPECT_FALSE(fs::exists(folder.Path() + "/journal/VD0000000001.json"));
}

TEST_F(DriveServiceTest, BackupComesBackAsTheDocumentAndRestoresTheBlock) {
    const emulated::Block original = machine.Drive().configBlock;
    const ServiceReply backup = service.Handle(Asking(ServiceMethod::Backup));
    ASSERT_EQ(backup.outcome.code, OutcomeCode::Done);
    frontend::RestoreSource source;
    std::string problem;
    ASSERT_TRUE(frontend::ParseBackupDocument(backup.document, source, problem)) << problem;
    EXPECT_EQ(source.serial, "VD0000000001");
    // Only the document went back to the caller: the service wrote no file beside its journal.
    EXPECT_FALSE(fs::exists(folder.Path() + "/journal"));

    ASSERT_EQ(service.Handle(SetRequest(1, kLunTypeRemovable)).outcome.code, OutcomeCode::Done);
    ServiceRequest restore = Asking(ServiceMethod::Restore);
    restore.document = backup.document;
    const ServiceReply restored = service.Handle(restore);
    EXPECT_EQ(restored.outcome.code, OutcomeCode::Done);
    EXPECT_TRUE(restored.blockRead);
    EXPECT_EQ(restored.asRead[kLun1Byte], kLunTypeRemovable);
    EXPECT_EQ(machine.Drive().configBlock, original);
}

TEST(DriveServiceOnTwoDrives, RefusesTheBackupOfAnotherDrive) {
    emulated::EmulatedPlatform platform;
    const int first = platform.AddDrive(emulated::StandardDrive());
    emulated::Drive other = emulated::StandardDrive();
    emulated::SetSerial(other, "VD0000000002");
    const int second = platform.AddDrive(other);
    platform.AttachVolume('E', first, 0);
    platform.AttachVolume('F', first, 1);
    platform.AttachVolume('G', second, 0);
    platform.AttachVolume('H', second, 1);
    JournalFolder folder;
    DriveService service(platform, SetupIn(folder.Path()));

    const ServiceReply backup = service.Handle(Asking(ServiceMethod::Backup, "VD0000000001"));
    ASSERT_EQ(backup.outcome.code, OutcomeCode::Done);
    ServiceRequest restore = Asking(ServiceMethod::Restore, "G");
    restore.document = backup.document;
    const ServiceReply refused = service.Handle(restore);
    EXPECT_EQ(refused.outcome.code, OutcomeCode::WrongDevice);
    EXPECT_EQ(Writes(platform), 0);

    // Without --device the service, like every front end, works only with a single drive.
    EXPECT_EQ(service.Handle(SetRequest(0, kLunTypeFixedDisk)).outcome.code,
              OutcomeCode::SeveralDrives);
    EXPECT_EQ(Writes(platform), 0);
}

TEST_F(DriveServiceTest, CallsInParallelChangeTheDriveOneAtATime) {
    // Each caller flips a row; every call waits its turn (none ends Busy), and every change
    // must read what the one before it wrote.
    constexpr int kCallers = 6;
    std::vector<OutcomeCode> ended(kCallers, OutcomeCode::UnknownError);
    std::vector<std::thread> callers;
    for (int i = 0; i < kCallers; ++i) {
        callers.emplace_back([this, i, &ended] {
            const std::uint32_t type = i % 4 < 2 ? kLunTypeRemovable : kLunTypeFixedDisk;
            ended[static_cast<std::size_t>(i)] =
                service.Handle(SetRequest(static_cast<std::uint32_t>(i % 2), type)).outcome.code;
        });
    }
    for (std::thread& caller : callers) caller.join();
    EXPECT_EQ(ended, std::vector<OutcomeCode>(kCallers, OutcomeCode::Done));

    const ServiceReply history = service.Handle(Asking(ServiceMethod::History));
    ASSERT_FALSE(history.history.empty());
    for (std::size_t i = 1; i < history.history.size(); ++i) {
        EXPECT_EQ(std::memcmp(history.history[i].asRead, history.history[i - 1].written,
                              kVendorWriteLength),
                  0)
            << "change " << i << " did not start from what the one before wrote";
    }
    EXPECT_EQ(std::memcmp(history.history.back().written, machine.Drive().configBlock.data(),
                          kVendorWriteLength),
              0);
}

TEST(DriveServiceChanges, OnlyWritesThatDoNotRunDryNeedTheChangeAuthorization) {
    struct Case {
        ServiceMethod method;
        bool dryRun;
        bool changes;
    } const cases[] = {
        {ServiceMethod::List, false, false},   {ServiceMethod::Status, false, false},
        {ServiceMethod::Backup, false, false}, {ServiceMethod::History, false, false},
        {ServiceMethod::Set, false, true},     {ServiceMethod::Set, true, false},
        {ServiceMethod::Write, false, true},   {ServiceMethod::Restore, false, true},
        {ServiceMethod::Undo, false, true},    {ServiceMethod::Undo, true, false},
    };
    for (const Case& c : cases) {
        ServiceRequest request = Asking(c.method);
        request.dryRun = c.dryRun;
        EXPECT_EQ(DriveService::Changes(request), c.changes)
            << static_cast<int>(c.method) << (c.dryRun ? " dry" : "");
    }
}

}  // namespace
}  // namespace vardel::service
