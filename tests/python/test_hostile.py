"""Hostile text through every text parameter of the five classes.

The list of text parameters is read from the member tables (each bound
member's signature), so a method or parameter added later is covered, or the
test names it as missing a plan. Every hostile value goes into one parameter at
a time, the others holding sound values, against a seeded database with a
canary table. After each call: no crash, the canary and the metadata and lock
tables are as before, and the call either raised a ComError with a short
description or, where the value is stored (lock ids, users, digests, log
lines), it reads back exactly. Field values and metadata texts carried by
entity objects are checked the same way. Runs on SQLite and, when
Q6FD_TEST_PG names a server, on PostgreSQL in a schema of its own.
"""

import os
import re
import shutil
import subprocess
import tempfile
import unittest

import q6fdmgr as q
from support import drop_pg_schema, pg_schema_dsn, q6fd_binary, requires_pg, rows

MIB = 1 << 20

HOSTILE = {
    "quote": "O'Brien",
    "lone quote": "'",
    "injection": "'; drop table fd_locks; --",
    "canary injection": "x'); drop table canary; --",
    "always true": "x' or '1'='1",
    "batch": "1=1; drop table canary",
    "line comment": "-- comment",
    "block comment": "/* open",
    "dialect words": "left(a,1) [b] with(updlock) top 5 isnull(x,0) getdate() AS 'c' \"d\"",
    "placeholders": "?1 $1 :p @p %s \\ \\'",
    "nul": "a\x00b'; drop table canary; --",
    "non-ascii": "资金管理 Ünïcödé ß €",
    "right-to-left": "\u05e9\u05dc\u05d5\u05dd \u202eevil\u202c \u0627\u0644\u0639\u0631\u0628\u064a\u0629",
    "1 MiB": ("ab'c-- " * (MIB // 7 + 1))[:MIB],
}

# A ComError's description must say what went wrong, not repeat a megabyte.
MAX_DESCRIPTION = 4096

CANARY = [(1, "alpha"), (2, "O'Neil"), (3, "资金")]

PARAM = re.compile(r'(?:\[Optional\] )?By(?:Ref|Val) (\w+) As (\w+)(?: = (?:"(?:[^"]|"")*"|[^,)]+))?')
MEMBER = re.compile(r"^(?:Function|Sub) (\w+)\((.*?)\)(?: As \w+)?  \[id")


def text_parameters(obj):
    """{method: [(parameter, type)]} of `obj`, from its member signatures."""
    out = {}
    for name in dir(obj):
        sig = repr(getattr(obj, name)).split(": ", 1)[1]
        m = MEMBER.match(sig)
        if not m:
            continue
        params = PARAM.findall(m.group(2))
        out[m.group(1)] = [(p, t) for p, t in params if t in ("String", "Variant")]
    return out


class Database:
    """A seeded data source with a canary table, and a connection to look."""

    def __init__(self, dsn):
        self.dsn = dsn
        subprocess.run([q6fd_binary(), "seed", dsn], check=True, capture_output=True)
        self.con = q.Dispatch("ADODB.Connection")
        self.con.Open(dsn)
        self.run("create table canary (id integer, note varchar(40))")
        for i, note in CANARY:
            self.run("insert into canary values (%d, '%s')" % (i, note.replace("'", "''")))

    def run(self, sql):
        self.con.Execute(sql)

    def rows(self, sql):
        return rows(self.con, sql)

    def snapshot(self):
        """What no call may change: canary rows and the row counts."""
        return (
            self.rows("select id, note from canary order by id"),
            self.rows("select count(*) from FD_Entities")[0][0],
            self.rows("select count(*) from FD_Fields")[0][0],
            self.rows("select count(*) from FD_Locks")[0][0],
            self.rows("select count(*) from fd_receipt")[0][0],
        )

    def close(self):
        self.con.Close()


LOCK_ARGS = {"vID": "510000000000001", "UserName": "u", "WorkStation": "pc", "ModName": "fd",
             "iClass": 7, "sDigest": "digest", "sSeparator": ","}
LOCK_ROW = "select locks_id, user_name, workstation_name, mod_name, class_flag, digest from FD_Locks"


class HostileTests:
    """The checks; a subclass per engine provides `make_dsn` and `drop`."""

    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.mkdtemp(prefix="q6hostile")
        cls.db = Database(cls.make_dsn())
        cls.dm = q.Dispatch("Q6FDMgr.DataManager")
        cls.baseline = cls.db.snapshot()

    @classmethod
    def tearDownClass(cls):
        cls.db.close()
        cls.drop()
        shutil.rmtree(cls.dir, ignore_errors=True)

    # -- what each method needs besides the hostile value ------------------

    def plans(self):
        """{(ProgID, method): (sound arguments by name, check or None)}."""
        dsn = self.db.dsn
        eo = lambda: self.dm.LoadEOMetaData(dsn, 51)  # noqa: E731
        lock = dict(DataSourceName=dsn, **LOCK_ARGS)
        return {
            ("Q6FDMgr.LockManager", "LockIt"): (lock, self.check_lock_it),
            ("Q6FDMgr.LockManager", "LockItEx"): (lock, self.check_lock_it_ex),
            ("Q6FDMgr.LockManager", "UnlockIt"): (lock, self.check_unlock),
            ("Q6FDMgr.LockManager", "UnLockItEx"): (lock, self.check_unlock),
            ("Q6FDMgr.OIDManager", "GetNewOID"): (dict(DataSource=dsn, BIStyle=51), None),
            ("Q6FDMgr.OIDManager", "GetNewCode"):
                (dict(DataSourceName=dsn, BIStyle=51, Locked=False), None),
            ("Q6FDMgr.Querymanager", "GetQueryResult"): (dict(vDsn=dsn, objQry=eo), None),
            ("Q6FDMgr.DataManager", "MoveToBySQL"):
                (dict(DataSourceName=dsn, Sql="select oid, payer from fd_receipt"), None),
            ("Q6FDMgr.DataManager", "LoadEOMetaData"): (dict(DataSourceName=dsn, BIType=51), None),
            ("Q6FDMgr.DataManager", "SaveEOMetaData"):
                (dict(DataSourceName=dsn, EO=eo, OnlyEO=True), None),
            ("Q6FDMgr.DataManager", "MaxTop"): (dict(DataSourceName=dsn, BIStyle=51), None),
            ("Q6FDMgr.DataManager", "MaxQrySqc"): (dict(DataSourceName=dsn, BIStyle=51), None),
            ("Q6FDMgr.DataManager", "vFieldValue"):
                (dict(strDsn=dsn, sName="payer", EO=eo, sWhere="", vVal="none", strError=""),
                 None),
            ("Q6FDMgr.LogManager", "StartLog"):
                (dict(strFile=os.path.join(self.dir, "start.log"), strError=""), self.check_start),
            ("Q6FDMgr.LogManager", "WriteLine"): (dict(strInfo="line"), None),
        }

    # -- storage checks: called after a call that did not raise ------------

    def check_lock_it(self, args, result, param, value):
        self.assertIs(result, True)
        stored = self.db.rows(LOCK_ROW)
        expected = (args["vID"].value, args["UserName"].value, args["WorkStation"].value,
                    args["ModName"].value, "7", args["sDigest"].value)
        self.assertEqual(stored, [expected])
        if param in ("vID", "UserName", "WorkStation", "ModName"):
            self.assertEqual(args[param].value, value.lower())  # stored in lower case

    def check_lock_it_ex(self, args, result, param, value):
        self.assertIs(result, True)
        rows = self.db.rows(LOCK_ROW)
        self.assertTrue(rows)
        for row in rows:
            self.assertEqual(row[1:], (args["UserName"].value.lower(),
                                       args["WorkStation"].value.lower(),
                                       args["ModName"].value.lower(), "7", args["sDigest"].value))

    def check_unlock(self, args, result, param, value):
        if param == "vID":  # a hostile id matches no lock: the sound one stays
            self.assertEqual(len(self.db.rows(LOCK_ROW)), 1)

    def check_start(self, args, result, param, value):
        lm = args["__object__"]
        if result:
            self.assertTrue(os.path.exists(lm.GetLogFileName()))
        else:
            self.assertTrue(args["strError"].value, "a failed start says why")

    # -- the driver ----------------------------------------------------------

    def call(self, progid, method, params, base, param, value):
        obj = q.Dispatch(progid)
        args = {}
        for name, _ in params:
            v = value if name == param else base.get(name)
            if callable(v):
                v = v()
            if name == "strFile" and name == param:
                v = os.path.join(self.dir, value)
            args[name] = q.Ref(v) if name in dict(self.text_params[(progid, method)]) else v
        named = {n: a for n, a in args.items() if a is not None}
        if progid == "Q6FDMgr.LogManager" and method != "StartLog":
            obj.StartLog(os.path.join(self.dir, "w.log"))
        if progid == "Q6FDMgr.LockManager" and method in ("UnlockIt", "UnLockItEx"):
            q.Dispatch(progid).LockIt(self.db.dsn, *[LOCK_ARGS[k] for k in
                                                    ("vID", "UserName", "WorkStation", "ModName",
                                                     "iClass", "sDigest")])
        result = getattr(obj, method)(**named)
        args["__object__"] = obj
        return args, result

    def test_every_text_parameter_takes_hostile_values(self):
        plans = self.plans()
        self.text_params = {}
        all_params = {}
        for progid in ("Q6FDMgr.LockManager", "Q6FDMgr.OIDManager", "Q6FDMgr.Querymanager",
                       "Q6FDMgr.DataManager", "Q6FDMgr.LogManager"):
            obj = q.Dispatch(progid)
            for method, texts in text_parameters(obj).items():
                sig = repr(getattr(obj, method)).split(": ", 1)[1]
                all_params[(progid, method)] = PARAM.findall(MEMBER.match(sig).group(2))
                if texts:
                    self.text_params[(progid, method)] = texts
        # Every method with a text parameter has a plan, and no plan is stale.
        self.assertEqual(sorted(self.text_params), sorted(plans))
        self.assertGreaterEqual(sum(len(t) for t in self.text_params.values()), 30)

        for (progid, method), texts in sorted(self.text_params.items()):
            base, check = plans[(progid, method)]
            for param, _ in texts:
                for label, value in HOSTILE.items():
                    with self.subTest(method=method, param=param, value=label):
                        try:
                            self.one_call(progid, method, all_params, base, check, param, value)
                        finally:
                            self.db.run("delete from FD_Locks")

    def one_call(self, progid, method, all_params, base, check, param, value):
        error = None
        try:
            args, result = self.call(progid, method, all_params[(progid, method)], base,
                                          param, value)
        except q.ComError as e:
            error = e  # checked outside the handler: no chained megabyte tracebacks
        if error is not None:
            self.assertClear(error)
        else:
            if check:
                check(args, result, param, value)
            if method == "WriteLine":
                self.check_written(args["__object__"], value)
        after = self.db.snapshot()
        if progid == "Q6FDMgr.LockManager":  # locks are checked above, then cleared
            after = after[:3] + (self.baseline[3],) + after[4:]
        self.assertEqual(after, self.baseline)

    def check_written(self, lm, value):
        lm.StopLog()
        with open(lm.GetLogFileName(), "rb") as f:
            text = f.read().decode("utf-8")
        lines = text.split("\r\n") if "\r\n" in text else text.split("\n")
        self.assertEqual(lines[1], value.strip(" "))

    def assertClear(self, e):
        d = e.description
        self.assertIsInstance(d, str)
        self.assertTrue(d.strip(), "a ComError carries a description")
        self.assertLessEqual(len(d), MAX_DESCRIPTION, d[:200])
        self.assertLess(e.hresult, 0)

    # -- values carried by entity objects -------------------------------------

    def new_receipt(self, oid, **values):
        eo = self.dm.LoadEOMetaData(self.db.dsn, 51, GetChildEO=False)
        eo.EditState = 2
        eo.OID.Value = oid
        eo.Fields.Item("oid").Value = oid
        for name, v in values.items():
            eo.Fields.Item(name).Value = v
        return eo

    def test_field_values_are_saved_and_read_back_exactly(self):
        con = q.Dispatch("ADODB.Connection")
        con.Open(self.db.dsn)
        for n, (label, value) in enumerate(HOSTILE.items()):
            for column in ("payer", "remark"):
                oid = "5199%011d" % (n * 2 + (column == "remark"))
                with self.subTest(column=column, value=label):
                    eo = self.new_receipt(oid, **{column: value})
                    try:
                        self.dm.Save(con, eo)
                    except q.ComError as e:
                        self.assertClear(e)
                        self.assertEqual(self.db.rows(
                            "select count(*) from fd_receipt where oid='%s'" % oid)[0][0], 0)
                        continue
                    stored = self.db.rows("select %s from fd_receipt where oid='%s'" %
                                          (column, oid))
                    self.assertEqual(stored, [(value,)])
                    self.db.run("delete from fd_receipt where oid='%s'" % oid)
        self.assertEqual(self.db.snapshot(), self.baseline)

    def test_hostile_oids_touch_no_other_record(self):
        con = q.Dispatch("ADODB.Connection")
        con.Open(self.db.dsn)
        for label, value in HOSTILE.items():
            with self.subTest(value=label):
                eo = self.dm.LoadEOMetaData(self.db.dsn, 51)
                eo.OID.Value = value
                eo.EditState = 4
                for action in (lambda: self.dm.Delete(con, eo),
                               lambda: self.dm.MoveTo(con, eo, 2),
                               lambda: self.dm.vFieldValue(self.db.dsn, "payer", eo)):
                    try:
                        action()
                    except q.ComError as e:
                        self.assertClear(e)
                    self.assertEqual(self.db.snapshot(), self.baseline)

    def test_metadata_texts_are_saved_and_read_back_exactly(self):
        for label, value in HOSTILE.items():
            with self.subTest(value=label):
                eo = self.dm.LoadEOMetaData(self.db.dsn, 5, OnlyEO=True)
                before = (eo.Caption, eo.Description)
                eo.Caption = value
                eo.Description = value
                try:
                    saved = self.dm.SaveEOMetaData(self.db.dsn, eo, OnlyEO=True)
                except q.ComError as e:
                    self.fail("SaveEOMetaData reports failure by its result: %s" % e)
                back = self.dm.LoadEOMetaData(self.db.dsn, 5, OnlyEO=True)
                if saved:
                    self.assertEqual((back.Caption, back.Description), (value, value))
                    back.Caption, back.Description = before
                    self.assertTrue(self.dm.SaveEOMetaData(self.db.dsn, back, OnlyEO=True))
                else:
                    self.assertEqual((back.Caption, back.Description), before)
                self.assertEqual(self.db.snapshot(), self.baseline)


class SqliteHostileTest(HostileTests, unittest.TestCase):
    @classmethod
    def make_dsn(cls):
        return "Driver=sqlite;Database=" + os.path.join(cls.dir, "db.sqlite")

    @classmethod
    def drop(cls):
        pass


@requires_pg
class PostgresHostileTest(HostileTests, unittest.TestCase):
    @classmethod
    def make_dsn(cls):
        cls.schema = "q6hostile_%d" % os.getpid()
        return pg_schema_dsn(cls.schema)

    @classmethod
    def drop(cls):
        drop_pg_schema(cls.schema)


if __name__ == "__main__":
    unittest.main()
