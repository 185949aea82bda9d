"""q6fdmgr.dbapi against PEP 249, on SQLite and, when Q6FD_TEST_PG names a
server, on PostgreSQL: the module's globals, exceptions, type objects and
constructors; connecting; execute, executemany and the fetch methods with
description and rowcount; qmark parameters; the implicit transaction; closed
objects; errors by kind; and pandas.read_sql of a T-SQL query.
"""

import datetime
import json
import os
import subprocess
import sys
import tempfile
import unittest
from decimal import Decimal

import q6fdmgr.dbapi as db

from support import PostgresSchema, SqliteDatabase, requires_pg

SAMPLES = ["Carlton Cold", "Carlton Draft", "Mountain Goat", "Redback", "Victoria Bitter"]


class ModuleTest(unittest.TestCase):
    def test_globals_and_exception_hierarchy(self):
        self.assertEqual((db.apilevel, db.paramstyle), ("2.0", "qmark"))
        self.assertIn(db.threadsafety, (0, 1, 2, 3))
        parents = {
            db.Warning: Exception, db.Error: Exception, db.InterfaceError: db.Error,
            db.DatabaseError: db.Error, db.DataError: db.DatabaseError,
            db.OperationalError: db.DatabaseError, db.IntegrityError: db.DatabaseError,
            db.InternalError: db.DatabaseError, db.ProgrammingError: db.DatabaseError,
            db.NotSupportedError: db.DatabaseError,
        }
        for cls, parent in parents.items():
            self.assertTrue(issubclass(cls, parent), cls)
            self.assertIs(getattr(db.Connection, cls.__name__), cls)

    def test_constructors_and_type_objects(self):
        ticks = 1040823930
        local = datetime.datetime.fromtimestamp(ticks)
        self.assertEqual(db.DateFromTicks(ticks), db.Date(local.year, local.month, local.day))
        self.assertEqual(db.TimeFromTicks(ticks), db.Time(local.hour, local.minute, local.second))
        self.assertEqual(db.TimestampFromTicks(ticks), local)
        self.assertEqual(db.Binary(b"x\x00"), b"x\x00")
        kinds = [db.STRING, db.BINARY, db.NUMBER, db.DATETIME, db.ROWID]
        for code, kind in ((202, db.STRING), (205, db.BINARY), (131, db.NUMBER), (135, db.DATETIME)):
            self.assertEqual([k == code for k in kinds], [k is kind for k in kinds], code)


