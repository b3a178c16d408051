// vardel-signature NODE: the udev rule's question whether the SCSI generic node NODE belongs to a
// drive of the kind Vardel serves. The kernel keeps only 36 bytes of a USB disk's INQUIRY data,
// which hold the short signature (the product revision, sysfs "rev") but not the long one at bytes
// 36..43, so this asks the drive once more for 44 bytes and judges them by discovery's own rule.
// Prints VARDEL_SIGNATURE=1 for udev to import when the drive carries either signature, nothing
// when it does not; exits 1 when the node cannot be asked. Sends nothing but that INQUIRY.

#include <fcntl.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>

#include "device/scsi_commands.h"
#include "drive/candidate_drive.h"

namespace {

constexpr unsigned char kInquiryCode = 0x12;
constexpr unsigned int kTimeoutMilliseconds = 10000;
constexpr int kUsage = 64;

bool AskInquiry(int descriptor, vardel::InquiryData& data) {
    unsigned char command[6] = {kInquiryCode, 0, 0, 0, vardel::kInquiryLength, 0};
    unsigned char sense[32] = {};
    sg_io_hdr_t request = {};
    request.interface_id = 'S';
    request.dxfer_direction = SG_DXFER_FROM_DEV;
    request.cmd_len = sizeof(command);
    request.cmdp = command;
    request.dxfer_len = vardel::kInquiryLength;
    request.dxferp = data;
    request.mx_sb_len = sizeof(sense);
    request.sbp = sense;
    request.timeout = kTimeoutMilliseconds;
    if (ioctl(descriptor, SG_IO, &request) != 0) return false;
    // Bytes the drive did not send stay zero, which no signature holds.
    return (request.info & SG_INFO_OK_MASK) == SG_INFO_OK;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: vardel-signature /dev/sgN\n");
        return kUsage;
    }
    // Read-only is enough for an INQUIRY; non-blocking, so that a holder of the node never
    // stalls udev.
    const int descriptor = open(argv[1], O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) {
        std::perror(argv[1]);
        return 1;
    }
    vardel::InquiryData data = {};
    const bool answered = AskInquiry(descriptor, data);
    close(descriptor);
    if (!answered) {
        std::fprintf(stderr, "%s: the INQUIRY failed\n", argv[1]);
        return 1;
    }
    if (vardel::CarriesSignature(data)) std::printf("VARDEL_SIGNATURE=1\n");
    return 0;
}
