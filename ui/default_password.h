// The default-password check: a 20-byte verifier of the last confirmed password is kept in
// the settings ("HashKey"); a password that does not match it must be typed again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace platform {
class SettingsKey;
}

namespace ui {

class TEdit;

constexpr std::size_t VerifierSize = 20;

// verifier = SHA-1(P || SHA-1(P)) over the bytes of the whole password P, whatever its
// length. The work buffer is wiped afterwards.
void HashPassword(std::string_view password, uint8_t verifier[VerifierSize]);

enum class CheckOutcome { GoOn, Stop };

// Compares the text of `ebPassword` with the default password and asks for confirmation
// where needed (TConfirmDefault, TConfirmPassword). Stop: the user cancelled (ebPassword is
// then emptied) or "HashKey" could not be read (reported in a message box).
CheckOutcome DefaultPasswordCheck(platform::SettingsKey &key, TEdit &ebPassword);

} // namespace ui
