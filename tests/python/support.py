"""Helpers shared by the Python client tests."""

import os
import tempfile
import threading
import unittest

import q6fdmgr as q

# Error numbers the tests look for, unsigned as they are usually written.
DISP_E_PARAMNOTFOUND = 0x80020004
DISP_E_TYPEMISMATCH = 0x80020005
DISP_E_UNKNOWNNAME = 0x80020006
DISP_E_BADPARAMCOUNT = 0x8002000E
REGDB_E_CLASSNOTREG = 0x80040154
RPC_E_WRONG_THREAD = 0x8001010E
VB_INVALID_PROCEDURE_CALL = 0x800A0005
VB_OVERFLOW = 0x800A0006
VB_TYPE_MISMATCH = 0x800A000D


# The PostgreSQL server the tests may use (a connection string), or None.
PG = os.environ.get("Q6FD_TEST_PG")
requires_pg = unittest.skipUnless(PG, "Q6FD_TEST_PG names no PostgreSQL server")


def q6fd_binary():
    """The built command line: beside the library under test, else on PYTHONPATH's side."""
    lib = os.environ.get("Q6FD_LIB")
    if lib:
        return os.path.join(os.path.dirname(os.path.dirname(lib)), "bin", "q6fd")
    for p in os.environ.get("PYTHONPATH", "").split(os.pathsep):
        candidate = os.path.join(os.path.dirname(os.path.abspath(p)), "bin", "q6fd")
        if os.path.exists(candidate):
            return candidate
    return "q6fd"


def _pg_execute(sql):
    admin = q.Dispatch("ADODB.Connection")
    admin.Open(PG)
    try:
        admin.Execute(sql)
    finally:
        admin.Close()


def pg_schema_dsn(schema):
    """A data source on a new, empty schema of the PostgreSQL server."""
    _pg_execute("drop schema if exists %s cascade" % schema)
    _pg_execute("create schema %s" % schema)
    return PG + ";Schema=" + schema


def drop_pg_schema(schema):
    _pg_execute("drop schema if exists %s cascade" % schema)


def rows(con, sql):
    """Every row of `sql` on the ADODB connection `con`, as tuples of values."""
    rs = con.Execute(sql)
    out = []
    while not rs.EOF:
        f = rs.Fields
        out.append(tuple(f.Item(i).Value for i in range(f.Count)))
        rs.MoveNext()
    return out


def available(progid):
    """True when `progid` can be created in this process."""
    try:
        q.Dispatch(progid)
        return True
    except q.ComError:
        return False


def requires(*progids):
    """Skips a test or class while one of `progids` is not in the process."""
    missing = [p for p in progids if not available(p)]
    return unittest.skipUnless(not missing, "not in this process: " + ", ".join(missing))


def hresult(error):
    """The unsigned error number of a ComError."""
    return error.hresult & 0xFFFFFFFF


def raised_in_thread(action):
    """Runs `action` in a new thread and returns the exception it raised."""
    seen = []

    def run():
        try:
            action()
        except BaseException as e:  # handed back to the test thread
            seen.append(e)

    t = threading.Thread(target=run)
    t.start()
    t.join()
    return seen[0] if seen else None


class ComTestCase(unittest.TestCase):
    def assertComError(self, expected_hresult, action, *args, **kwargs):
        """Runs action(*args, **kwargs) and checks the ComError it raises."""
        with self.assertRaises(q.ComError) as cm:
            action(*args, **kwargs)
        e = cm.exception
        self.assertEqual(hex(hresult(e)), hex(expected_hresult), e.description)
        self.assertIsInstance(e.hresult, int)
        self.assertTrue(e.description, "a ComError carries a description")
        return e


class SqliteDatabase:
    """Mixin for a test class: dsn() names a SQLite file in a folder of the class."""

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.dir = tempfile.TemporaryDirectory()

    @classmethod
    def tearDownClass(cls):
        cls.dir.cleanup()
        super().tearDownClass()

    def dsn(self):
        return "Driver=sqlite;Database=" + os.path.join(self.dir.name, "test.db")


class PostgresSchema:
    """Mixin for a test class: dsn() names a new schema of the PostgreSQL
    server (schema_prefix and the process id), dropped after the class."""

    schema_prefix = "q6py"

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.schema = "%s_%d" % (cls.schema_prefix, os.getpid())
        cls.pg_dsn = pg_schema_dsn(cls.schema)

    @classmethod
    def tearDownClass(cls):
        drop_pg_schema(cls.schema)
        super().tearDownClass()

    def dsn(self):
        return self.pg_dsn
