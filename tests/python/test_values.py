"""Values and database errors as a Python caller sees them, on SQLite and,
when Q6FD_TEST_PG names a server, on PostgreSQL in a schema of its own.

Binary columns come back as bytes and take bytes; text that is not UTF-8
comes back without an exception of its own; a number the Decimal type cannot
hold exactly is a ComError; a database failure is a ComError that says what
kind of failure it was and carries the engine's code.
"""

import os
import unittest

import q6fdmgr as q

from support import VB_OVERFLOW, ComTestCase, SqliteDatabase, hresult


class ValueTests:
    # Per engine: the binary column type, a literal of b"\x00\xffA", the
    # engine's code for a duplicate key.
    BLOB = None
    BYTES_LITERAL = None
    DUPLICATE_KEY = None

    def setUp(self):
        self.con = q.Dispatch("ADODB.Connection")
        self.con.Open(self.dsn())
        self.con.Execute("create table vt (k integer primary key, v %s)" % self.BLOB)

    def tearDown(self):
        self.con.Execute("drop table vt")
        self.con.Close()

    def value(self, sql):
        return self.con.Execute(sql).Fields.Item(0).Value

    def test_bytes_round_trip(self):
        self.con.Execute("insert into vt values (1, %s)" % self.BYTES_LITERAL)
        self.assertEqual(self.value("select v from vt where k = 1"), b"\x00\xffA")
        rs = q.Dispatch("ADODB.Recordset")
        rs.Open("select * from vt where 1>1", self.con, 2, 3)
        rs.AddNew()
        rs.Fields.Item("k").Value = 2
        rs.Fields.Item("v").Value = b"\x80'--\x00"
        rs.Update()
        self.assertEqual(self.value("select v from vt where k = 2"), b"\x80'--\x00")

    def test_duplicate_key_is_a_constraint_error_with_the_engine_code(self):
        self.con.Execute("insert into vt values (1, null)")
        with self.assertRaises(q.ComError) as cm:
            self.con.Execute("insert into vt values (1, null)")
        self.assertEqual(cm.exception.kind, "constraint")
        self.assertEqual(cm.exception.native, self.DUPLICATE_KEY)
        with self.assertRaises(q.ComError) as cm:
            self.con.Execute("select * from no_such_table")
        self.assertEqual(cm.exception.kind, "other")
        self.assertTrue(cm.exception.native)


class SqliteValueTest(SqliteDatabase, ValueTests, ComTestCase):
    BLOB = "BLOB"
    BYTES_LITERAL = "x'00ff41'"
    DUPLICATE_KEY = "1555"

    def test_text_that_is_not_utf8_comes_back_and_goes_back_unchanged(self):
        got = self.value("select cast(x'41ff42' as text)")
        self.assertIsInstance(got, str)
        self.con.Execute("create table tt (t text)")
        rs = q.Dispatch("ADODB.Recordset")
        rs.Open("select * from tt where 1>1", self.con, 2, 3)
        rs.AddNew()
        rs.Fields.Item("t").Value = got
        rs.Update()
        self.assertEqual(self.value("select hex(t) from tt"), "41FF42")
        self.con.Execute("drop table tt")


@unittest.skipUnless(os.environ.get("Q6FD_TEST_PG"), "Q6FD_TEST_PG names no PostgreSQL server")
class PostgresValueTest(ValueTests, ComTestCase):
    BLOB = "bytea"
    BYTES_LITERAL = "'\\x00ff41'::bytea"
    DUPLICATE_KEY = "23505"

    @classmethod
    def setUpClass(cls):
        cls.schema = "q6values_%d" % os.getpid()
        admin = q.Dispatch("ADODB.Connection")
        admin.Open(os.environ["Q6FD_TEST_PG"])
        admin.Execute("drop schema if exists %s cascade" % cls.schema)
        admin.Execute("create schema %s" % cls.schema)
        admin.Close()

    @classmethod
    def tearDownClass(cls):
        admin = q.Dispatch("ADODB.Connection")
        admin.Open(os.environ["Q6FD_TEST_PG"])
        admin.Execute("drop schema if exists %s cascade" % cls.schema)
        admin.Close()

    def dsn(self):
        return os.environ["Q6FD_TEST_PG"] + ";Schema=" + self.schema

    def test_numeric_beyond_the_decimal_is_overflow_naming_the_column(self):
        e = self.assertComError(VB_OVERFLOW, self.value,
                                "select '9.9999999999999999999999999999'::numeric as amount")
        self.assertIn("amount", e.description)
        self.assertEqual(hresult(e), VB_OVERFLOW)


if __name__ == "__main__":
    unittest.main()
