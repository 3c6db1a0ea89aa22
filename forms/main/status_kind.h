#pragma once
// How a report reaches the user: a message box of that kind, or the status line only.

#include "platform/desktop.h"

namespace trimlet {

enum class StatusKind { skWarning, skError, skInformation, skConfirmation, statusOnly };

// The box a report opens; nothing for the status line only.
constexpr std::optional<MessageKind> messageKindOf(StatusKind kind)
{
    switch (kind) {
    case StatusKind::skWarning: return MessageKind::Warning;
    case StatusKind::skError: return MessageKind::Error;
    case StatusKind::skInformation: return MessageKind::Information;
    case StatusKind::skConfirmation: return MessageKind::Confirmation;
    case StatusKind::statusOnly: break;
    }
    return std::nullopt;
}

}  // namespace trimlet
