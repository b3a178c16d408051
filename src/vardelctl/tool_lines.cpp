#include "vardelctl/tool_lines.h"

#include <ostream>

namespace vardel::cli {

void SayLines(std::ostream& err, const std::string& text) {
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        err << kToolLinePrefix << text.substr(start, end - start) << '\n';
        start = end + 1;
    }
}

}  // namespace vardel::cli
