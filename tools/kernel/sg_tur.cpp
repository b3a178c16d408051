// Sends TEST UNIT READY to each sg node given until it answers GOOD (at most three tries), so that
// a unit attention the target left on a LUN (such as 6/3F/0E when a LUN was added beside it) is
// taken before a test starts. Exit 0 when every node answered GOOD.

#include <cstdio>

#include "kernel/sg_command.h"

int main(int argc, char** argv) {
    using namespace vardel::kernel;
    int failed = 0;
    for (int i = 1; i < argc; ++i) {
        constexpr int kTries = 3;
        const std::uint8_t cdb[6] = {0x00, 0, 0, 0, 0, 0};
        SgResult result;
        for (int attempt = 0; attempt < kTries; ++attempt) {
            result = SendCommand(argv[i], cdb, sizeof cdb, Direction::None, nullptr, 0);
            std::printf("%s TEST UNIT READY %s\n", argv[i], Describe(result).c_str());
            if (result.error == 0 && result.status == 0) break;
        }
        if (result.error != 0 || result.status != 0) ++failed;
    }
    return failed == 0 ? 0 : 1;
}
