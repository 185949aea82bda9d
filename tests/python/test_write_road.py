"""The README's write road from Python, run as it stands there: a new receipt
with lines, an update and a delete under a lock, on a seeded database on SQLite
and, when Q6FD_TEST_PG names a server, on PostgreSQL. The tables are checked
after each snippet."""

import contextlib
import io
import os
import re
import shutil
import subprocess
import tempfile
import unittest

import q6fdmgr as q
from support import drop_pg_schema, pg_schema_dsn, q6fd_binary, requires_pg, rows

README = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "README.md")
HEADING = "### Writing records from Python"


def readme_snippets():
    """The Python blocks of the README's write-road section, in order."""
    with open(README, encoding="utf-8") as f:
        text = f.read()
    section = text.split(HEADING, 1)[1].split("\n#", 1)[0]
    return re.findall(r"```python\n(.*?)```", section, re.S)


class WriteRoadTests:
    """The checks; a subclass per engine provides `make_dsn` and `drop`."""

    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.mkdtemp(prefix="q6write")
        cls.dsn = cls.make_dsn()
        subprocess.run([q6fd_binary(), "seed", cls.dsn, "--documents", "3"], check=True,
                       capture_output=True)
        cls.con = q.Dispatch("ADODB.Connection")
        cls.con.Open(cls.dsn)

    @classmethod
    def tearDownClass(cls):
        cls.con.Close()
        cls.drop()
        shutil.rmtree(cls.dir, ignore_errors=True)

    def run_snippet(self, code, names):
        out = io.StringIO()
        with contextlib.redirect_stdout(out):
            exec(code, names)  # the README's own text
        return out.getvalue()

    def test_the_readme_write_road_runs_as_written(self):
        new, update, delete = readme_snippets()
        self.assertIn('dsn = "demo"', new)
        names = {}
        out = self.run_snippet(new.replace('dsn = "demo"', "dsn = %r" % self.dsn), names)
        self.assertEqual(out, "True 1 True\n")
        oid = names["oid"]
        receipt = "select payer, amount, remark from fd_receipt where oid = '%s'" % oid
        lines = ("select line_no, amount from fd_receipt_line where receipt_oid = '%s' "
                 "order by line_no" % oid)
        locks = "select locks_id, user_name from FD_Locks"
        self.assertEqual(rows(self.con, receipt), [("O'Brien Ltd", 300.5, q.Null)])
        self.assertEqual(rows(self.con, lines), [(1, 200.0), (2, 100.5)])
        self.assertEqual(rows(self.con, locks), [(oid, "ann")])

        self.assertEqual(self.run_snippet(update, names), "True\n")
        self.assertEqual(rows(self.con, receipt), [("O'Brien Ltd", 320.0, "paid in two parts")])
        self.assertEqual(len(rows(self.con, lines)), 2)

        self.assertEqual(self.run_snippet(delete, names), "True\n")
        self.assertEqual(rows(self.con, receipt), [])
        self.assertEqual(rows(self.con, lines), [])
        self.assertEqual(rows(self.con, locks), [])

    def test_a_lock_in_the_way_is_a_lock_conflict_that_carries_its_holder(self):
        locks = q.Dispatch("Q6FDMgr.LockManager")
        oid = "519999999999999"
        self.assertTrue(locks.LockIt(self.dsn, oid, "ann", "pc1", "fd", 7, "month end"))
        try:
            with self.assertRaises(q.ComError) as cm:
                locks.LockIt(self.dsn, oid, "bob", "pc2", "fd", 7, "")
            e = cm.exception
            self.assertEqual(e.hresult & 0xFFFFFFFF, 0x80040C1E)
            self.assertEqual(e.kind, "lock_conflict")
            self.assertEqual(e.data, {"user": "ann", "workstation": "pc1", "module": "fd",
                                      "level": "7", "reason": "month end"})
            # Raised again from its own arguments (as pickling does), it keeps them.
            self.assertEqual(type(e)(*e.args).data, e.data)
        finally:
            locks.UnlockIt(self.dsn, oid, "ann", "pc1", "fd", 7)


class SqliteWriteRoadTest(WriteRoadTests, unittest.TestCase):
    @classmethod
    def make_dsn(cls):
        return "Driver=sqlite;Database=" + os.path.join(cls.dir, "db.sqlite")

    @classmethod
    def drop(cls):
        pass


@requires_pg
class PostgresWriteRoadTest(WriteRoadTests, unittest.TestCase):
    @classmethod
    def make_dsn(cls):
        cls.schema = "q6write_%d" % os.getpid()
        return pg_schema_dsn(cls.schema)

    @classmethod
    def drop(cls):
        drop_pg_schema(cls.schema)


if __name__ == "__main__":
    unittest.main()
