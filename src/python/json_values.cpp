// json_default, written in Python and run in the module's namespace (as the
// types of python_types.cpp are), so that it is a plain function of the
// module and sees Null, Empty, Dispatch and ComError as the module has them.
#include "python/json_values.h"

#include <pybind11/eval.h>

namespace q6::pymod {
namespace {

constexpr const char* kJsonDefault = R"PY(
def json_default(value):
    """The JSON form of the values q6fdmgr hands out that json cannot write
    itself, for json.dumps(obj, default=q6fdmgr.json_default):

    Null, Empty              null (SQL NULL and the unset value)
    decimal.Decimal          its exact digits, as a string ("12.50")
    datetime, date, time     ISO 8601 text ("2024-02-29T13:45:10")
    bytes, bytearray         base64 text
    a Dispatch object with a value of its own (a field, an OID): that value

    Anything else raises TypeError, as json itself does.
    """
    import base64
    import datetime
    import decimal

    if value is Null or value is Empty:
        return None
    if isinstance(value, decimal.Decimal):
        return str(value)
    if isinstance(value, (datetime.datetime, datetime.date, datetime.time)):
        return value.isoformat()
    if isinstance(value, (bytes, bytearray)):
        return base64.b64encode(value).decode("ascii")
    if isinstance(value, Dispatch):
        try:
            return value()
        except ComError:
            pass
    raise TypeError("Object of type %s is not JSON serializable" % type(value).__name__)
)PY";

}  // namespace

void DefineJsonDefault(py::module_& m) { py::exec(kJsonDefault, m.attr("__dict__")); }

}  // namespace q6::pymod