class DbApiTests:
    """The checks; a subclass per engine provides dsn() and blob_type."""

    def setUp(self):
        self.con = db.connect(self.dsn())
        self.cur = self.con.cursor()
        self.cur.execute(
            "create table booze (name varchar(40) primary key, price numeric(10,2), sold timestamp,"
            " label %s)" % self.blob_type
        )
        self.con.commit()

    def tearDown(self):
        try:
            self.con.close()  # rolls back what a test left open
        except db.Error:
            pass  # closed by the test
        with db.connect(self.dsn()) as con:
            con.cursor().execute("drop table if exists barflys")
            con.cursor().execute("drop table booze")

    def fill(self):
        self.cur.executemany("insert into booze (name) values (?)", [(s,) for s in SAMPLES])

    def test_connect_by_name_string_or_keys(self):
        with tempfile.NamedTemporaryFile("w", suffix=".ini", delete=False) as ini:
            ini.write("[dbapi_test]\n" + "\n".join(self.dsn().split(";")) + "\n")
        old = os.environ.get("Q6FD_DSN_FILE")
        os.environ["Q6FD_DSN_FILE"] = ini.name
        try:
            for con in (db.connect("dbapi_test"), db.connect(**dict(
                    kv.split("=", 1) for kv in self.dsn().split(";")))):
                with con:
                    self.assertEqual(con.cursor().execute("select count(*) from booze")
                                     .fetchone(), (0,))
            with self.assertRaises(db.OperationalError):
                db.connect("no_such_source")
        finally:
            os.unlink(ini.name)
            if old is None:
                del os.environ["Q6FD_DSN_FILE"]
            else:
                os.environ["Q6FD_DSN_FILE"] = old

    def test_description_and_rowcount(self):
        cur = self.cur
        cur.execute("insert into booze (name, price) values ('Redback', 3.5)")
        self.assertEqual((cur.rowcount, cur.description), (1, None))
        cur.execute("select name, price, sold, label from booze")
        self.assertEqual([d[0] for d in cur.description], ["name", "price", "sold", "label"])
        self.assertTrue(all(len(d) == 7 for d in cur.description))
        self.assertEqual([d[1] for d in cur.description],
                         [db.STRING, db.NUMBER, db.DATETIME, db.BINARY])
        self.assertEqual(cur.rowcount, 1)
        cur.execute("create table barflys (name varchar(20))")
        self.assertEqual((cur.rowcount, cur.description), (-1, None))
        cur.execute("select name from barflys")
        self.assertEqual((cur.fetchall(), cur.rowcount, len(cur.description)), ([], 0, 1))
        cur.executemany("update booze set price = ? where name = ?", [(1, "Redback"), (2, "x")])
        self.assertEqual(cur.rowcount, 1)

    def test_fetch_methods(self):
        cur = self.cur
        for fetch in (cur.fetchone, cur.fetchmany, cur.fetchall):
            self.assertRaises(db.Error, fetch)  # no statement with rows yet
        self.fill()
        self.assertRaises(db.Error, cur.fetchone)  # an insert gives no rows
        cur.execute("select name from booze order by name")
        self.assertEqual(cur.fetchone(), (SAMPLES[0],))
        self.assertEqual(cur.fetchmany(), [(SAMPLES[1],)])  # arraysize 1
        cur.arraysize = 2
        self.assertEqual(cur.fetchmany(), [(SAMPLES[2],), (SAMPLES[3],)])
        self.assertEqual(cur.fetchmany(5), [(SAMPLES[4],)])
        self.assertEqual((cur.fetchmany(), cur.fetchone(), cur.fetchall()), ([], None, []))
        cur.execute("select top 2 name from booze where name like ? + '%' order by name desc",
                    ("carlton",))
        self.assertEqual(list(cur), [("Carlton Draft",), ("Carlton Cold",)])
        self.assertIsNone(cur.nextset())

    def test_parameters_are_bound_values(self):
        values = ("Cooper's'; drop table booze; --", Decimal("12.35"),
                  db.Timestamp(2024, 2, 29, 13, 45, 10), db.Binary(b"\x00\xff'"))
        self.cur.execute("insert into booze values (?, ?, ?, ?)", values)
        self.cur.execute("insert into booze values (?, ?, ?, ?)", ("none", None, None, None))
        self.cur.execute("select * from booze where name = ? or price is null order by name",
                         (values[0],))
        self.assertEqual(self.cur.fetchall(), [values, ("none", None, None, None)])
        with self.assertRaises(db.ProgrammingError):
            self.cur.execute("select ? as a", (1, 2))
        with self.assertRaises(db.ProgrammingError):
            self.cur.execute("select ? + ? as a", (1,))
        with self.assertRaises(db.DataError):  # more digits than any Decimal holds
            self.cur.execute("insert into booze (name, price) values ('x', ?)", (Decimal("1e40"),))

    def test_transactions(self):
        self.fill()
        other = db.connect(self.dsn())
        count = "select count(*) from booze"
        self.assertEqual(other.cursor().execute(count).fetchone(), (0,))  # not committed
        self.con.rollback()
        self.assertEqual(self.cur.execute(count).fetchone(), (0,))
        self.fill()
        self.con.commit()
        self.assertEqual(other.cursor().execute(count).fetchone(), (len(SAMPLES),))
        self.cur.execute("delete from booze")
        self.con.close()  # rolls back the delete
        self.assertEqual(other.cursor().execute(count).fetchone(), (len(SAMPLES),))
        other.close()

    def test_closed_objects_raise(self):
        cur = self.con.cursor()
        cur.close()
        self.assertRaises(db.Error, cur.execute, "select 1")
        self.assertRaises(db.Error, cur.close)
        self.con.close()
        for action in (self.cur.execute, self.con.commit, self.con.cursor, self.con.close):
            self.assertRaises(db.Error, action, *(["select 1"] if action == self.cur.execute
                                                  else []))
        self.assertRaises(db.NotSupportedError, db.connect(self.dsn()).cursor().callproc, "p")

    def test_errors_by_kind(self):
        self.fill()
        self.con.commit()
        with self.assertRaises(db.IntegrityError) as cm:
            self.cur.execute("insert into booze (name) values (?)", (SAMPLES[0],))
        self.assertEqual(cm.exception.kind, "constraint")
        self.assertIsNotNone(cm.exception.__cause__)
        self.con.rollback()
        with self.assertRaises(db.ProgrammingError):
            self.cur.execute("select * from no_such_table")
        self.con.rollback()
        # Another connection waits for the row this one is writing, briefly.
        impatient = db.connect(self.dsn() + ";BusyTimeout=200;LockTimeout=200")
        self.cur.execute("update booze set price = 1 where name = ?", (SAMPLES[0],))
        with self.assertRaises(db.OperationalError) as cm:
            impatient.cursor().execute("update booze set price = 2 where name = ?", (SAMPLES[0],))
        self.assertIn(cm.exception.kind, ("busy", "lock_timeout"))
        impatient.close()

    def test_pandas_reads_a_tsql_query(self):
        self.fill()
        self.con.commit()
        script = (
            "import json, sys, warnings\n"
            "import pandas, q6fdmgr.dbapi as db\n"
            "warnings.simplefilter('ignore', UserWarning)  # pandas names its tested drivers\n"
            "con = db.connect(sys.argv[1])\n"
            "frame = pandas.read_sql('select top 2 name, price from booze where name > ? "
            "order by name', con, params=('D',))\n"
            "print(json.dumps({'columns': list(frame.columns), 'names': list(frame['name'])}))\n"
        )
        python = pandas_python()
        if not python:
            self.skipTest("no interpreter here has pandas (apt-get install python3-pandas)")
        out = subprocess.run([python, "-c", script, self.dsn()], capture_output=True, text=True)
        self.assertEqual(out.returncode, 0, out.stderr)
        self.assertEqual(json.loads(out.stdout),
                         {"columns": ["name", "price"], "names": SAMPLES[2:4]})


def pandas_python():
    """This interpreter when it has pandas, else the system's when that has it."""
    for python in (sys.executable, "/usr/bin/python3"):
        if os.path.exists(python) and subprocess.run(
                [python, "-c", "import pandas"], capture_output=True).returncode == 0:
            return python
    return None


class SqliteDbApiTest(SqliteDatabase, DbApiTests, unittest.TestCase):
    blob_type = "blob"


@requires_pg
class PostgresDbApiTest(PostgresSchema, DbApiTests, unittest.TestCase):
    schema_prefix = "q6dbapi"
    blob_type = "bytea"


if __name__ == "__main__":
    unittest.main()
