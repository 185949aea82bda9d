"""Values across the module boundary, table-driven.

Round trips go through EntityField.Value, a Variant property that keeps what
it is given; typed members show what each automation type comes back as."""

import datetime as dt
import unittest
from decimal import Decimal

import q6fdmgr as q
from support import VB_OVERFLOW, VB_TYPE_MISMATCH, ComTestCase, requires

# (value put, value read back). The type must match too.
ROUND_TRIPS = [
    (True, True),
    (False, False),
    (0, 0),
    (-(2**31), -(2**31)),
    (2**31 - 1, 2**31 - 1),
    # Wider integers stay exact as Decimal while Decimal can hold them.
    (2**31, Decimal(2**31)),
    (-(2**63), Decimal(-(2**63))),
    (2**96 - 1, Decimal(2**96 - 1)),
    (2**96, float(2**96)),
    (1.5, 1.5),
    (-1e300, -1e300),
    (Decimal("12.345"), Decimal("12.345")),
    (Decimal("-0.0000000000000000000000000001"), Decimal("-1E-28")),
    (Decimal("79228162514264337593543950335"), Decimal("79228162514264337593543950335")),
    (Decimal("1.50"), Decimal("1.5")),
    (dt.datetime(2024, 3, 1, 13, 45, 30, 123000), dt.datetime(2024, 3, 1, 13, 45, 30, 123000)),
    (dt.datetime(1899, 12, 29, 6, 0), dt.datetime(1899, 12, 29, 6, 0)),
    (dt.datetime(1899, 12, 30), dt.datetime(1899, 12, 30)),
    (dt.datetime(100, 1, 1), dt.datetime(100, 1, 1)),
    (dt.datetime(9999, 12, 31, 23, 59, 59), dt.datetime(9999, 12, 31, 23, 59, 59)),
    (dt.date(2024, 3, 1), dt.datetime(2024, 3, 1)),
    (dt.datetime(2024, 3, 1, 12, tzinfo=dt.timezone.utc), dt.datetime(2024, 3, 1, 12)),
    ("", ""),
    ("资金 ünïcödé 'q'", "资金 ünïcödé 'q'"),
    (None, None),
    (q.Empty, None),
    (q.Null, q.Null),
]

# Dates are days since 1899-12-30; the fraction counts forward from midnight
# even before that day. Read back through a Double member.
DATE_DAYS = [
    (dt.datetime(1899, 12, 30), 0.0),
    (dt.datetime(1899, 12, 31, 12), 1.5),
    (dt.datetime(1900, 1, 1), 2.0),
    (dt.datetime(1899, 12, 29, 6), -1.25),
    (dt.datetime(1899, 12, 28, 18), -2.75),
    (dt.datetime(2024, 3, 1, 6), 45352.25),
]

# (ProgID, member, value put, value read back): each automation type comes
# back as its Python type.
TYPED = [
    ("Q6FDEso.EntityField", "Length", 12, 12),  # Byte
    ("Q6FDEso.EntityField", "Length", "200", 200),
    ("Q6FDEso.EntityObject", "VchType", -3, -3),  # Integer
    ("Q6FDEso.EntityField", "ID", 7.5, 8),  # Long, halves to even
    ("Q6FDEso.EntityField", "ID", Decimal("2147483647"), 2147483647),
    ("Q6FDEso.EntityField", "Width", 3, 3.0),  # Double
    ("Q6FDEso.EntityField", "Width", Decimal("0.25"), 0.25),
    ("Q6FDEso.EntityField", "Persistent", 1, True),  # Boolean
    ("Q6FDEso.EntityField", "Persistent", 0, False),
    ("Q6FDEso.EntityField", "Name", 51, "51"),  # String
    ("Q6FDEso.EntityField", "Name", True, "True"),
    ("Q6FDEso.EntityField", "Name", 0.1, "0.1"),
    ("Q6FDEso.EntityField", "Name", dt.datetime(2024, 3, 1, 13, 45), "2024-03-01 13:45:00"),
]

