#pragma once
// The step every symbol goes through: payload bytes to a symbol, with the
// command line's encoder settings.
#include <optional>
#include <string>
#include <string_view>

#include "Options.h"
#include "clsQRCode.h"

std::optional<QRSymbol> EncodePayload(clsQRCode& encoder, std::string_view payload, const EncodeSettings& settings);

// -v is a minimum: the symbol is that version or the smallest larger one that fits.
// "the data does not fit version 40 at level L", the refusal of EncodePayload.
std::string DoesNotFit(const EncodeSettings& settings);
