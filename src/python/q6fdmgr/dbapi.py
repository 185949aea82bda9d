"""A DB-API 2.0 (PEP 249) module over the q6fdmgr data layer.

    import q6fdmgr.dbapi as db
    con = db.connect("demo")                           # a data-source name
    con = db.connect("Driver=sqlite;Database=x.db")    # or a connection string
    cur = con.cursor()
    cur.execute("insert into fd_note (code, body) values (?, ?)", ("n1", "it's here"))
    cur.execute("select top 2 code, body from fd_note where code like ?", ("n%",))
    print(cur.description[0][0], cur.fetchall())
    con.commit()
    con.close()

Statements are T-SQL and mean what SQL Server makes of them, on SQLite and on
PostgreSQL alike, as every statement of the layer does. Parameters are `?`
markers (paramstyle "qmark"); their values go through ADODB.Command and are
bound by the engine, never written into the text.

Transactions follow PEP 249: with autocommit off (the default) the first
statement that is not a SELECT begins a transaction, which commit() or
rollback() ends; reads outside one see what is committed. Closing a
connection rolls back what was not committed. `with connect(...) as con:`
commits when the block ends normally, rolls back when it raises, and closes.

Values: NULL is None both ways; numbers come back as int, float or
decimal.Decimal, dates as datetime.datetime, binary values as bytes, text
as str, typed by their column the same way on both engines. Errors are the
PEP's classes, chosen by the kind of failure the layer reports
(q6fdmgr.ComError.kind: busy, lock_timeout, lock_conflict, deadlock,
serialization and connection_lost are OperationalError, constraint is
IntegrityError) and by what the engine says of the statement; the
q6fdmgr.ComError they come from is their __cause__, and its hresult, kind
and native code are copied onto them.

Threads: threadsafety is 1. Threads may share the module; a connection and
its cursors belong to the thread that opened it (another thread's use raises
ProgrammingError).
"""

import datetime
import itertools
import re
import time

import q6fdmgr as _q

apilevel = "2.0"
threadsafety = 1
paramstyle = "qmark"


class Warning(Exception):  # noqa: A001 - the name PEP 249 gives it
    """Important warnings, such as data truncations while inserting."""


class Error(Exception):
    """The base class of every error of this module.

    hresult, kind and native are those of the q6fdmgr.ComError it comes
    from (0, "other" and "" when it comes from none)."""

    hresult = 0
    kind = "other"
    native = ""


class InterfaceError(Error):
    """An error of this module rather than of the database."""


class DatabaseError(Error):
    """An error of the database."""


class DataError(DatabaseError):
    """A value that does not fit: out of range, of the wrong type, too long."""


class OperationalError(DatabaseError):
    """The database's operation failed: busy, a lock wait ran out, a deadlock,
    a lost connection. Running the work again may succeed."""


class IntegrityError(DatabaseError):
    """A key, unique, not-null, check or foreign-key rule was broken."""


class InternalError(DatabaseError):
    """The database met an internal error."""


class ProgrammingError(DatabaseError):
    """A mistake in the statement or its use: a syntax error, an unknown table
    or column, the wrong number of parameters, a closed cursor."""


class NotSupportedError(DatabaseError):
    """A method or feature the layer does not have."""


# The kinds of failure (q6fdmgr.ComError.kind) whose work may succeed when
# run again.
_OPERATIONAL_KINDS = frozenset(
    ("busy", "lock_timeout", "lock_conflict", "deadlock", "serialization", "connection_lost")
)
# Errors of the layer itself, by HRESULT.
_DATA_HRESULTS = frozenset(
    (
        0x800A0006,  # Overflow
        0x800A000D,  # Type mismatch
        0x800A005E,  # Invalid use of Null
        0x80040E57,  # a value longer than its parameter's Size
    )
)
_PROGRAMMING_HRESULTS = frozenset(
    (
        0x80040E10,  # fewer values than the statement has markers
        0x800A0BB9,  # more values than markers (3001)
        0x80040E0C,  # no statement text
        0x800A0E7D,  # the connection is closed (3709)
        0x8001010E,  # used from a thread other than its own
    )
)


def _error_class(e):
    """The PEP 249 class of the q6fdmgr.ComError `e`."""
    if e.kind in _OPERATIONAL_KINDS:
        return OperationalError
    if e.kind == "constraint":
        return IntegrityError
    hresult = e.hresult & 0xFFFFFFFF
    if hresult in _DATA_HRESULTS:
        return DataError
    if hresult in _PROGRAMMING_HRESULTS:
        return ProgrammingError
    native = e.native or ""
    if len(native) == 5:  # PostgreSQL's SQLSTATE
        if native.startswith("22"):  # data exception
            return DataError
        if native.startswith("42"):  # syntax error or unknown object
            return ProgrammingError
        if native.startswith("0A"):  # feature not supported
            return NotSupportedError
        if native.startswith("XX"):  # internal error
            return InternalError
        return DatabaseError
    if native == "1":  # SQLite: an SQL error (syntax, unknown table or column)
        return ProgrammingError
    if native == "20":  # SQLite: a value of the wrong type
        return DataError
    return DatabaseError


