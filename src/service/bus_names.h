#pragma once
// The service's names on the bus and in polkit (res/linux/dbus/org.vardel.Drives1.xml).

namespace vardel::service {

constexpr char kBusName[] = "org.vardel.Drives1";
constexpr char kObjectPath[] = "/org/vardel/Drives1";
constexpr char kInterface[] = "org.vardel.Drives1";

constexpr char kErrorInvalidArgument[] = "org.vardel.Drives1.Error.InvalidArgument";
constexpr char kErrorUnknownDrive[] = "org.vardel.Drives1.Error.UnknownDrive";
constexpr char kErrorAmbiguousDrive[] = "org.vardel.Drives1.Error.AmbiguousDrive";
constexpr char kErrorNoJournal[] = "org.vardel.Drives1.Error.NoJournal";
constexpr char kErrorNothingToUndo[] = "org.vardel.Drives1.Error.NothingToUndo";
constexpr char kErrorNotAuthorized[] = "org.vardel.Drives1.Error.NotAuthorized";
constexpr char kErrorAuthenticationRequired[] = "org.vardel.Drives1.Error.AuthenticationRequired";
constexpr char kErrorTooManyCalls[] = "org.vardel.Drives1.Error.TooManyCalls";
constexpr char kErrorFailed[] = "org.vardel.Drives1.Error.Failed";

// Reading the drives (list, status, backup, history, and every dry run); changing them (set,
// write, restore, undo).
constexpr char kActionRead[] = "org.vardel.drives.read";
constexpr char kActionChange[] = "org.vardel.drives.change";

}  // namespace vardel::service
