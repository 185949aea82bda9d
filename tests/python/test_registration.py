"""Registration round trip from Python: the library's exported entry points
write the registration store, objects are then created through it, and
unregistering leaves nothing of ours behind.

Runs only when Q6FD_LIB names the built library and Q6FD_REGISTRY names a
store of the test's own (the test command sets both), so a manual run never
touches a user's store."""

import ctypes
import os
import unittest

import q6fdmgr as q
from support import ComTestCase

LIB = os.environ.get("Q6FD_LIB", "")
STORE = os.environ.get("Q6FD_REGISTRY", "")

PROGIDS = ["Q6FDMgr.LockManager", "Q6FDMgr.OIDManager", "Q6FDMgr.Querymanager",
           "Q6FDMgr.DataManager", "Q6FDMgr.LogManager"]


def store_text():
    if not os.path.exists(STORE):
        return ""
    with open(STORE, encoding="utf-8") as f:
        return f.read()


@unittest.skipUnless(LIB and os.path.exists(LIB) and STORE,
                     "needs Q6FD_LIB (the built library) and Q6FD_REGISTRY (a test store)")
class RegistrationTest(ComTestCase):
    def test_register_create_unregister(self):
        lib = ctypes.CDLL(LIB)
        for _ in range(2):  # registering twice is harmless
            self.assertEqual(lib.DllRegisterServer(), 0)
        text = store_text()
        for progid in PROGIDS:
            with self.subTest(progid):
                self.assertIn(progid, text)
                self.assertIn(progid.split(".")[1], repr(q.Dispatch(progid)))
        self.assertEqual(lib.DllUnregisterServer(), 0)
        self.assertNotIn("Q6FDMgr", store_text())


if __name__ == "__main__":
    unittest.main()
