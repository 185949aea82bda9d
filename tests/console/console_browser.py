"""q6fd serve in a real browser (headless chromium through selenium).

For each engine (SQLite on a file; PostgreSQL on a schema of the server named
by Q6FD_TEST_PG): a database with the sample types, a record whose text is a
script tag, a lock left by a process that has ended and an administrator's
lock; then the console is started on a free port and driven as a person
would: log in with the printed token, open a type, page through records, see
the hostile value as text, release the stale lock after confirming, see a
change without the anti-forgery token refused, and everything that changes
something refused by a console started with --read-only.

Q6FD_BIN names the program. Q6FD_CONSOLE_SCREENSHOTS=<folder> saves a PNG of
each page there (docs/console/ holds the committed ones). Without chromium,
chromedriver or selenium the test is skipped with a message, except under CI
(CI=true), where they must be installed (scripts/deps.sh).
"""

import os
import re
import shutil
import subprocess
import tempfile
import threading
import unittest
import urllib.error
import urllib.request

Q6FD = os.environ.get("Q6FD_BIN", "q6fd")
PG = os.environ.get("Q6FD_TEST_PG")
SHOTS = os.environ.get("Q6FD_CONSOLE_SCREENSHOTS")
CHROMIUM = shutil.which("chromium")
DRIVER = shutil.which("chromedriver")
try:
    from selenium import webdriver
    from selenium.common.exceptions import NoAlertPresentException
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.by import By
    from selenium.webdriver.support.ui import WebDriverWait
except ImportError:
    webdriver = None

MISSING = [name for name, there in (("chromium", CHROMIUM), ("chromedriver", DRIVER),
                                    ("python3-selenium", webdriver)) if not there]
if MISSING and os.environ.get("CI") == "true":
    raise SystemExit("console browser test: %s missing (scripts/deps.sh installs them)"
                     % ", ".join(MISSING))

HOSTILE = "<script>alert('x')</script>"
STALE_ID = "510000000000005"
ADMIN_ID = "510000000000009"


def q6fd(*args):
    return subprocess.run([Q6FD, *args], check=True, capture_output=True, text=True).stdout


def prepare(dsn):
    """The sample types with 30 receipts, a hostile text, a stale and an admin lock."""
    q6fd("init", dsn)
    q6fd("seed", dsn, "--documents", "30")
    q6fd("sql", dsn, "update fd_receipt set remark = '%s' where oid = '510000000000003'"
         % HOSTILE.replace("'", "''"))
    # Taken by a process that ends at once: its holder is provably gone.
    q6fd("call", "Q6FDMgr.LockManager.LockIt", dsn, STALE_ID, "bob", "pc7", "fd")
    q6fd("lock", dsn, "--id", ADMIN_ID, "--as", "admin", "--at", "srv", "--module", "fd")