def _raise_from(e, cls=None):
    """Raises the PEP 249 error for the q6fdmgr.ComError `e`."""
    err = (cls or _error_class(e))(e.description)
    err.hresult, err.kind, err.native = e.hresult, e.kind, e.native
    raise err from e


def _call(f, *args):
    try:
        return f(*args)
    except _q.ComError as e:
        _raise_from(e)


# Type objects: each compares equal to the type codes (DataTypeEnum, as
# Field.Type gives them) of its kind, which is what description holds.
class DBAPITypeObject:
    def __init__(self, name, *codes):
        self.name = name
        self.codes = frozenset(codes)

    def __eq__(self, other):
        if isinstance(other, DBAPITypeObject):
            return self is other
        return other in self.codes

    def __ne__(self, other):
        return not self == other

    def __hash__(self):
        return hash(self.name)

    def __repr__(self):
        return "q6fdmgr.dbapi.%s" % self.name


STRING = DBAPITypeObject(
    "STRING", _q.adBSTR, _q.adChar, _q.adWChar, _q.adVarChar, _q.adLongVarChar, _q.adVarWChar,
    _q.adLongVarWChar
)
BINARY = DBAPITypeObject("BINARY", _q.adBinary, _q.adVarBinary, _q.adLongVarBinary)
NUMBER = DBAPITypeObject(
    "NUMBER", _q.adSmallInt, _q.adInteger, _q.adSingle, _q.adDouble, _q.adCurrency,
    _q.adDecimal, _q.adTinyInt, _q.adUnsignedTinyInt, _q.adUnsignedSmallInt, _q.adUnsignedInt,
    _q.adBigInt, _q.adNumeric, _q.adBoolean
)
DATETIME = DBAPITypeObject("DATETIME", _q.adDate, _q.adDBDate, _q.adDBTime, _q.adDBTimeStamp)
ROWID = DBAPITypeObject("ROWID")  # neither engine reports a row id column as such

Date = datetime.date
Time = datetime.time
Timestamp = datetime.datetime
Binary = bytes


def DateFromTicks(ticks):
    return Date(*time.localtime(ticks)[:3])


def TimeFromTicks(ticks):
    return Time(*time.localtime(ticks)[3:6])


def TimestampFromTicks(ticks):
    return Timestamp(*time.localtime(ticks)[:6])


def connect(dsn="", **keys):
    """A new Connection to `dsn`: a data-source name ("demo") or a connection
    string ("Driver=sqlite;Database=x.db"); keyword arguments add keys of the
    connection string (connect(driver="sqlite", database="x.db"),
    connect("shared", uid="ann", pwd="...")). A source that cannot be opened
    raises OperationalError."""
    source = dsn
    if keys:
        parts = [source if "=" in source else "DSN=" + source] if source else []
        parts += ["%s=%s" % (k, v) for k, v in keys.items()]
        source = ";".join(parts)
    return Connection(source)


# Leading blanks and comments, then the first word of a statement.
_FIRST_WORD = re.compile(r"(?:\s+|--[^\n]*(?:\n|$)|/\*.*?\*/|\()*([A-Za-z]+)", re.S)


def _first_word(sql):
    m = _FIRST_WORD.match(sql)
    return m.group(1).lower() if m else ""


