// Error packets: the result of applying a delta when records failed. Six
// error columns come first (record number, response, message, context,
// category, error code), then the delta's columns; the builder keeps one
// record per failed delta record.
#pragma once

#include <cstdint>
#include <map>
#include <string_view>
#include <vector>

#include "platform/packets/materialized.h"

namespace rvz::packets {

inline constexpr std::string_view kErrorRecordNo = "ERROR_RECORDNO";    // i4
inline constexpr std::string_view kErrorResponse = "ERROR_RESPONSE";    // i4: 1 skip, 2 abort
inline constexpr std::string_view kErrorMessage = "ERROR_MESSAGE";      // string.uni
inline constexpr std::string_view kErrorContext = "ERROR_CONTEXT";      // string.uni
inline constexpr std::string_view kErrorCategory = "ERROR_CATEGORY";    // i4
inline constexpr std::string_view kErrorErrorCode = "ERROR_ERRORCODE";  // i4
inline constexpr size_t kErrorColumnCount = 6;

inline constexpr int32_t kResponseSkip = 1;
inline constexpr int32_t kResponseAbort = 2;

struct ErrorRecord {
  int32_t recordNo = 0;
  int32_t response = kResponseSkip;
  WString message;
  WString context;
  int32_t category = 1;
  int32_t errorCode = 1;
  std::vector<Cell> values;  // one per delta column; null unless set
  friend bool operator==(const ErrorRecord&, const ErrorRecord&) = default;
};

// The six error columns.
std::vector<Column> errorColumns();

class ErrorPacketBuilder {
 public:
  // The delta's columns, as they follow the error columns.
  explicit ErrorPacketBuilder(std::vector<Column> deltaColumns);

  // The record for this ERROR_RECORDNO: the existing one, or a new one (at
  // the end, every delta value null).
  ErrorRecord& record(int32_t recordNo);
  bool empty() const { return records_.empty(); }
  size_t size() const { return records_.size(); }
  const std::vector<ErrorRecord>& records() const { return records_; }
  // Error columns followed by the delta's columns.
  const std::vector<Column>& columns() const { return columns_; }

  MaterializedPacket packet() const;
  std::vector<uint8_t> encode(Encoding e = Encoding::Binary) const;

 private:
  std::vector<Column> columns_;
  size_t deltaColumns_;
  std::vector<ErrorRecord> records_;
  std::map<int32_t, size_t> byNumber_;
};

// Reads an error packet back; PacketError when its first columns are not
// the six error columns or an error value is missing.
std::vector<ErrorRecord> readErrorPacket(const Packet& p);

}  // namespace rvz::packets
