// A stand-in host that greets as gbp-host does and answers as an empty phone, except that it
// answers ReadNVMFile wrongly, as HIDEAWAY_TEST_MISBEHAVE says: "wrong echo" answers another
// call, "garbage" sends bytes that are no answer at all.
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "wire.h"

using namespace hideaway::bridge;

namespace {

bool readExactly(void* data, std::size_t size) {
    auto* bytes = static_cast<char*>(data);
    while (size > 0) {
        const ssize_t got = read(STDIN_FILENO, bytes, size);
        if (got <= 0) {
            return false;
        }
        bytes += got;
        size -= static_cast<std::size_t>(got);
    }
    return true;
}

bool writeAll(const void* data, std::size_t size) {
    return write(STDOUT_FILENO, data, size) == static_cast<ssize_t>(size);
}

}  // namespace

int main() {
    const char* how = std::getenv("HIDEAWAY_TEST_MISBEHAVE");
    const bool wrongEcho = how != nullptr && std::strcmp(how, "wrong echo") == 0;
    const std::string text = "misbehaving host";
    const HelloHeader header{kProtocolVersion, 0, static_cast<std::uint32_t>(text.size())};
    BridgeHello hello{};
    if (!writeAll(kHelloMagic, sizeof kHelloMagic) || !writeAll(&header, sizeof header) ||
        !writeAll(text.data(), text.size()) || !readExactly(&hello, sizeof hello)) {
        return 1;
    }
    Request request{};
    while (readExactly(&request, sizeof request)) {
        if (request.operation == Operation::WriteNVMFile && request.length > 0) {
            std::vector<char> bytes(static_cast<std::size_t>(request.length));
            readExactly(bytes.data(), bytes.size());
        }
        Answer answer{request.operation, 0};
        if (request.operation == Operation::ReadNVMFile && wrongEcho) {
            answer.operation = Operation::GetNVMFileSize;
        } else if (request.operation == Operation::ReadNVMFile) {
            writeAll("garbage!", 8);
            continue;
        }
        writeAll(&answer, sizeof answer);
    }
    return 0;
}
