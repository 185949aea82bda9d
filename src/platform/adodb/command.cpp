// Command: preparing its text for the engine and running it with its
// values bound.
//
// The text goes through the same rewrite as every statement of the data
// layer, with its markers numbered first so that the rewrite carries each
// one to its place (parameter_markers.h); then the markers become the
// engine's placeholders and the values travel beside the text in the
// Translation, which the driver binds. Nothing of a value is ever written
// into the text, so a value that looks like SQL stays a value.
#include "platform/adodb/command.h"

#include <algorithm>

#include "platform/adodb/ado_errors.h"
#include "platform/adodb/connection.h"
#include "platform/adodb/recordset.h"
#include "platform/dialect/parameter_markers.h"
#include "platform/drivers/driver.h"

namespace q6 {
namespace {
constexpr const char* kSource = "ADODB.Command";
}  // namespace

void Command::PutActiveConnection(const Variant& connection) {
  connection_ = Connection::Of(connection, kSource);
  kept_.reset();
}

void Command::PutCommandText(std::string text) {
  text_ = std::move(text);
  kept_.reset();
}

void Command::PutCommandType(int32_t type) {
  switch (type) {
    case kAdCmdText:
    case kAdCmdTable:
    case kAdCmdTableDirect:
    case kAdCmdUnknown:
      break;
    default:
      ThrowAdo(kAdoInvalidArgument, kSource,
               "CommandType " + std::to_string(type) +
                   " is not supported: use adCmdText (1), adCmdTable (2) or adCmdUnknown (8)");
  }
  type_ = type;
  kept_.reset();
}

std::shared_ptr<q6::Parameters> Command::Parameters() {
  if (!parameters_)
    parameters_ =
        std::make_shared<q6::Parameters>(std::static_pointer_cast<Command>(shared_from_this()));
  return parameters_;
}

std::shared_ptr<Parameter> Command::CreateParameter(const std::string& name, int32_t type,
                                                    int32_t direction, int32_t size,
                                                    const Variant& value) {
  return std::make_shared<Parameter>(name, type, direction, size, value);
}

Command::PreparedText& Command::Prepare() {
  if (!connection_ || connection_->State() != kAdStateOpen) ThrowAdo(kAdoConnectionClosed, kSource);
  if (text_.empty())
    Throw(kAdoNoCommandText, "Command text was not set for the command object.", kSource);
  const Engine engine = connection_->engine();
  Driver& driver = connection_->driver();
  if (prepared_ && kept_ && kept_->engine == engine && kept_->connection == connection_.get() &&
      kept_->statement.Holds(driver))
    return *kept_;
  auto p = std::make_unique<PreparedText>();
  p->engine = engine;
  p->connection = connection_.get();
  p->built = type_ == kAdCmdTable || type_ == kAdCmdTableDirect ? "select * from " + text_ : text_;
  std::string numbered;
  p->markers = NumberParameterMarkers(p->built, &numbered);
  p->statement = KeptTranslation(driver, numbered);
  if (p->markers > 0) {
    Translation& t = p->statement.statement();
    t.Replace(PlaceParameterMarkers(t.native, [&driver](int n) { return driver.Placeholder(n); }));
  }
  kept_ = std::move(p);
  return *kept_;
}

void Command::Values(const std::vector<Variant>* given, int markers,
                     std::vector<Variant>* out) const {
  static const std::vector<std::shared_ptr<Parameter>> kNone;
  const auto& params = parameters_ ? parameters_->items() : kNone;
  const size_t n = std::max(params.size(), given ? given->size() : 0);
  out->clear();
  out->reserve(n);
  for (size_t i = 0; i < n; ++i) {
    if (i < params.size()) params[i]->CheckUsable();
    if (given && i < given->size())
      out->push_back(i < params.size() ? params[i]->Bound((*given)[i])
                                       : ParameterValue((*given)[i], ParameterDecl{}));
    else
      out->push_back(params[i]->Bound());
  }
  if (markers < 0 || out->size() == static_cast<size_t>(markers)) return;
  const std::string counts = "the command text has " + std::to_string(markers) +
                             " parameter marker(s), " + std::to_string(out->size()) +
                             " value(s) were given";
  if (out->size() < static_cast<size_t>(markers))
    Throw(kAdoNoValueGiven, "No value given for one or more required parameters: " + counts,
          kSource);
  ThrowAdo(kAdoInvalidArgument, kSource, counts);
}

std::shared_ptr<Recordset> Command::Execute(Variant* records_affected,
                                            const std::vector<Variant>* values, int32_t options) {
  PreparedText& p = Prepare();
  Translation& statement = p.statement.statement();
  // The values travel in the kept statement for this run only (its buffer
  // is kept for the next run).
  struct Unbind {
    Translation& t;
    ~Unbind() { t.params.clear(); }
  } unbind{statement};
  Values(values, p.markers, &statement.params);
  return connection_->ExecuteTranslated(statement, p.built, records_affected, options);
}

std::vector<int32_t> Command::MarkerTypes() {
  return connection_->driver().ParameterTypes(Prepare().statement.statement().native);
}

}  // namespace q6
