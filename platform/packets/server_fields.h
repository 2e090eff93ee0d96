// The column a server writes for each of its field types: type, WIDTH,
// DECIMALS, SUBTYPE, attribute bits and PROVFLAGS, as data packets describe
// a dataset's fields.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/packets/packet.h"

namespace rvz::packets {

enum class ServerFieldType {
  String,
  WideString,
  Integer,
  SmallInt,
  AutoInc,
  Float,
  BCD,
  Boolean,
  Date,
  DateTime,
  Memo,
  Blob,
  Currency
};

// Provider flags.
inline constexpr uint8_t kPfInUpdate = 1;
inline constexpr uint8_t kPfInWhere = 2;
inline constexpr uint8_t kPfInKey = 4;
inline constexpr uint8_t kPfHidden = 8;
inline constexpr uint8_t kPfDefault = kPfInUpdate | kPfInWhere;

struct ServerField {
  std::string name;  // UTF-8
  ServerFieldType type = ServerFieldType::Integer;
  // Strings: the length in characters; BCD: the scale; memo and blob: the
  // declared size (0 for none).
  int32_t size = 0;
  int32_t precision = 0;  // BCD: total digits, 0 when not declared
  uint8_t providerFlags = kPfDefault;
  bool readOnly = false;
  bool required = false;
  bool fixed = false;  // narrow strings: fixed-length (SUBTYPE FixedChar)
};

// "String", "WideString", "Integer" ... as messages name them.
std::string_view serverFieldTypeName(ServerFieldType t);

// The column describing the field: string WIDTH = size bytes, wide string
// WIDTH = 2 x size, BCD WIDTH = precision (32 when 0) and DECIMALS = scale
// when not 0, memo/blob WIDTH = size when not 0; read-only bit for read-only
// fields, required bit for required fields that are not auto-increment,
// hidden and read-only bits for hidden ones; PROVFLAGS when the flags differ
// from {in update, in where}. Throws PacketError for a name longer than 31
// characters.
Column serverColumn(const ServerField& f);

}  // namespace rvz::packets
