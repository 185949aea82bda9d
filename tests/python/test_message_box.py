"""The component's one message box reaches a handler the script sets."""

import os
import subprocess
import tempfile
import unittest

import q6fdmgr as q

from test_hostile import q6fd_binary


class MessageBoxTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.dsn = "Driver=sqlite;Database=" + os.path.join(self.folder.name, "db.sqlite")
        subprocess.run([q6fd_binary(), "seed", self.dsn], check=True, capture_output=True)
        self.shown = []

    def tearDown(self):
        q.SetMessageBoxHandler(None)
        self.folder.cleanup()

    def test_duplicate_caption_is_shown_to_the_handler(self):
        q.SetMessageBoxHandler(lambda text, title, style: self.shown.append((text, title, style)))
        dm = q.Dispatch("Q6FDMgr.DataManager")
        eo = dm.LoadEOMetaData(self.dsn, 53, OnlyEO=True)
        eo.ID = 99
        eo.BIType = 99  # a new type under the caption of type 53
        self.assertFalse(dm.SaveEOMetaData(self.dsn, eo, OnlyEO=True))
        self.assertEqual(self.shown, [("单据类型名称不能重复!", "HalvoERP-Q6资金管理", 64)])

    def test_saving_a_type_under_its_own_caption_shows_nothing(self):
        q.SetMessageBoxHandler(lambda text, title, style: self.shown.append(text))
        dm = q.Dispatch("Q6FDMgr.DataManager")
        eo = dm.LoadEOMetaData(self.dsn, 53, OnlyEO=True)
        self.assertTrue(dm.SaveEOMetaData(self.dsn, eo, OnlyEO=True))
        self.assertEqual(self.shown, [])


if __name__ == "__main__":
    unittest.main()
