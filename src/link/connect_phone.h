#pragma once

#include <cstdint>

#include <QString>

namespace hideaway {

class GbpLibrary;
class LinkView;

inline const QString kInitializingCaption = QStringLiteral("Initializing GBP Mode...");
inline const QString kConnectedCaption =
    QStringLiteral("Hideaway100K V1.1 for Sony CMD-J7/70 by Corvane");

/// Opens GBP mode on the port chosen in the window and reports each step in the status fields.
/// Returns 0 when the link is open and -1 when it is not (the failure is already reported then).
/// Never ends GBP mode itself; errors from loading the library pass to the caller. initResult,
/// when given, receives what InitGBPMode returned.
std::int16_t ConnectPhone(LinkView& view, GbpLibrary& library, std::int16_t* initResult = nullptr);

/// The port that ConnectPhone asks for: 1, unless one of Com2 to Com5 is selected.
std::uint8_t selectedPort(const LinkView& view);

}  // namespace hideaway
