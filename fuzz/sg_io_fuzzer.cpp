// The SG_IO translation in both directions: arbitrary records into PrepareSgIo, then whatever
// the kernel may write into the completed header (status, host and driver status, residue,
// sense length) and its buffers into CompleteSgIo. A refused record leaves the output as it was;
// an accepted one never points the kernel outside the call's own buffers; the completion writes
// only the header, the sense area and the data area of the record, and data only after GOOD.

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "fuzz_check.h"
#include "fuzz_input.h"
#include "platform/linux/sg_io_translation.h"
#include "platform/platform_constants.h"
#include "record_shape.h"

namespace {

using vardel::SgIoCall;

template <typename Header>
void CheckHeaderEcho(const std::vector<std::uint8_t>& before, const std::vector<std::uint8_t>& out,
                     const sg_io_hdr_t& completed, std::uint32_t transferLength) {
    Header was;
    Header now;
    std::memcpy(&was, before.data(), sizeof was);
    std::memcpy(&now, out.data(), sizeof now);
    VARDEL_FUZZ_CHECK(now.ScsiStatus == completed.status);
    VARDEL_FUZZ_CHECK(now.DataTransferLength <= transferLength);
    VARDEL_FUZZ_CHECK(now.SenseInfoLength <= was.SenseInfoLength);
    // Everything else in the header goes back as the caller sent it.
    now.ScsiStatus = was.ScsiStatus;
    now.DataTransferLength = was.DataTransferLength;
    now.SenseInfoLength = was.SenseInfoLength;
    VARDEL_FUZZ_CHECK(std::memcmp(&now, &was, sizeof now) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vardel::fuzz::FuzzInput input(data, size);
    vardel::fuzz::FuzzRecord record =
        ShapeRecord(input, vardel::fuzz::PointerCheck::NullOnly, vardel::kBounceBufferSize);
    std::vector<std::uint8_t>& in = record.bytes;
    const bool sameBuffer = input.Flag();
    std::vector<std::uint8_t> separate(sameBuffer ? 0 : input.U16() % 2049);
    input.Bytes(separate.data(), separate.size());
    std::vector<std::uint8_t>& out = sameBuffer ? in : separate;
    const std::vector<std::uint8_t> outBefore = out;
    std::vector<std::uint8_t> dataBefore;
    if (record.dataBuffer) {
        dataBefore.assign(record.dataBuffer->data(),
                          record.dataBuffer->data() + record.dataBuffer->size());
    }

    auto call = std::make_unique<SgIoCall>();
    const int prepared =
        vardel::PrepareSgIo(record.controlCode, in.data(), static_cast<std::uint32_t>(in.size()),
                            out.data(), static_cast<std::uint32_t>(out.size()), *call);
    VARDEL_FUZZ_CHECK(prepared == 0 || prepared == EINVAL);
    VARDEL_FUZZ_CHECK(out == outBefore);
    if (prepared != 0) return 0;

    // The kernel only ever sees the call's own buffers.
    sg_io_hdr_t& header = call->header;
    VARDEL_FUZZ_CHECK(header.interface_id == 'S');
    VARDEL_FUZZ_CHECK(header.cmdp == call->cdb && header.cmd_len >= 1 &&
                      header.cmd_len <= sizeof call->cdb);
    VARDEL_FUZZ_CHECK(header.sbp == call->sense && header.mx_sb_len <= sizeof call->sense);
    VARDEL_FUZZ_CHECK(header.dxfer_len == record.transferLength);
    if (header.dxfer_len > 0) {
        VARDEL_FUZZ_CHECK(header.dxferp == call->data && header.dxfer_len <= sizeof call->data);
    }
    VARDEL_FUZZ_CHECK(header.dxfer_direction == SG_DXFER_NONE ||
                      header.dxfer_direction == SG_DXFER_TO_DEV ||
                      header.dxfer_direction == SG_DXFER_FROM_DEV);

    // What the kernel writes back: the fields it owns and the buffers it was handed.
    header.status = input.Byte();
    header.masked_status = static_cast<unsigned char>(header.status >> 1);
    header.host_status = input.Below(4) == 0 ? input.U16() : 0;
    header.driver_status = input.Below(4) == 0 ? input.U16() : 0;
    header.resid = static_cast<int>(input.U32());
    header.sb_len_wr = input.Byte();
    input.Bytes(call->sense, sizeof call->sense);
    input.Bytes(call->data, std::min<std::size_t>(header.dxfer_len, input.Remaining()));

    std::uint32_t returned = 0xDEADBEEF;
    const int completed = vardel::CompleteSgIo(*call, out.data(), returned);
    VARDEL_FUZZ_CHECK(completed == 0 || completed == EIO);
    if (completed != 0) {
        VARDEL_FUZZ_CHECK(out == outBefore && returned == 0xDEADBEEF);
        return 0;
    }
    VARDEL_FUZZ_CHECK(returned <= out.size());

    const bool direct = record.controlCode == vardel::kIoctlScsiPassThroughDirect;
    const std::vector<std::uint8_t>& sentBytes = sameBuffer ? outBefore : in;
    if (direct) {
        CheckHeaderEcho<vardel::ScsiPassThroughDirect>(sentBytes, out, header,
                                                       record.transferLength);
    } else {
        CheckHeaderEcho<vardel::ScsiPassThrough>(sentBytes, out, header, record.transferLength);
    }
    // Data reaches the caller only from a GOOD data-in command.
    const bool dataCame = header.dxfer_direction == SG_DXFER_FROM_DEV && header.status == 0;
    if (record.dataBuffer && !dataCame) {
        VARDEL_FUZZ_CHECK(
            std::equal(dataBefore.begin(), dataBefore.end(), record.dataBuffer->data()));
    }
    if (!direct && !dataCame) {
        // The record's bytes past the header and the sense area are as they were.
        vardel::ScsiPassThrough sent;
        std::memcpy(&sent, sentBytes.data(), sizeof sent);
        for (std::size_t i = sizeof sent; i < out.size(); ++i) {
            const bool sense = i >= sent.SenseInfoOffset &&
                               i < std::size_t{sent.SenseInfoOffset} + sent.SenseInfoLength;
            if (!sense) VARDEL_FUZZ_CHECK(out[i] == outBefore[i]);
        }
    }
    return 0;
}