class Connection:
    """A connection (PEP 249). The exception classes are attributes too."""

    Warning = Warning
    Error = Error
    InterfaceError = InterfaceError
    DatabaseError = DatabaseError
    DataError = DataError
    OperationalError = OperationalError
    IntegrityError = IntegrityError
    InternalError = InternalError
    ProgrammingError = ProgrammingError
    NotSupportedError = NotSupportedError

    _KEPT_COMMANDS = 64  # prepared commands kept, by statement text

    def __init__(self, source):
        ado = _q.Dispatch("ADODB.Connection")
        try:
            ado.Open(source)
        except _q.ComError as e:
            cls = _error_class(e)
            _raise_from(e, cls if cls is not DatabaseError else OperationalError)
        self._ado = ado
        self._in_transaction = False
        self._commands = {}
        # True: every statement commits on its own (no transaction is begun).
        self.autocommit = False

    def _live(self):
        if self._ado is None:
            raise InterfaceError("the connection is closed")
        return self._ado

    def close(self):
        """Closes the connection, rolling back what was not committed."""
        ado = self._live()
        self._ado = None
        self._commands.clear()
        self._in_transaction = False
        _call(ado.Close)

    def commit(self):
        ado = self._live()
        if self._in_transaction:
            _call(ado.CommitTrans)
            self._in_transaction = False

    def rollback(self):
        ado = self._live()
        if not self._in_transaction:
            return
        self._in_transaction = False
        try:
            ado.RollbackTrans()
        except _q.ComError as e:
            if e.hresult & 0xFFFFFFFF != 0x8004D00E:  # the engine ended it already
                _raise_from(e)

    def cursor(self):
        self._live()
        return Cursor(self)

    def __enter__(self):
        self._live()
        return self

    def __exit__(self, exc_type, exc, tb):
        if self._ado is None:
            return False
        try:
            if exc_type is None:
                self.commit()
            else:
                self.rollback()
        finally:
            self.close()
        return False

    # --- for cursors ---
    def _begin_for(self, sql):
        """Begins the implicit transaction before a statement that is not a
        SELECT (SQLite's transactions take the database's write lock at once,
        so reads do not begin one)."""
        if self.autocommit or self._in_transaction or _first_word(sql) in ("select", "with"):
            return
        _call(self._live().BeginTrans)
        self._in_transaction = True

    def _command(self, sql):
        """The ADODB.Command for `sql`, kept prepared for the next use."""
        cmd = self._commands.get(sql)
        if cmd is None:
            if len(self._commands) >= self._KEPT_COMMANDS:
                self._commands.clear()
            cmd = _q.Dispatch("ADODB.Command")
            cmd.ActiveConnection = self._live()
            cmd.CommandText = sql
            cmd.Prepared = True
            self._commands[sql] = cmd
        return cmd


def _value(v):
    """A parameter value as the layer takes it."""
    if isinstance(v, datetime.time):
        return v.isoformat()
    if isinstance(v, memoryview):
        return v.tobytes()
    return v


# Statements whose rowcount is the rows they changed.
_COUNTED = frozenset(("insert", "update", "delete", "merge"))


class Cursor:
    """A cursor (PEP 249). Rows are tuples."""

    def __init__(self, connection):
        self.connection = connection
        self.arraysize = 1
        self.description = None
        self.rowcount = -1
        self._rows = None
        self._closed = False

    def _live(self):
        if self._closed:
            raise InterfaceError("the cursor is closed")
        self.connection._live()

    def close(self):
        self._live()
        self._closed = True
        self._rows = None

    def execute(self, operation, parameters=None):
        """Runs `operation` (T-SQL with `?` markers) with `parameters` (a
        sequence, one value per marker). Returns the cursor."""
        self._live()
        if isinstance(parameters, dict):
            raise ProgrammingError("parameters are a sequence: paramstyle is qmark")
        self.description, self.rowcount, self._rows = None, -1, None
        self.connection._begin_for(operation)
        cmd = self.connection._command(operation)
        affected = _q.Ref()
        try:
            if parameters is None:
                rs = cmd.Execute(affected)
            else:
                rs = cmd.Execute(affected, [_value(v) for v in parameters])
        except _q.ComError as e:
            _raise_from(e)
        except TypeError as e:
            raise ProgrammingError(str(e)) from e
        if rs is not None and rs.State == 1:
            self.description = tuple(
                (f.Name, f.Type, None, None, None, None, None) for f in rs.Fields
            )
            self.rowcount = rs.RecordCount
            self._rows = _q.rows(rs, None)
        elif _first_word(operation) in _COUNTED and isinstance(affected.value, int):
            self.rowcount = affected.value
        return self

    def executemany(self, operation, seq_of_parameters):
        """Runs `operation` once for each sequence of parameters; rowcount is
        the rows changed by them all."""
        self._live()
        total, counted = 0, False
        for parameters in seq_of_parameters:
            self.execute(operation, parameters)
            if self.rowcount >= 0:
                total, counted = total + self.rowcount, True
        self.description, self._rows = None, None
        self.rowcount = total if counted else -1

    def _result(self):
        self._live()
        if self._rows is None:
            raise ProgrammingError("the last statement gave no rows to fetch")
        return self._rows

    def fetchone(self):
        return next(self._result(), None)

    def fetchmany(self, size=None):
        rows = self._result()
        return list(itertools.islice(rows, self.arraysize if size is None else size))

    def fetchall(self):
        return list(self._result())

    def callproc(self, procname, parameters=()):
        raise NotSupportedError("stored procedures are not supported: run a statement")

    def nextset(self):
        """None: a statement gives one set of rows at most."""
        self._result()
        return None

    def setinputsizes(self, sizes):
        """Does nothing: each value is bound as its own type."""

    def setoutputsize(self, size, column=None):
        """Does nothing: values are read whole."""

    def __iter__(self):
        return self

    def __next__(self):
        row = self.fetchone()
        if row is None:
            raise StopIteration
        return row

    def __enter__(self):
        self._live()
        return self

    def __exit__(self, exc_type, exc, tb):
        if not self._closed:
            self._closed = True
            self._rows = None
        return False
