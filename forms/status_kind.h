#pragma once
// How a report reaches the user: a message box of that kind (the values are MessageKind's),
// or the status line only.

namespace trimlet {

enum class StatusKind { skWarning = 0, skError = 1, skInformation = 2, skConfirmation = 3, statusOnly = 4 };
// The kinds by their short names, as the tool windows and the tests give them.
inline constexpr StatusKind skWarning = StatusKind::skWarning;
inline constexpr StatusKind skError = StatusKind::skError;
inline constexpr StatusKind skInformation = StatusKind::skInformation;
inline constexpr StatusKind skConfirmation = StatusKind::skConfirmation;
inline constexpr StatusKind statusOnly = StatusKind::statusOnly;

}  // namespace trimlet
