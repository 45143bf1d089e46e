// The record of one sent batch, handed to the mail layer to be filed.
#include "Emapi/unEmail.h"

namespace quorvel {

TkaEmail::TkaEmail() = default;
TkaEmail::~TkaEmail() = default;

} // namespace quorvel
