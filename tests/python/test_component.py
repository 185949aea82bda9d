"""The component's classes from Python: creation by ProgID, members by name
with named arguments, by-reference write-back through Ref, apartments."""

import os
import tempfile
import unittest

import q6fdmgr as q
from support import (
    DISP_E_BADPARAMCOUNT,
    DISP_E_PARAMNOTFOUND,
    DISP_E_TYPEMISMATCH,
    RPC_E_WRONG_THREAD,
    ComTestCase,
    hresult,
    raised_in_thread,
    requires,
)

# Every creatable class with the members its interface must offer by name.
CLASSES = {
    "Q6FDMgr.LockManager": ("_LockManager", ["LockItEx", "LockIt", "UnlockIt", "UnLockItEx"]),
    "Q6FDMgr.OIDManager": ("_OIDManager", ["GetNewOID", "GetNewCode"]),
    "Q6FDMgr.Querymanager": ("_Querymanager", ["GetQueryResult"]),
    "Q6FDMgr.DataManager": (
        "_DataManager",
        ["MoveTo", "MoveToBySQL", "Delete", "DeleteBIType", "Save", "LoadEOMetaData",
         "SaveEOMetaData", "MaxTop", "MaxQrySqc", "strBiToSqlByEO", "vFieldValue", "GetData",
         "MoveToByRS"],
    ),
    "Q6FDMgr.LogManager": ("_LogManager",
                           ["GetLogFileName", "StartLog", "StopLog", "ReadLine", "WriteLine"]),
}

# Errors that mean the call never reached the method.
BINDING_ERRORS = {DISP_E_PARAMNOTFOUND, DISP_E_BADPARAMCOUNT, DISP_E_TYPEMISMATCH}

NO_SOURCE = "q6fd-python-test-no-such-source"


class CreationTest(ComTestCase):
    def test_each_class_is_created_by_progid_with_its_interface(self):
        missing = []
        for progid, (interface, members) in CLASSES.items():
            with self.subTest(progid):
                try:
                    o = q.Dispatch(progid)
                except q.ComError:
                    missing.append(progid)
                    continue
                self.assertIn(interface, repr(o))
                self.assertLessEqual(set(members), set(dir(o)))
                for m in members:
                    self.assertTrue(callable(getattr(o, m)), m)
                self.assertIn(interface, repr(q.Dispatch(progid.upper())))  # any case
        if missing:
            self.skipTest("not in this process: " + ", ".join(missing))


@requires("Q6FDMgr.DataManager")
class NamedArgumentTest(ComTestCase):
    def test_named_arguments_reach_the_method(self):
        dm = q.Dispatch("Q6FDMgr.DataManager")
        calls = [
            lambda: dm.LoadEOMetaData(NO_SOURCE, 51, OnlyEO=True),
            lambda: dm.LoadEOMetaData(datasourcename=NO_SOURCE, BITYPE=51, getchildeo=False),
            lambda: dm.MaxTop(NO_SOURCE, bistyle=51),
        ]
        for call in calls:
            with self.subTest():
                # The source does not exist, so the method itself fails; what
                # matters is that the arguments were accepted.
                with self.assertRaises(q.ComError) as cm:
                    call()
                self.assertNotIn(hresult(cm.exception), BINDING_ERRORS, cm.exception)

    def test_wrong_names_and_counts_are_refused(self):
        dm = q.Dispatch("Q6FDMgr.DataManager")
        self.assertComError(DISP_E_PARAMNOTFOUND, lambda: dm.LoadEOMetaData(NO_SOURCE, 51, Only=1))
        self.assertComError(DISP_E_BADPARAMCOUNT, lambda: dm.LoadEOMetaData(NO_SOURCE))
        self.assertComError(DISP_E_TYPEMISMATCH, lambda: dm.MaxTop(NO_SOURCE, "fifty-one"))


@requires("Q6FDMgr.LogManager")
class ByReferenceTest(ComTestCase):
    def setUp(self):
        self.lm = q.Dispatch("Q6FDMgr.LogManager")
        self.dir = tempfile.TemporaryDirectory()

    def tearDown(self):
        self.dir.cleanup()

    def start(self, path):
        err = q.Ref()
        ok = self.lm.StartLog(path, strError=err)
        if not ok and "not registered" in str(err.value):
            self.skipTest("the file-system class is not in this process: " + err.value)
        return ok, err

    def test_ref_receives_what_the_method_wrote(self):
        missing = os.path.join(self.dir.name, "no-such-folder", "x.log")
        ok, err = self.start(missing)
        self.assertIs(ok, False)
        self.assertIsInstance(err.value, str)
        self.assertTrue(err.value, "StartLog writes its reason into strError")

    def test_ref_comes_back_converted_to_the_parameter_type(self):
        ok, _ = self.start(os.path.join(self.dir.name, "a.log"))
        self.assertIs(ok, True)
        line = q.Ref(51)
        self.lm.WriteLine(line)  # strInfo is a by-reference String
        self.assertEqual(line.value, "51")
        kill = q.Ref(1)
        self.lm.StopLog(bKill=kill)  # a named by-reference argument
        self.assertIs(kill.value, True)
        self.assertFalse(os.path.exists(os.path.join(self.dir.name, "a.log")))

    def test_ref_is_untouched_when_the_call_fails(self):
        info = q.Ref(2**40)
        with self.assertRaises(q.ComError):
            self.lm.WriteLine(info, "extra")
        self.assertEqual(info.value, 2**40)
        self.assertIs(type(info.value), int)

    def test_method_reachable_by_name(self):
        path = os.path.join(self.dir.name, "b.log")
        self.assertEqual(self.lm.GetLogFileName(), "")
        ok, _ = self.start(path)
        self.assertIs(ok, True)
        self.assertEqual(self.lm.getlogfilename(), path)

    def test_calls_from_another_thread_fail_with_wrong_thread(self):
        e = raised_in_thread(self.lm.GetLogFileName)
        self.assertIsInstance(e, q.ComError)
        self.assertEqual(hex(hresult(e)), hex(RPC_E_WRONG_THREAD))


if __name__ == "__main__":
    unittest.main()
