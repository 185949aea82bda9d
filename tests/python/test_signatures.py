"""What help() and inspect show of a member, the enumeration constants, and
the warning for a by-reference result given a plain value (on SQLite and,
when Q6FD_TEST_PG names a server, on PostgreSQL)."""

import inspect
import os
import pydoc
import shutil
import subprocess
import tempfile
import unittest
import warnings

import q6fdmgr as q
from test_hostile import q6fd_binary

OMITTED = "omitted"

# progid, member, [(name, default or None when required or OMITTED, by reference)]
SIGNATURES = [
    ("Q6FDMgr.DataManager", "LoadEOMetaData",
     [("DataSourceName", None, True), ("BIType", None, True), ("OnlyEO", False, True),
      ("OnlyUsed", 0, True), ("GetChildEO", True, True)]),
    ("Q6FDMgr.OIDManager", "GetNewCode",
     [("DataSourceName", None, False), ("BIStyle", None, True), ("Locked", True, True)]),
    ("Q6FDMgr.LockManager", "UnlockIt",
     [("DataSourceName", None, True), ("vID", "", True), ("UserName", OMITTED, True),
      ("WorkStation", OMITTED, True), ("ModName", OMITTED, True), ("iClass", 7, True)]),
    ("Q6FDMgr.LogManager", "StopLog", [("bKill", False, True)]),
]


class SignatureTest(unittest.TestCase):
    def test_parameters_defaults_and_by_reference_marks(self):
        for progid, member, expected in SIGNATURES:
            with self.subTest(member=member):
                fn = getattr(q.Dispatch(progid), member)
                params = list(inspect.signature(fn).parameters.values())
                self.assertEqual([p.name for p in params], [e[0] for e in expected])
                for p, (name, default, by_ref) in zip(params, expected):
                    if default is None:
                        self.assertIs(p.default, inspect.Parameter.empty, name)
                    elif default == OMITTED:
                        self.assertEqual(repr(p.default), "<omitted>", name)
                    else:
                        self.assertEqual(p.default, default, name)
                    self.assertEqual(p.annotation.startswith("ByRef "), by_ref, name)

    def test_help_shows_signature_description_and_ref(self):
        dm = q.Dispatch("Q6FDMgr.DataManager")
        text = pydoc.render_doc(dm.GetData, renderer=pydoc.plaintext)
        for part in ("GetData(con: 'ByRef Connection'", "Reads all records", "q6fdmgr.Ref("):
            self.assertIn(part, text)
        self.assertIn("LoadEOMetaData", pydoc.render_doc(dm, renderer=pydoc.plaintext))

    def test_every_member_of_every_class_has_a_signature_and_doc(self):
        for progid in ("Q6FDMgr.DataManager", "Q6FDMgr.LockManager", "Q6FDMgr.OIDManager",
                       "Q6FDMgr.Querymanager", "Q6FDMgr.LogManager"):
            obj = q.Dispatch(progid)
            for name in dir(obj):
                attr = getattr(obj, name)
                if callable(attr):
                    with self.subTest(member=progid + "." + name):
                        inspect.signature(attr)
                        self.assertTrue(attr.__doc__.startswith(name + "("))

    def test_enumerations_as_constants(self):
        expected = {"enum_First": 0, "enum_Previous": 1, "enum_Current": 2, "enum_Next": 3,
                    "enum_Last": 4, "enum_All": 1, "enum_ByHost": 2, "enum_ByUser": 3,
                    "enum_ByHostAndUser": 4, "enum_ByMod": 5, "enum_byClass": 6, "enum_byID": 7,
                    "EditStateNew": 2, "EditStateDeleted": 4, "EditStateOtherSave6": 6,
                    "DataTypeText": 1, "DataTypeBoolean": 6, "DataTypeQuoted9": 9,
                    "TypeLong": 3, "TypeString": 8}
        for name, value in expected.items():
            with self.subTest(name=name):
                self.assertEqual(getattr(q, name), value)
                self.assertEqual(getattr(q.constants, name), value)


class DiscardedResultTests:
    """GetData writes its recordsets into by-reference parameters."""

    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.mkdtemp(prefix="q6sig")
        cls.dsn = cls.make_dsn()
        subprocess.run([q6fd_binary(), "seed", cls.dsn], check=True, capture_output=True)

    @classmethod
    def tearDownClass(cls):
        cls.drop()
        shutil.rmtree(cls.dir, ignore_errors=True)

    def test_plain_value_warns_and_ref_receives(self):
        dm = q.Dispatch("Q6FDMgr.DataManager")
        con = q.Dispatch("ADODB.Connection")
        con.Open(self.dsn)
        eo = dm.LoadEOMetaData(self.dsn, 51)
        cases = [((None, None), 2), ((None, q.Ref()), 1), ((q.Ref(), q.Ref()), 0)]
        for (prs, crs), warned in cases:
            with self.subTest(prs=prs, crs=crs), warnings.catch_warnings(record=True) as seen:
                warnings.simplefilter("always")
                self.assertTrue(dm.GetData(con, eo, prs, crs))
                mine = [w for w in seen if issubclass(w.category, q.ResultDiscardedWarning)]
                self.assertEqual(len(mine), warned)
                for w in mine:
                    self.assertIn("q6fdmgr.Ref()", str(w.message))
                    self.assertEqual(w.filename, __file__)
                if isinstance(prs, q.Ref):
                    self.assertGreater(prs.value.RecordCount, 0)


class SqliteDiscardedResultTest(DiscardedResultTests, unittest.TestCase):
    @classmethod
    def make_dsn(cls):
        return "Driver=sqlite;Database=" + os.path.join(cls.dir, "db.sqlite")

    @classmethod
    def drop(cls):
        pass


@unittest.skipUnless(os.environ.get("Q6FD_TEST_PG"), "Q6FD_TEST_PG names no PostgreSQL server")
class PostgresDiscardedResultTest(DiscardedResultTests, unittest.TestCase):
    @classmethod
    def make_dsn(cls):
        cls.schema = "q6sig_%d" % os.getpid()
        cls.admin("drop schema if exists %s cascade; create schema %s" % (cls.schema, cls.schema))
        return os.environ["Q6FD_TEST_PG"] + ";Schema=" + cls.schema

    @classmethod
    def drop(cls):
        cls.admin("drop schema if exists %s cascade" % cls.schema)

    @staticmethod
    def admin(sql):
        con = q.Dispatch("ADODB.Connection")
        con.Open(os.environ["Q6FD_TEST_PG"])
        for statement in sql.split(";"):
            con.Execute(statement)
        con.Close()


if __name__ == "__main__":
    unittest.main()
