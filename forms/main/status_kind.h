#pragma once
// How a report reaches the user: a message box of that kind (the values are MessageKind's),
// or the status line only.

namespace trimlet {

enum class StatusKind { skWarning = 0, skError = 1, skInformation = 2, skConfirmation = 3, statusOnly = 4 };

}  // namespace trimlet
