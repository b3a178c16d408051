#pragma once
// The kernel's TCMU interface, included in one place. linux/uio.h (pulled in by the TCMU header)
// declares `struct iovec` just as glibc does; the kernel's header comes first and glibc's guard is
// set after it, so that a later <fcntl.h> or <sys/uio.h> does not declare the struct a second time.
//
// The header is written for C: its tcmu_hdr_get_op() returns an unsigned value as an enum, which
// C++ only accepts under -fpermissive. The targets that include this file build with that flag
// (see tools/CMakeLists.txt); it only turns that error into a warning, which the compiler keeps
// quiet inside a system header and -Werror still fails anywhere else.

#include <linux/target_core_user.h>

#ifndef __iovec_defined
#define __iovec_defined 1
#endif

#include <cstddef>

namespace vardel::tcmu {

// Where the fields that the handler reads and writes sit. Entries and the mailbox are packed and
// can sit at any 8-byte position of the ring, so they are read through these offsets with memcpy
// rather than through casts.
constexpr std::size_t kMailboxVersionOffset = offsetof(tcmu_mailbox, version);
constexpr std::size_t kMailboxFlagsOffset = offsetof(tcmu_mailbox, flags);
constexpr std::size_t kMailboxRingOffset = offsetof(tcmu_mailbox, cmdr_off);
constexpr std::size_t kMailboxRingSizeOffset = offsetof(tcmu_mailbox, cmdr_size);
constexpr std::size_t kMailboxHeadOffset = offsetof(tcmu_mailbox, cmd_head);
constexpr std::size_t kMailboxTailOffset = offsetof(tcmu_mailbox, cmd_tail);

constexpr std::size_t kEntryLengthOpOffset = offsetof(tcmu_cmd_entry_hdr, len_op);
constexpr std::size_t kEntryIdOffset = offsetof(tcmu_cmd_entry_hdr, cmd_id);
constexpr std::size_t kEntryUserFlagsOffset = offsetof(tcmu_cmd_entry_hdr, uflags);
constexpr std::size_t kEntryHeaderSize = sizeof(tcmu_cmd_entry_hdr);
constexpr std::size_t kRequestIovCountOffset =
    kEntryHeaderSize + offsetof(decltype(tcmu_cmd_entry::req), iov_cnt);
constexpr std::size_t kRequestCdbOffset =
    kEntryHeaderSize + offsetof(decltype(tcmu_cmd_entry::req), cdb_off);
constexpr std::size_t kRequestIovOffset =
    kEntryHeaderSize + offsetof(decltype(tcmu_cmd_entry::req), iov);
constexpr std::size_t kResponseStatusOffset =
    kEntryHeaderSize + offsetof(decltype(tcmu_cmd_entry::rsp), scsi_status);
constexpr std::size_t kResponseReadLengthOffset =
    kEntryHeaderSize + offsetof(decltype(tcmu_cmd_entry::rsp), read_len);
constexpr std::size_t kResponseSenseOffset =
    kEntryHeaderSize + offsetof(decltype(tcmu_cmd_entry::rsp), sense_buffer);
constexpr std::size_t kSenseCapacity = TCMU_SENSE_BUFFERSIZE;
constexpr std::size_t kIovSize = sizeof(struct iovec);
constexpr std::size_t kIovBaseOffset = offsetof(struct iovec, iov_base);
constexpr std::size_t kIovLengthOffset = offsetof(struct iovec, iov_len);
constexpr std::size_t kEntryAlignment = TCMU_OP_ALIGN_SIZE;

static_assert(kMailboxTailOffset == 64, "the tail sits on its own cache line");
static_assert(kEntryHeaderSize == 8, "");
static_assert(kRequestCdbOffset == 24, "");
static_assert(kRequestIovOffset == 48, "");
static_assert(kResponseSenseOffset == 16, "");
static_assert(kIovSize == 16 && kIovLengthOffset == 8, "a 64-bit iovec: base, then length");

}  // namespace vardel::tcmu
