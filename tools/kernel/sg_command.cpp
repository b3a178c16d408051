#include "kernel/sg_command.h"

#include <fcntl.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace vardel::kernel {

SgResult SendCommand(const std::string& path, const std::uint8_t* cdb, std::uint8_t cdbLength,
                     Direction direction, std::uint8_t* data, std::size_t dataLength) {
    SgResult result;
    const int fd = open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        result.error = errno;
        return result;
    }
    sg_io_hdr_t header = {};
    header.interface_id = 'S';
    header.cmdp = const_cast<std::uint8_t*>(cdb);
    header.cmd_len = cdbLength;
    header.dxfer_direction = direction == Direction::In    ? SG_DXFER_FROM_DEV
                             : direction == Direction::Out ? SG_DXFER_TO_DEV
                                                           : SG_DXFER_NONE;
    header.dxferp = data;
    header.dxfer_len = static_cast<unsigned int>(dataLength);
    header.sbp = result.sense;
    header.mx_sb_len = sizeof result.sense;
    header.timeout = 10000;
    int outcome;
    do {
        outcome = ioctl(fd, SG_IO, &header);
    } while (outcome < 0 && errno == EINTR);
    if (outcome < 0) result.error = errno;
    close(fd);
    result.status = header.status;
    result.hostStatus = header.host_status;
    result.driverStatus = header.driver_status;
    result.residue = header.resid;
    result.senseLength = header.sb_len_wr;
    return result;
}

std::string Describe(const SgResult& result) {
    char text[160];
    if (result.error != 0) {
        std::snprintf(text, sizeof text, "error=%s", std::strerror(result.error));
        return text;
    }
    std::snprintf(text, sizeof text, "status=%u host=%u driver=0x%02x resid=%d", result.status,
                  result.hostStatus, result.driverStatus, result.residue);
    std::string description = text;
    if (result.senseLength >= 14) {
        std::snprintf(text, sizeof text, " sense=%x/%02x/%02x", result.sense[2] & 0x0F,
                      result.sense[12], result.sense[13]);
        description += text;
    }
    return description;
}

}  // namespace vardel::kernel
