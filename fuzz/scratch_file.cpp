#include "scratch_file.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace vardel::fuzz {

std::string WriteScratchFile(const char* name, const std::uint8_t* data, std::size_t size) {
    const char* folder = std::getenv("TMPDIR");
    const std::string path = std::string(folder != nullptr ? folder : "/tmp") + "/vardel-fuzz-" +
                             std::to_string(getpid()) + "-" + name;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0) {
        std::perror(path.c_str());
        std::abort();
    }
    return path;
}

}  // namespace vardel::fuzz
