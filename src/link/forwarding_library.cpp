#include "forwarding_library.h"

namespace hideaway {

using Operation = LibraryCall::Operation;

std::int16_t ForwardingLibrary::InitGBPMode(std::uint8_t port) {
    return around({Operation::InitGBPMode, port}, [&] { return m_library.InitGBPMode(port); });
}

std::int16_t ForwardingLibrary::EndGBPMode() {
    return around({Operation::EndGBPMode}, [&] { return m_library.EndGBPMode(); });
}

std::int16_t ForwardingLibrary::ClearNVMFile(std::uint8_t fileGroup, std::uint8_t fileNumber) {
    return around({Operation::ClearNVMFile, 0, fileGroup, fileNumber},
                  [&] { return m_library.ClearNVMFile(fileGroup, fileNumber); });
}

std::int16_t ForwardingLibrary::WriteNVMFile(std::uint8_t fileGroup, std::uint8_t fileNumber,
                                             std::uint8_t* buffer, std::int32_t length) {
    return around({Operation::WriteNVMFile, 0, fileGroup, fileNumber, length},
                  [&] { return m_library.WriteNVMFile(fileGroup, fileNumber, buffer, length); });
}

std::int16_t ForwardingLibrary::GetNVMFileSize(std::uint8_t fileGroup, std::uint8_t fileNumber) {
    return around({Operation::GetNVMFileSize, 0, fileGroup, fileNumber},
                  [&] { return m_library.GetNVMFileSize(fileGroup, fileNumber); });
}

std::int16_t ForwardingLibrary::ReadNVMFile(std::uint8_t fileGroup, std::uint8_t fileNumber,
                                            std::uint8_t* buffer, std::int32_t maxLength) {
    return around({Operation::ReadNVMFile, 0, fileGroup, fileNumber, maxLength},
                  [&] { return m_library.ReadNVMFile(fileGroup, fileNumber, buffer, maxLength); });
}

}  // namespace hideaway