class Console:
    """A running `q6fd serve`: its base URL and login token."""

    def __init__(self, dsn, *extra):
        self.proc = subprocess.Popen([Q6FD, "serve", dsn, "--listen", "127.0.0.1:0", *extra],
                                     stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        first = self.proc.stdout.readline()
        second = self.proc.stdout.readline()
        m = re.search(r"(http://\S+/)\?token=([0-9a-f]+)", second)
        if not m:
            self.proc.kill()
            raise AssertionError("no login URL printed: %r %r %r"
                                 % (first, second, self.proc.stderr.read()))
        self.base, self.token = m.group(1), m.group(2)

    def stop(self):
        """Stops the console as Ctrl-C would; it must end cleanly (exit 0, nothing on
        standard error: no crash at shutdown, no sanitizer report)."""
        self.proc.terminate()
        _, err = self.proc.communicate(timeout=30)
        if self.proc.returncode != 0 or err.strip():
            raise AssertionError("q6fd serve ended with %s: %s" % (self.proc.returncode, err))


def post(url, data, cookie):
    """POSTs a form outside the browser; returns the status."""
    req = urllib.request.Request(url, data=data.encode(), method="POST",
                                 headers={"Cookie": cookie})
    try:
        with urllib.request.urlopen(req) as r:
            return r.status
    except urllib.error.HTTPError as e:
        return e.code


@unittest.skipIf(MISSING, "console browser test skipped: %s not installed" % ", ".join(MISSING))
class ConsoleInBrowser(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        # The databases are made while the browser starts (both take seconds).
        cls.tmp = tempfile.TemporaryDirectory()
        cls.dsns = {"sqlite": "Driver=sqlite;Database=" + os.path.join(cls.tmp.name, "c.db")}
        if PG:
            cls.schema = "console_browser_%d" % os.getpid()
            q6fd("sql", PG, "create schema " + cls.schema)
            cls.dsns["postgresql"] = PG + ";Schema=" + cls.schema
        failures = []

        def prepare_or_note(dsn):
            try:
                prepare(dsn)
            except subprocess.CalledProcessError as e:
                failures.append("%s: %s" % (e.cmd, e.stderr))

        makers = [threading.Thread(target=prepare_or_note, args=(d,)) for d in cls.dsns.values()]
        for t in makers:
            t.start()
        opts = webdriver.ChromeOptions()
        opts.binary_location = CHROMIUM
        for a in ("--headless=new", "--no-sandbox", "--disable-dev-shm-usage",
                  "--window-size=1280,900", "--lang=en"):
            opts.add_argument(a)
        try:
            cls.browser = webdriver.Chrome(service=Service(DRIVER), options=opts)
        finally:
            for t in makers:
                t.join()
        if failures:
            cls.tearDownClass()
            raise AssertionError("preparing the databases failed: " + "; ".join(failures))

    @classmethod
    def tearDownClass(cls):
        if getattr(cls, "browser", None):
            cls.browser.quit()
            cls.browser = None
        if PG:
            q6fd("sql", PG, "drop schema if exists %s cascade" % cls.schema)
        cls.tmp.cleanup()

    def shot(self, name):
        if SHOTS:
            os.makedirs(SHOTS, exist_ok=True)
            self.browser.save_screenshot(os.path.join(SHOTS, name + ".png"))

    def press(self, element):
        """Clicks `element` and waits until the next page has replaced this one."""
        b = self.browser
        b.execute_script("window.q6fdOldPage = true")
        element.click()
        WebDriverWait(b, 10).until(lambda d: d.execute_script(
            "return !window.q6fdOldPage && document.readyState == 'complete'"))

    def click(self, text):
        self.press(self.browser.find_element(By.LINK_TEXT, text))

    def login(self, token):
        self.browser.find_element(By.NAME, "token").send_keys(token)
        self.press(self.browser.find_element(By.CSS_SELECTOR, "form button"))

    def cells(self, css, column):
        """The text of column `column` of each row of the table `css`."""
        return self.browser.execute_script(
            "return Array.from(document.querySelectorAll(arguments[0] + ' tbody tr'),"
            " r => r.cells[arguments[1]].textContent)", css, column)

    def heading(self):
        return self.browser.find_element(By.TAG_NAME, "h1").text

    def run_console(self, dsn, shots):
        b = self.browser
        b.delete_all_cookies()
        con = Console(dsn)
        try:
            # Without the cookie: the login form; a wrong token is refused.
            b.get(con.base + "locks?ds=0")
            self.assertEqual(self.heading(), "Log in")
            if shots:
                self.shot("login")
            self.login("0" * 64)
            self.assertIn("not the console's token", b.page_source)
            self.login(con.token)
            self.assertEqual(self.heading(), "Data sources")

            # A type's definition: fields, the child type, the query object.
            self.click("Document types")
            if shots:
                self.shot("types")
            self.press(b.find_element(By.XPATH, "//tr[td[1]='51']//a[text()='definition']"))
            self.assertIn("Type 51", self.heading())
            self.assertIn("Child type 52", b.page_source)
            if shots:
                self.shot("type")
            # The summary type has a query object: run it.
            b.back()
            self.press(b.find_element(By.XPATH, "//tr[td[1]='63']//a[text()='definition']"))
            self.click("Run the query object")
            self.assertIn("Query object of 63", self.heading())
            self.assertTrue(self.cells("table", 0))
            if shots:
                self.shot("query")

            # Records, five a page: next, previous, last.
            b.get(con.base + "records?ds=0&type=51&n=5")
            first = self.cells("table.records", 1)
            self.assertEqual(first, ["5100000000000%02d" % i for i in range(1, 6)])
            self.click("Next ›")
            self.assertEqual(self.cells("table.records", 1)[0], "510000000000006")
            self.click("‹ Previous")
            self.assertEqual(self.cells("table.records", 1), first)
            self.click("Last »")
            self.assertEqual(self.cells("table.records", 1)[-1], "510000000000030")
            self.assertEqual(b.find_elements(By.LINK_TEXT, "Next ›"), [])
            # The hostile value is text on the page and in the record view.
            b.get(con.base + "records?ds=0&type=51&n=5")
            if shots:
                self.shot("records")
            self.assertIn(HOSTILE, self.cells("table.records", 7))
            self.press(b.find_element(By.XPATH, "//tr[td[2]='510000000000003']//a[text()='open']"))
            self.assertIn(HOSTILE, [c.text for c in b.find_elements(By.TAG_NAME, "td")])
            with self.assertRaises(NoAlertPresentException):
                b.switch_to.alert.text
            if shots:
                self.shot("record")

            # Locks: the stale one released after the confirmation, the
            # administrator's kept.
            b.get(con.base + "locks?ds=0")
            states = dict(zip(self.cells("table.locks", 0), self.cells("table.locks", 8)))
            self.assertEqual(states, {STALE_ID: "gone", ADMIN_ID: "administrator"})
            if shots:
                self.shot("locks")
            self.click("Release the stale locks…")
            self.assertEqual(self.cells("table.locks", 0), [STALE_ID])
            if shots:
                self.shot("release-stale")
            # The same form without its anti-forgery token: refused.
            b.execute_script("document.querySelector('input[name=csrf]').remove()")
            self.press(b.find_element(By.CSS_SELECTOR, "form[method=post] button"))
            self.assertEqual(self.heading(), "Refused")
            self.assertIn("anti-forgery", b.page_source)
            b.back()
            b.refresh()
            self.press(b.find_element(By.CSS_SELECTOR, "form[method=post] button"))
            self.assertEqual(self.heading(), "Stale locks released")
            self.assertEqual(self.cells("table.locks", 0), [STALE_ID])
            b.get(con.base + "locks?ds=0")
            self.assertEqual(self.cells("table.locks", 0), [ADMIN_ID])

            b.get(con.base + "trace?n=20")
            self.assertIn("FD_Locks", b.page_source)
            if shots:
                self.shot("trace")
        finally:
            con.stop()

    def run_read_only(self, dsn):
        b = self.browser
        b.delete_all_cookies()
        con = Console(dsn, "--read-only")
        try:
            b.get(con.base + "locks?ds=0&token=" + con.token)
            self.assertEqual(self.heading(), "Locks")
            self.assertIn("read-only", b.page_source)
            self.assertEqual(b.find_elements(By.CSS_SELECTOR, "form[method=post]"), [])
            self.assertEqual(b.find_elements(By.PARTIAL_LINK_TEXT, "release"), [])
            for page in ("locks/release?ds=0&id=" + ADMIN_ID, "locks/release-stale?ds=0"):
                b.get(con.base + page)
                self.assertEqual(self.heading(), "Refused", page)
            cookie = "q6fd_console=" + b.get_cookie("q6fd_console")["value"]
            for page, form in (("locks/release", "ds=0&id=" + ADMIN_ID),
                               ("locks/release-stale", "ds=0")):
                self.assertEqual(post(con.base + page, form, cookie), 403, page)
            b.get(con.base + "locks?ds=0")
            self.assertEqual(self.cells("table.locks", 0), [ADMIN_ID])
        finally:
            con.stop()

    def test_sqlite(self):
        self.run_console(self.dsns["sqlite"], shots=True)
        self.run_read_only(self.dsns["sqlite"])

    @unittest.skipUnless(PG, "Q6FD_TEST_PG names no PostgreSQL server")
    def test_postgresql(self):
        self.run_console(self.dsns["postgresql"], shots=False)
        self.run_read_only(self.dsns["postgresql"])


if __name__ == "__main__":
    unittest.main(verbosity=2)
