"""Reading a recordset from Python, on SQLite and, when Q6FD_TEST_PG names a
server, on PostgreSQL: GetRows gives nested lists indexed [field][record],
takes a Python list where an array of field names is wanted, and the
per-value forms (Fields.Item(i).Value, rs(i), rs("name")) read the same values.
"""

import os
import unittest

import q6fdmgr as q

from support import ComTestCase, SqliteDatabase, drop_pg_schema, pg_schema_dsn, requires_pg

AD_BOOKMARK_FIRST = 1
NO_CURRENT_RECORD = 0x800A0BCD  # 3021
ITEM_NOT_FOUND = 0x800A0CC1  # 3265
OBJECT_CLOSED, BAD_PARAM_COUNT, PARAM_NOT_FOUND = 0x800A0E78, 0x8002000E, 0x80020004


class BulkReadTests:
    def setUp(self):
        self.con = q.Dispatch("ADODB.Connection")
        self.con.Open(self.dsn())
        self.con.Execute("create table br (k integer primary key, name varchar(10))")
        self.con.Execute("insert into br values (1, 'one')")
        self.con.Execute("insert into br values (2, null)")
        self.con.Execute("insert into br values (3, 'three')")

    def tearDown(self):
        self.con.Execute("drop table br")
        self.con.Close()

    def open(self):
        return self.con.Execute("select k, name from br order by k")

    def test_get_rows_is_indexed_field_then_record(self):
        cases = [  # (moves first, arguments, expected, EOF after)
            (0, (), [[1, 2, 3], ["one", q.Null, "three"]], True),
            (1, (1,), [[2], [q.Null]], False),
            (2, (-1, AD_BOOKMARK_FIRST, ["name", 0]), [["one", q.Null, "three"], [1, 2, 3]], True),
            (0, (2, 0, ("k",)), [[1, 2]], False),
        ]
        for moves, args, expected, eof in cases:
            rs = self.open()
            for _ in range(moves):
                rs.MoveNext()
            self.assertEqual(rs.GetRows(*args), expected, args)
            self.assertEqual(rs.EOF, eof, args)
        rs = self.open()
        self.assertEqual(rs.GetRows(Fields="NAME", Rows=1), [["one"]])

    def test_get_rows_errors(self):
        rs = self.con.Execute("select k from br where k > 9")
        self.assertComError(NO_CURRENT_RECORD, rs.GetRows)
        self.assertComError(ITEM_NOT_FOUND, self.open().GetRows, -1, 0, ["k", "nope"])

    def test_each_value_form_reads_the_same_values(self):
        rs = self.open()
        seen = []
        while not rs.EOF:
            row = [rs.Fields.Item(i).Value for i in range(2)]
            self.assertEqual([rs.Fields(i).Value for i in range(2)], row)
            self.assertEqual([rs(i).Value for i in range(2)], row)
            self.assertEqual(rs("NAME").Value, row[1])
            seen.append(row)
            rs.MoveNext()
        self.assertEqual(seen, [[1, "one"], [2, q.Null], [3, "three"]])

    def test_fields_read_in_place_follow_the_open_recordset(self):
        rs = self.open()
        self.assertEqual(rs.Fields.Item(q.Ref(1)).Value, "one")  # a Ref takes the long road
        self.assertEqual(rs.Fields.Item(1.0).Value, "one")
        self.assertEqual(rs.Fields.Count, 2)
        rs.Close()
        rs.Open("select name from br order by k", self.con)
        self.assertEqual((rs.Fields.Count, rs.Fields.Item(0).Value), (1, "one"))

    def test_reads_without_arguments_keep_the_calls_errors(self):
        # Reads and calls without arguments, and GetRows, take shorter roads
        # to the member than the other calls.
        rs = self.open()
        name = rs.Fields.Item("name")
        after_three_moves = lambda: [rs.MoveNext() for _ in range(3)]
        cases = [  # (action, expected HRESULT, set-up)
            (lambda: rs.MoveNext(1), BAD_PARAM_COUNT, None),
            (lambda: rs.MoveNext(Steps=1), PARAM_NOT_FOUND, None),
            (lambda: rs.GetRows(1, 0, None, 4), BAD_PARAM_COUNT, None),  # lists without an array
            (lambda: rs.Fields.Item(2), ITEM_NOT_FOUND, None),  # one plain argument
            (lambda: rs.Fields.Item(-1), ITEM_NOT_FOUND, None),
            (lambda: rs("nope"), ITEM_NOT_FOUND, None),
            (lambda: name.Value, NO_CURRENT_RECORD, after_three_moves),
            (rs.MoveNext, NO_CURRENT_RECORD, None),
            (lambda: name.Value, OBJECT_CLOSED, rs.Close),
            (lambda: rs.EOF, OBJECT_CLOSED, None),
            (lambda: rs.Fields, OBJECT_CLOSED, None),  # read in place
        ]
        for action, hr, setup in cases:
            if setup:
                setup()
            self.assertComError(hr, action)


class SqliteBulkReadTest(SqliteDatabase, BulkReadTests, ComTestCase):
    pass


@requires_pg
class PostgresBulkReadTest(BulkReadTests, ComTestCase):
    @classmethod
    def setUpClass(cls):
        cls.schema = "q6bulk_%d" % os.getpid()
        cls.pg_dsn = pg_schema_dsn(cls.schema)

    @classmethod
    def tearDownClass(cls):
        drop_pg_schema(cls.schema)

    def dsn(self):
        return self.pg_dsn


if __name__ == "__main__":
    unittest.main()
