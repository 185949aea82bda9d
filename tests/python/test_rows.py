"""Recordsets from Python as Python's own tools expect them, on SQLite and, when
Q6FD_TEST_PG names a server, on PostgreSQL: rows as tuples typed the same on
both engines, Fields subscripted and iterated, `with` closing, NULL written as
JSON through q6fdmgr.json_default, and the README's example run as written.
"""

import contextlib
import datetime
import io
import json
import os
import re
import unittest
from decimal import Decimal

import q6fdmgr as q

from support import ComTestCase, PostgresSchema, SqliteDatabase, requires_pg

ITEM_NOT_FOUND = 0x800A0CC1  # 3265
README = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "README.md")
HEADING = "### SQL of one's own from Python"


def readme_section():
    """The Python blocks of the README's section on SQL of one's own, and the
    output it says the first one prints."""
    with open(README, encoding="utf-8") as f:
        section = f.read().split(HEADING, 1)[1].split("\n#", 1)[0]
    code = re.findall(r"```python\n(.*?)```", section, re.S)
    printed = re.search(r"prints\n\n```\n(.*?)```", section, re.S).group(1)
    return code, printed


def run(code, dsn):
    out = io.StringIO()
    with contextlib.redirect_stdout(out):
        exec(code.replace('"demo"', repr(dsn)), {})  # the README's own text
    return out.getvalue()


class RowTests:
    def setUp(self):
        self.con = q.Dispatch("ADODB.Connection")
        self.con.Open(self.dsn())
        self.con.Execute(
            "create table rows_t (k integer primary key, name nvarchar(20), amount numeric(18,4),"
            " d timestamp, flag boolean, bin %s)" % self.blob_type
        )
        cmd = q.Dispatch("ADODB.Command")
        cmd.ActiveConnection = self.con
        cmd.CommandText = "insert into rows_t values (?, ?, ?, ?, ?, ?)"
        self.when = datetime.datetime(2024, 2, 29, 13, 45, 10)
        cmd.Execute(None, [1, "Grüße", Decimal("12.5"), self.when, True, b"\x00\xff"])
        cmd.Execute(None, [2, q.Null, None, None, False, None])

    def tearDown(self):
        if self.con.State:
            self.con.Execute("drop table rows_t")
            self.con.Close()

    def open(self):
        return self.con.Execute("select * from rows_t order by k")

    def test_rows_are_tuples_typed_by_their_columns(self):
        rs = self.open()
        first = (1, "Grüße", Decimal("12.5"), self.when, True, b"\x00\xff")
        self.assertEqual(list(rs), [first, (2, q.Null, q.Null, q.Null, False, q.Null)])
        self.assertEqual([type(v) for v in first], [type(v) for v in list(self.open())[0]])
        self.assertTrue(rs.EOF)  # the loop moved the recordset along
        rs.MoveFirst()
        rs.Filter = "k = 2"
        self.assertEqual([r[0] for r in rs], [2])
        self.assertEqual(next(q.rows(self.open(), None))[0:2], (1, "Grüße"))
        self.assertEqual(list(q.rows(self.open(), null=None))[1][1], None)
        self.assertRaises(TypeError, q.rows, self.con)

    def test_fields_are_subscripted_and_iterated(self):
        rs = self.open()
        fields = rs.Fields
        self.assertEqual([f.Name for f in fields][:2], ["k", "name"])
        self.assertEqual(fields["NAME"], fields("name"))
        self.assertEqual(fields[1], fields.Item(1))
        self.assertEqual(fields["name"].Value, "Grüße")
        self.assertEqual(rs["k"].Value, 1)
        self.assertComError(ITEM_NOT_FOUND, lambda: fields["nope"])

    def test_with_closes_and_rolls_back(self):
        with q.Dispatch("ADODB.Connection") as con:
            con.Open(self.dsn())
            con.BeginTrans()
            con.Execute("insert into rows_t (k) values (3)")
            with con.Execute("select k from rows_t") as rs:
                self.assertEqual(rs.State, 1)
            self.assertEqual(rs.State, 0)
            rs = con.Execute("select k from rows_t")
            rs.Close()
        self.assertEqual(con.State, 0)  # closed, and its insert rolled back
        self.assertEqual([r[0] for r in self.open()], [1, 2])
        with self.assertRaises(ZeroDivisionError):
            with self.open() as rs:
                1 / 0
        self.assertEqual(rs.State, 0)
        with self.assertRaises(TypeError):
            with q.Dispatch("ADODB.Parameter"):
                pass

    def test_null_and_typed_values_as_json(self):
        text = json.dumps(list(self.open()), default=q.json_default)
        self.assertEqual(
            json.loads(text),
            [[1, "Grüße", "12.5000", "2024-02-29T13:45:10", True, "AP8="],
             [2, None, None, None, False, None]],
        )
        self.assertEqual(json.dumps(self.open().Fields["k"], default=q.json_default), "1")
        self.assertRaises(TypeError, json.dumps, object(), default=q.json_default)

    def test_the_readme_example_runs_as_written(self):
        (example, dbapi_example), printed = readme_section()
        self.assertEqual(run(example, self.dsn()), printed)
        self.con.Execute(
            "create table fd_receipt (transactions_code varchar(20), payer varchar(60),"
            " amount double precision)"
        )
        self.con.Execute("insert into fd_receipt values ('R-1', 'O''Brien Ltd', 12.5)")
        self.assertEqual(run(dbapi_example, self.dsn()), "R-1 12.5\n")
        self.con.Execute("drop table fd_receipt")


class SqliteRowTest(SqliteDatabase, RowTests, ComTestCase):
    blob_type = "blob"


@requires_pg
class PostgresRowTest(PostgresSchema, RowTests, ComTestCase):
    schema_prefix = "q6rows"
    blob_type = "bytea"


if __name__ == "__main__":
    unittest.main()
