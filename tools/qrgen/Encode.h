#pragma once
// The step every symbol goes through: payload bytes to a symbol, with the
// command line's encoder settings.
#include <optional>
#include <string>
#include <string_view>

#include "Options.h"
#include "clsQRCode.h"

std::optional<QRSymbol> EncodePayload(clsQRCode& encoder, std::string_view payload, const EncodeSettings& settings);

// "the data does not fit version V at level L", the refusal of EncodePayload.
std::string DoesNotFit(const EncodeSettings& settings);
