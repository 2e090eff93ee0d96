// The one error type of the database access component, the error numbers it
// raises itself and the fixed texts callers may rely on.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "platform/remoting/error_info.h"

namespace rvz::data {

// Numbers of the errors the component raises itself. They follow the
// numbering of the Windows data components so that a client sees the numbers
// it knows; errors of the database engine carry the engine's own number
// (SQLite: its extended result code).
inline constexpr int32_t kErrArgument = 3001;             // bad argument (a filter that does not parse)
inline constexpr int32_t kErrObjectOpen = 3705;           // operation not allowed on an open object
inline constexpr int32_t kErrProviderNotFound = 3706;     // unknown or unavailable provider
inline constexpr int32_t kErrOperationCancelled = 3712;   // a before-execute handler cancelled the command
inline constexpr int32_t kErrFileNotFound = 3024;         // Jet: could not find file
inline constexpr int32_t kErrNoTransaction = 3034;        // Jet: commit or rollback without a transaction
inline constexpr int32_t kErrFileInUse = 3045;            // Jet: file already in use
inline constexpr int32_t kErrNotConfirmed = 3043;         // Jet: disk error; here a commit kept but not confirmed on disk
inline constexpr int32_t kErrTooFewParameters = 3061;     // Jet: a marker without a value
inline constexpr int32_t kErrCharactersAfterEnd = 3142;   // Jet: text after the end of the statement
inline constexpr int32_t kErrDatabaseExists = 3204;       // Jet: compaction target exists
inline constexpr int32_t kErrUnrecognizedFormat = 3343;   // Jet: not a database file
inline constexpr int32_t kErrBadConnectionString = 3709;  // connection string cannot be used
inline constexpr int32_t kErrValue = 3421;                // a stored value that does not fit its column
inline constexpr int32_t kErrSyntax = 3075;               // Jet: syntax error in a command text
inline constexpr int32_t kErrNullKey = 3058;              // Jet: a Null in a primary key column
inline constexpr int32_t kErrUndefinedFunction = 3085;    // Jet: a function the dialect does not define

// Status of errors raised by the ADO-like layer: MAKE_HRESULT(1, FACILITY_CONTROL, number).
constexpr HRESULT componentHresult(int32_t number) {
  return static_cast<HRESULT>(0x800A0000u | (static_cast<uint32_t>(number) & 0xFFFFu));
}

// Fixed texts.
inline constexpr std::string_view kCancelledText = "Operation has been cancelled by the user.";
inline constexpr std::string_view kObjectOpenText = "Operation is not allowed when the object is open.";
inline constexpr std::string_view kOpenDatasetText = "Cannot perform this operation on an open dataset";
inline constexpr std::string_view kClosedDatasetText = "Cannot perform this operation on a closed dataset";
inline constexpr std::string_view kMissingPropertyText = "Missing %s property";  // %s: SQL
inline constexpr std::string_view kNoResultSetText = "CommandText does not return a result set";
inline constexpr std::string_view kFieldNotFoundText = "Field '%s' not found";
inline constexpr std::string_view kMissingConnectionText = "Missing Connection or ConnectionString";
inline constexpr std::string_view kTooFewParametersText = "No value given for one or more required parameters.";
inline constexpr std::string_view kCharactersAfterEndText = "Characters found after end of SQL statement.";
inline constexpr std::string_view kSyntaxErrorText = "Syntax error in the command text: %s.";
inline constexpr std::string_view kNullKeyText = "Index or primary key cannot contain a Null value.";
inline constexpr std::string_view kTransactionLostText =
    "The database ended the transaction on its own; none of its changes were kept.";

// A message pattern with its placeholders ("%s", "%d") filled in order by
// `args` ("Missing %s property" with "SQL"); a placeholder without an
// argument stays as it is. The one place where message texts get their
// values.
std::string formatMessage(std::string_view pattern, std::initializer_list<std::string_view> args);
inline std::string formatMessage(std::string_view pattern, std::string_view arg) {
  return formatMessage(pattern, {arg});
}

// Every failure of the component. It carries:
//  - the text a client sees (what()), already with "<dataset>: " in front
//    for messages about a dataset;
//  - number(): the database interface's error number, 0 for the dataset
//    layer's own messages (missing SQL, field not found ...), which do not
//    come from the database interface;
//  - hresult(): E_FAIL for errors of the database engine, the component's
//    0x800A.... status for its own numbered errors (cancel, open object,
//    provider, filter), E_UNEXPECTED for the dataset layer's messages.
class DataError : public ComError {
 public:
  DataError(HRESULT hr, int32_t number, const std::string& message) : ComError(hr, message), number_(number) {}

  // An error of the database engine (number: the engine's code).
  static DataError engine(int32_t number, const std::string& message) { return DataError(E_FAIL, number, message); }
  // An error the component numbers itself (kErr... above).
  static DataError component(int32_t number, const std::string& message) {
    return DataError(componentHresult(number), number, message);
  }
  // A message of the dataset layer, with the dataset's name in front.
  static DataError dataset(std::string_view datasetName, std::string_view message);

  int32_t number() const { return number_; }
  bool fromInterface() const { return number_ != 0; }

 private:
  int32_t number_;
};

// The component's cancel error.
DataError cancelledError();

}  // namespace rvz::data