def _containing_itself():
    items = [1]
    items.append(items)
    return items


def _nested(depth):
    items = [1]
    for _ in range(depth):
        items = [items]
    return items


def _ref_to_itself():
    ref = q.Ref()
    ref.value = ref
    return ref


# (ProgID, member, value put, error expected)
BAD_PUTS = [
    ("Q6FDEso.EntityField", "Value", _containing_itself(), VB_TYPE_MISMATCH),
    ("Q6FDEso.EntityField", "Value", _nested(50000), VB_TYPE_MISMATCH),
    ("Q6FDEso.EntityField", "Value", _ref_to_itself(), VB_TYPE_MISMATCH),
    ("Q6FDEso.EntityField", "Length", 256, VB_OVERFLOW),
    ("Q6FDEso.EntityField", "ID", 2**31, VB_OVERFLOW),
    ("Q6FDEso.EntityField", "Width", "abc", VB_TYPE_MISMATCH),
    ("Q6FDEso.EntityField", "Value", Decimal("NaN"), VB_TYPE_MISMATCH),
    ("Q6FDEso.EntityField", "Value", Decimal("1E+40"), VB_OVERFLOW),
    ("Q6FDEso.EntityField", "Value", 10**400, VB_OVERFLOW),
    ("Q6FDEso.EntityField", "Value", dt.datetime(99, 12, 31), VB_OVERFLOW),
]


@requires("Q6FDEso.EntityObject", "Q6FDEso.EntityField")
class ConversionTest(ComTestCase):
    def test_values_round_trip_through_a_variant(self):
        f = q.Dispatch("Q6FDEso.EntityField")
        for put, expected in ROUND_TRIPS:
            with self.subTest(put=put):
                f.Value = put
                got = f.Value
                self.assertEqual(got, expected)
                self.assertIs(type(got), type(expected))

    def test_objects_round_trip_as_the_same_object(self):
        oid = q.Dispatch("Q6FDEso.OIDObject")
        eo = q.Dispatch("Q6FDEso.EntityObject")
        eo.OID = oid  # put by reference
        self.assertEqual(eo.OID, oid)
        oid.Value = "x"
        self.assertEqual(str(eo.OID), "x")

    def test_dates_are_days_since_1899_12_30(self):
        f = q.Dispatch("Q6FDEso.EntityField")
        for date, days in DATE_DAYS:
            with self.subTest(date=date):
                f.Width = date
                self.assertEqual(f.Width, days)

    def test_dates_come_back_rounded_to_the_millisecond(self):
        f = q.Dispatch("Q6FDEso.EntityField")
        f.Value = dt.datetime(2024, 3, 1, 23, 59, 59, 999700)
        self.assertEqual(f.Value, dt.datetime(2024, 3, 2))
        f.Value = dt.datetime(1899, 12, 29, 23, 59, 59, 999900)  # day -1, rolls to day 0
        self.assertEqual(f.Value, dt.datetime(1899, 12, 30))

    def test_each_type_comes_back_as_its_python_type(self):
        for progid, member, put, expected in TYPED:
            with self.subTest(member=member, put=put):
                o = q.Dispatch(progid)
                setattr(o, member, put)
                got = getattr(o, member)
                self.assertEqual(got, expected)
                self.assertIs(type(got), type(expected))

    def test_values_that_do_not_convert_raise(self):
        for progid, member, put, expected in BAD_PUTS:
            with self.subTest(member=member, put=put):
                self.assertComError(expected, setattr, q.Dispatch(progid), member, put)

    def test_values_of_other_python_types_are_refused(self):
        f = q.Dispatch("Q6FDEso.EntityField")
        for value in ({1}, {"a": 1}, object(), 1j):  # lists and tuples are arrays
            with self.subTest(value=value):
                with self.assertRaises(TypeError):
                    f.Value = value


if __name__ == "__main__":
    unittest.main()
