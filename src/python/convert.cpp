// Conversions between Python values and Variants, one small function per
// kind, chosen by the table in ToVariant / the switch in ToPython.
//
// Integers wider than 32 bits go to Decimal rather than Double because
// Decimal keeps them exact (OIDs and counters are such numbers); only those
// beyond Decimal's 96-bit range fall back to Double. Dates travel as a
// calendar day plus a time of day: the day is counted from 1899-12-30 and the
// time is a fraction that counts forward from midnight even before the epoch
// (-1.25 is 1899-12-29 06:00), so the sign only says on which side of the
// epoch the day lies.
#include "python/convert.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "python/proxy.h"
#include "python/python_types.h"
#include "runtime/value_date.h"

namespace q6::pymod {

namespace {

// date(1899, 12, 30).toordinal()
constexpr int64_t kEpochOrdinal = 693594;
constexpr double kMsPerDay = 86400000.0;

bool IsInstance(py::handle h, py::handle type) {
  int r = PyObject_IsInstance(h.ptr(), type.ptr());
  if (r < 0) throw py::error_already_set();
  return r == 1;
}

Variant FromInt(py::handle h) {
  int overflow = 0;
  long long v = PyLong_AsLongLongAndOverflow(h.ptr(), &overflow);
  if (v == -1 && PyErr_Occurred()) throw py::error_already_set();
  if (!overflow) {
    if (v >= std::numeric_limits<int32_t>::min() && v <= std::numeric_limits<int32_t>::max())
      return Variant(static_cast<int32_t>(v));
    return Variant(Decimal(static_cast<int64_t>(v)));
  }
  size_t bits = py::reinterpret_borrow<py::object>(h).attr("bit_length")().cast<size_t>();
  Decimal d;
  if (bits <= 96 && Decimal::TryParse(py::str(h).cast<std::string>(), &d)) return Variant(d);
  double f = PyLong_AsDouble(h.ptr());
  if (f == -1.0 && PyErr_Occurred()) {
    PyErr_Clear();
    ThrowVb(kVbOverflow, "Overflow: the integer is too large for a Double");
  }
  return Variant(f);
}

// Bytes that came out as escapes (StringToPython) go back as those bytes;
// other lone surrogates cannot be UTF-8 and raise TypeError.
Variant FromStr(py::handle h) {
  PyObject* b = PyUnicode_AsEncodedString(h.ptr(), "utf-8", "surrogateescape");
  if (!b) {
    PyErr_Clear();
    throw py::type_error("q6fdmgr cannot pass a str holding lone surrogates");
  }
  py::bytes bytes = py::reinterpret_steal<py::bytes>(b);
  return Variant(static_cast<std::string>(bytes));
}

Variant FromBytes(py::handle h) {
  std::string raw = py::bytes(py::reinterpret_borrow<py::object>(h));
  return Variant(ByteArray(raw.begin(), raw.end()));
}

// A Decimal's text with every place of its scale ("425.50"), as the
// database's own decimal comes to Python.
std::string FixedText(const Decimal& d) {
  std::string t = d.ToString();
  const size_t point = t.find('.');
  const int have = point == std::string::npos ? 0 : static_cast<int>(t.size() - point - 1);
  if (have < d.scale()) {
    if (point == std::string::npos) t += '.';
    t.append(static_cast<size_t>(d.scale() - have), '0');
  }
  return t;
}

Variant FromDecimal(py::handle h) {
  return Variant(Decimal::Parse(py::str(h).cast<std::string>()));
}

Variant FromDate(py::handle h) {
  py::object o = py::reinterpret_borrow<py::object>(h);
  int64_t day = o.attr("toordinal")().cast<int64_t>() - kEpochOrdinal;
  double seconds = 0;
  if (IsInstance(h, DateTimeType())) {
    seconds = o.attr("hour").cast<int>() * 3600.0 + o.attr("minute").cast<int>() * 60.0 +
              o.attr("second").cast<int>() + o.attr("microsecond").cast<int>() / 1e6;
  }
  double frac = seconds / 86400.0;
  double days = day >= 0 ? static_cast<double>(day) + frac : static_cast<double>(day) - frac;
  if (!value::DateInRange(days)) ThrowVb(kVbOverflow, "Overflow: the date is out of range");
  return Variant(DateValue{days});
}

// A list or tuple: two dimensions when every item is a list or tuple of
// one length (the outer index is the first subscript), else one dimension
// whose items convert one by one (so a ragged list is an array of arrays).
Variant FromSequence(py::handle h) {
  py::sequence seq = py::reinterpret_borrow<py::sequence>(h);
  const size_t n = seq.size();
  bool square = n > 0;
  size_t inner = 0;
  for (size_t i = 0; i < n && square; ++i) {
    PyObject* item = PySequence_Fast_GET_ITEM(seq.ptr(), static_cast<Py_ssize_t>(i));
    if (!PyList_Check(item) && !PyTuple_Check(item)) {
      square = false;
      break;
    }
    const size_t len = static_cast<size_t>(PySequence_Fast_GET_SIZE(item));
    if (i == 0) inner = len;
    square = len == inner;
  }
  if (!square) {
    std::vector<Variant> items;
    items.reserve(n);
    for (size_t i = 0; i < n; ++i)
      items.push_back(ToVariant(PySequence_Fast_GET_ITEM(seq.ptr(), static_cast<Py_ssize_t>(i))));
    return Variant(VariantArray::Of(std::move(items)));
  }
  VariantArray a({{0, n}, {0, inner}});
  for (size_t i = 0; i < n; ++i) {
    PyObject* row = PySequence_Fast_GET_ITEM(seq.ptr(), static_cast<Py_ssize_t>(i));
    for (size_t j = 0; j < inner; ++j)
      a.items()[j * n + i] = ToVariant(PySequence_Fast_GET_ITEM(row, static_cast<Py_ssize_t>(j)));
  }
  return Variant(std::move(a));
}

// Nested lists, outermost by the first subscript; lower bounds are not kept
// (the element at the lower bound is at index 0).
py::object ArrayToPython(const VariantArray& a, size_t dim, size_t offset, size_t stride) {
  const VariantArray::Bound& b = a.bounds()[dim];
  py::list out(b.count);
  const size_t inner_stride = stride * b.count;
  for (size_t i = 0; i < b.count; ++i) {
    const size_t at = offset + i * stride;
    py::object item =
        dim + 1 == a.dims() ? ToPython(a.items()[at]) : ArrayToPython(a, dim + 1, at, inner_stride);
    PyList_SET_ITEM(out.ptr(), static_cast<Py_ssize_t>(i), item.release().ptr());
  }
  return out;
}

py::object DateToPython(double days) {
  if (!std::isfinite(days) || !value::DateInRange(days))
    ThrowVb(kVbOverflow, "Overflow: the date is out of range");
  double whole = std::trunc(days);
  long long ms = std::llround(std::fabs(days - whole) * kMsPerDay);
  py::object start = py::reinterpret_borrow<py::object>(DateTimeType())
                         .attr("fromordinal")(kEpochOrdinal + static_cast<int64_t>(whole));
  // Adding the time of day rolls a time rounded up to 24:00 over into the
  // next calendar day.
  return start + py::reinterpret_borrow<py::object>(TimeDeltaType())(py::arg("milliseconds") = ms);
}

// Bytes that are not UTF-8 (text an embedded database took as it came)
// become escapes that FromStr turns back into the same bytes.
py::object StringToPython(const std::string& s) {
  PyObject* o =
      PyUnicode_DecodeUTF8(s.data(), static_cast<Py_ssize_t>(s.size()), "surrogateescape");
  if (!o) throw py::error_already_set();
  return py::reinterpret_steal<py::object>(o);
}

// Lists inside lists, and Refs holding Refs, deeper than this are refused:
// a list that contains itself (or one nested many thousand times) would
// otherwise recurse until the C stack runs out. No automation array has
// more than a few dimensions.
constexpr int kMaxNesting = 64;

// Counts the conversions in progress on this thread while it lives.
class NestingGuard {
 public:
  NestingGuard() {
    if (++depth_ > kMaxNesting) {
      --depth_;
      ThrowVb(kVbTypeMismatch, "Type mismatch: the value nests lists or Refs more than " +
                                   std::to_string(kMaxNesting) + " deep, or contains itself");
    }
  }
  ~NestingGuard() { --depth_; }
  NestingGuard(const NestingGuard&) = delete;
  NestingGuard& operator=(const NestingGuard&) = delete;

