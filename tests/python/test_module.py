"""The module surface that needs no automation class: Null, Empty, Ref,
ComError and creation failures."""

import pickle
import unittest

import q6fdmgr as q
from support import REGDB_E_CLASSNOTREG, ComTestCase


class SingletonTest(unittest.TestCase):
    def test_null_and_empty_are_distinct_falsy_singletons(self):
        for value, text in ((q.Null, "q6fdmgr.Null"), (q.Empty, "q6fdmgr.Empty")):
            with self.subTest(text):
                self.assertEqual(repr(value), text)
                self.assertFalse(value)
                self.assertIs(type(value)(), value)
                self.assertIs(pickle.loads(pickle.dumps(value)), value)
        self.assertIsNot(q.Null, q.Empty)
        self.assertNotEqual(q.Null, q.Empty)
        self.assertNotEqual(q.Null, None)


class RefTest(unittest.TestCase):
    def test_value_defaults_to_none_and_is_writable(self):
        r = q.Ref()
        self.assertIsNone(r.value)
        r.value = 5
        self.assertEqual(q.Ref("x").value, "x")
        self.assertEqual(repr(r), "q6fdmgr.Ref(5)")
        with self.assertRaises(AttributeError):
            r.other = 1  # a slot holder, not a namespace


class ComErrorTest(unittest.TestCase):
    def test_attributes_and_text(self):
        e = q.ComError(-2147352570, "Unknown name: X", "q6")
        self.assertIsInstance(e, Exception)
        self.assertEqual(e.hresult, -2147352570)
        self.assertEqual(hex(e.hresult & 0xFFFFFFFF), "0x80020006")
        self.assertEqual(e.description, "Unknown name: X")
        self.assertEqual(e.source, "q6")
        self.assertEqual(str(e), "0x80020006: Unknown name: X (q6)")
        self.assertEqual(str(q.ComError(-2146828282, "Overflow")), "0x800A0006: Overflow")
        copy = pickle.loads(pickle.dumps(e))
        self.assertEqual((copy.hresult, copy.description, copy.source), (e.hresult, e.description, e.source))


class CreationTest(ComTestCase):
    def test_unknown_progid_is_not_registered(self):
        e = self.assertComError(REGDB_E_CLASSNOTREG, q.Dispatch, "Q6NoSuch.Class")
        self.assertIn("Q6NoSuch.Class", e.description)
        self.assertLess(e.hresult, 0, "hresult is the signed 32-bit number")

    def test_progid_must_be_text(self):
        with self.assertRaises(TypeError):
            q.Dispatch(51)


if __name__ == "__main__":
    unittest.main()
