// ADODB.Command: a statement whose values are bound to `?` markers instead
// of written into its text.
//
// Typed use:
//   auto cmd = std::make_shared<Command>();
//   cmd->PutActiveConnection(Variant(con));
//   cmd->PutCommandText("select * from FD_Doc where code = ? and dDate >= ?");
//   cmd->Parameters()->Append(cmd->CreateParameter("code", kAdVarChar, kAdParamInput, 20,
//                                                  Variant("0000000123")));
//   cmd->Parameters()->Append(cmd->CreateParameter("from", kAdDate, kAdParamInput, 0, day));
//   auto rs = cmd->Execute();
//   rs = cmd->Execute(nullptr, {Variant("0000000124"), day});  // other values, same command
//
// The text is T-SQL, rewritten for the engine as Connection::Execute
// rewrites it (dialect.h); each `?` outside string literals, quoted and
// bracketed names and comments is a marker, numbered in order before the
// rewrite and written as the engine's placeholder after it
// (parameter_markers.h). The values never enter the text: they go to the
// engine as bound parameters, each converted to its parameter's Type
// (parameter_types.h). The statement trace shows the text with its markers.
// A Command belongs to the thread that created it, and must be held by a
// std::shared_ptr (its Parameters collection refers back to it).
//
// Errors (HRESULT 0x800A0000 + number unless written in full):
//   3001  a CommandType other than adCmdText, adCmdTable, adCmdTableDirect
//         or adCmdUnknown; more values than the text has markers;
//         ActiveConnection set to something that is not a Connection;
//   3708  a parameter whose Type or Direction cannot be used;
//   3709  Execute without an open connection;
//   0x80040E0C  Execute without CommandText;
//   0x80040E10  fewer values than the text has markers;
//   0x80040E57  a text or binary value longer than its parameter's Size;
//   6, 13  a value its parameter's Type cannot hold (Overflow, Type mismatch);
//   E_FAIL (0x80004005)  the engine's errors, and a text of more than one
//         statement when values are bound.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/adodb/parameters.h"
#include "platform/adodb/typed_translation.h"
#include "platform/dialect/dialect.h"
#include "platform/drivers/driver.h"
#include "runtime/dispatch.h"

namespace q6 {

class Connection;
class Recordset;

// CommandTypeEnum.
enum AdoCommandType : int32_t {
  kAdCmdUnspecified = -1,
  kAdCmdText = 1,
  kAdCmdTable = 2,
  kAdCmdStoredProc = 4,
  kAdCmdUnknown = 8,
  kAdCmdTableDirect = 512,
};

class Command : public Dispatchable {
 public:
  static const Guid kClsid;
  static const Guid kIid;

  Command() = default;
  static const InterfaceInfo& Info();
  const InterfaceInfo& Interface() const override { return Info(); }

  // The connection the command runs on; nullptr when none is set.
  std::shared_ptr<Connection> ActiveConnection() const { return connection_; }
  // `connection`: a Connection object, a data-source text (a connection of
  // the command's own is opened now), or Nothing/Empty to let go of it.
  // Raises 3001 for any other value, E_FAIL when the text cannot be opened.
  void PutActiveConnection(const Variant& connection);

  const std::string& CommandText() const { return text_; }
  void PutCommandText(std::string text);
  // adCmdUnknown until set; adCmdUnknown and adCmdText run the text as a
  // statement, adCmdTable and adCmdTableDirect read the table it names.
  int32_t CommandType() const { return type_; }
  void PutCommandType(int32_t type);
  // True: the command keeps the statement as translated for its engine from
  // one Execute to the next, until its text, type or connection changes.
  // The engine keeps the statement prepared on its connection either way.
  bool Prepared() const { return prepared_; }
  void PutPrepared(bool prepared) { prepared_ = prepared; }

  // The command's parameters, one collection per command, always the same
  // object. REQUIRES: the command is held by a std::shared_ptr.
  std::shared_ptr<q6::Parameters> Parameters();
  // A new parameter (not appended).
  std::shared_ptr<Parameter> CreateParameter(const std::string& name = "", int32_t type = kAdEmpty,
                                             int32_t direction = kAdParamInput, int32_t size = 0,
                                             const Variant& value = Variant());

  // Runs the command. The values bound are `values` when given (a value per
  // marker; with parameters appended, value i is converted to parameter
  // i's Type, and the parameters keep their own values), else the
  // parameters' values. A statement that returns rows gives an open,
  // read-only Recordset holding all of them; any other statement a closed
  // Recordset, or nullptr with adExecuteNoRecords in `options`.
  // `records_affected`, when given, receives the rows changed (Long; -1 for
  // a statement that returns rows). Raises as listed above.
  std::shared_ptr<Recordset> Execute(Variant* records_affected = nullptr,
                                     const std::vector<Variant>* values = nullptr,
                                     int32_t options = -1);

  // For Parameters::Refresh: the data types of the markers of the text as
  // the engine reads them. Raises as Execute before anything runs.
  std::vector<int32_t> MarkerTypes();

 private:
  // The statement for the engine: translated, markers numbered and placed.
  struct PreparedText {
    Engine engine = Engine::SQLite;
    const void* connection = nullptr;  // whose statement it is
    std::string built;                 // the text as given (with a table's select)
    KeptTranslation statement;         // native text with placeholders, no values
    int markers = 0;                   // -1: the text could not be taken apart
  };
  // The statement of the current text on the current connection (kept when
  // Prepared is true). Raises 3709, 0x80040E0C, 3001.
  PreparedText& Prepare();
  // The values to bind, one per marker, checked against the count.
  // Fills `out` (its buffer reused).
  void Values(const std::vector<Variant>* given, int markers, std::vector<Variant>* out) const;

  Variant DispActiveConnection();
  void DispPutActiveConnection(Variant& v) { PutActiveConnection(v); }
  std::string DispCommandText() { return text_; }
  void DispPutCommandText(std::string& t) { PutCommandText(t); }
  int32_t DispCommandType() { return type_; }
  void DispPutCommandType(int32_t& t) { PutCommandType(t); }
  bool DispPrepared() { return prepared_; }
  void DispPutPrepared(bool& p) { prepared_ = p; }
  std::shared_ptr<q6::Parameters> DispParameters() { return Parameters(); }
  std::shared_ptr<Parameter> DispCreateParameter(std::string& Name, int32_t Type, int32_t Direction,
                                                 int32_t Size, Variant& Value) {
    return CreateParameter(Name, Type, Direction, Size, Value);
  }
  std::shared_ptr<Recordset> DispExecute(Variant& RecordsAffected, Variant& Parameters,
                                         int32_t Options);

  std::shared_ptr<Connection> connection_;
  std::string text_;
  int32_t type_ = kAdCmdUnknown;
  bool prepared_ = false;
  std::shared_ptr<q6::Parameters> parameters_;  // made at the first read
  std::unique_ptr<PreparedText> kept_;          // the last statement prepared
};

}  // namespace q6