 private:
  static thread_local int depth_;
};
thread_local int NestingGuard::depth_ = 0;

}  // namespace

Variant ToVariant(py::handle h) {
  PyObject* p = h.ptr();
  if (h.is_none() || h.is(EmptyObject())) return Variant();
  if (h.is(NullObject())) return Variant::Null();
  if (PyBool_Check(p)) return Variant(p == Py_True);
  if (PyLong_Check(p)) return FromInt(h);
  if (PyFloat_Check(p)) return Variant(PyFloat_AsDouble(p));
  if (PyUnicode_Check(p)) return FromStr(h);
  if (PyBytes_Check(p) || PyByteArray_Check(p)) return FromBytes(h);
  if (PyList_Check(p) || PyTuple_Check(p)) {
    const NestingGuard nested;
    return FromSequence(h);
  }
  if (ObjectRef o = UnwrapObject(h)) return Variant(o);
  if (IsInstance(h, DecimalType())) return FromDecimal(h);
  if (IsInstance(h, DateType())) return FromDate(h);  // datetime.datetime included
  if (IsInstance(h, RefType())) {
    const NestingGuard nested;
    return ToVariant(h.attr("value"));
  }
  throw py::type_error("q6fdmgr cannot pass a value of type " +
                       py::str(py::type::handle_of(h).attr("__name__")).cast<std::string>() +
                       " to an automation object");
}

py::object ToPython(const Variant& in) {
  const Variant& v = in.Deref();
  switch (v.type()) {
    case VarType::Null:
      return py::reinterpret_borrow<py::object>(NullObject());
    case VarType::Boolean:
      return py::bool_(v.ToBool());
    case VarType::Byte:
    case VarType::Integer:
    case VarType::Long:
      return py::int_(v.ToLong());
    case VarType::Double:
      return py::float_(v.ToDouble());
    case VarType::Decimal:
      return py::reinterpret_borrow<py::object>(DecimalType())(FixedText(v.ToDecimal()));
    case VarType::Date:
      return DateToPython(v.ToDate().days);
    case VarType::String:
      return StringToPython(v.string());
    case VarType::ByteArray: {
      const ByteArray& b = v.bytes();
      return py::bytes(reinterpret_cast<const char*>(b.data()), b.size());
    }
    case VarType::Object:
      return WrapObject(v.object());
    case VarType::Array:
      return ArrayToPython(v.array(), 0, 0, 1);
    default:  // Empty, Missing
      return py::none();
  }
}

}  // namespace q6::pymod
