R"q6sql(
-- The shared part of the compatibility schema: the schema itself, the
-- operators and the helpers that the T-SQL functions build on. The T-SQL
-- functions follow this text, each as its entry in the registry of T-SQL
-- functions (platform/tsql/functions.h) defines it, and a version function
-- last. Every connection the driver opens has q6tsql at the end of its
-- search path. Running the script again is harmless: it replaces the
-- functions and only creates what is missing. (The first and last lines let
-- the driver compile the text in; they are not part of the SQL.)
CREATE EXTENSION IF NOT EXISTS citext;
CREATE SCHEMA IF NOT EXISTS q6tsql;

-- The key a grouped or distinct value is compared by, as under the default
-- collation: a citext value without its trailing blanks, any other value as
-- it is. Both are inlined by the planner.
CREATE OR REPLACE FUNCTION q6tsql.tsql_key(v anyelement) RETURNS anyelement
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT v';
CREATE OR REPLACE FUNCTION q6tsql.tsql_key(v citext) RETURNS citext
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT rtrim(v)::citext';

-- An index of the keys beside the index `idx` (a name as SQL writes it) when
-- that index has a citext column: the same columns, each citext one as
-- tsql_key(column), unique when `idx` is. x IN (subquery) and a join of two
-- text columns compare the blank-free keys, which then look each key up
-- there instead of reading every row; and a unique one refuses 'a' beside
-- 'A  ', which the citext index alone takes as two values but SQL Server's
-- padding rule takes as one. The citext columns are included, so that a
-- lookup that needs nothing else reads the index alone, as it would read the
-- column's own index. The dialect calls it behind CREATE INDEX; an index
-- without a citext column, or of an expression, gets none (the key of any
-- other column is the column itself).
CREATE OR REPLACE PROCEDURE q6tsql.tsql_key_index(idx text)
LANGUAGE plpgsql AS $$
DECLARE
  k regclass := to_regclass(idx);
  tbl regclass;
  nm name;
  uniq boolean;
  keys text;
  texts text;
BEGIN
  SELECT i.indrelid::regclass, c.relname, i.indisunique,
         string_agg(CASE WHEN t.typname = 'citext' THEN format('q6tsql.tsql_key(%I)', a.attname)
                         ELSE format('%I', a.attname) END, ', ' ORDER BY n.ord),
         string_agg(format('%I', a.attname), ', ' ORDER BY n.ord) FILTER (WHERE t.typname = 'citext')
    INTO tbl, nm, uniq, keys, texts
    FROM pg_index i
    JOIN pg_class c ON c.oid = i.indexrelid
    CROSS JOIN LATERAL unnest(i.indkey::int2[]) WITH ORDINALITY AS n(attnum, ord)
    JOIN pg_attribute a ON a.attrelid = i.indrelid AND a.attnum = n.attnum
    JOIN pg_type t ON t.oid = a.atttypid
   WHERE i.indexrelid = k AND n.ord <= i.indnkeyatts AND i.indexprs IS NULL
   GROUP BY i.indrelid, c.relname, i.indisunique;
  IF texts IS NOT NULL THEN
    EXECUTE format('CREATE %sINDEX IF NOT EXISTS %I ON %s (%s) INCLUDE (%s)',
                   CASE WHEN uniq THEN 'UNIQUE ' ELSE '' END, left(nm, 59) || '_key', tbl, keys,
                   texts);
  END IF;
END $$;

-- The indexes of the keys beside each unique index of table `tbl` (its
-- primary key and unique constraints, as CREATE TABLE makes them): called
-- behind CREATE TABLE and ALTER TABLE .. ADD.
CREATE OR REPLACE PROCEDURE q6tsql.tsql_key_constraints(tbl text)
LANGUAGE plpgsql AS $$
DECLARE
  ix regclass;
BEGIN
  FOR ix IN SELECT i.indexrelid::regclass FROM pg_index i
             WHERE i.indrelid = to_regclass(tbl) AND i.indisunique
  LOOP
    CALL q6tsql.tsql_key_index(ix::text);
  END LOOP;
END $$;

-- text + text joins the two; NULL gives NULL. The result is citext, so that
-- it compares, sorts and groups without case, as under the default collation.
CREATE OR REPLACE FUNCTION q6tsql.tsql_concat(a text, b text) RETURNS citext
LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE AS 'SELECT (a || b)::citext';
DO $$ BEGIN
  IF NOT EXISTS (SELECT 1 FROM pg_operator o JOIN pg_namespace n ON n.oid = o.oprnamespace
                 WHERE n.nspname = 'q6tsql' AND o.oprname = '+'
                   AND o.oprleft = 'text'::regtype AND o.oprright = 'text'::regtype) THEN
    CREATE OPERATOR q6tsql.+ (LEFTARG = text, RIGHTARG = text, FUNCTION = q6tsql.tsql_concat);
  END IF;
END $$;

-- Comparisons of a column with a literal, a parameter or another column, as
-- the dialect writes them: a ^= b, a ^<> b, a ^< b, a ^<= b, a ^> b, a ^>= b.
-- The server picks the function by the operand types: any type compares as
-- the plain operator does; on citext, trailing blanks do not count on either
-- side, as under SQL Server's padding rule. All are plain SQL so that the
-- planner inlines them: on citext the column's btree index still serves, by
-- a range on the column plus the exact test on the rows found, and a join of
-- two columns still hashes or merges on the blank-free values. Under
-- code-point order (C collations) a value that is B plus blanks sorts at or
-- above B and below B plus '!', the character after the blank, which makes
-- the ranges exact (for a < b and a >= b the range alone is the answer).
-- Other collations may order blanks elsewhere: there equality ends its range
-- at B plus 8000 blanks (the widest non-max varchar), and the others compare
-- the blank-free values without a range.
DO $$
DECLARE
  code_points boolean;
  b text := 'rtrim(b)::citext';
  exact text := 'rtrim(a)::citext %s rtrim(b)::citext';
  body record;
BEGIN
  -- (The locale provider column exists from PostgreSQL 15 on.)
  SELECT coalesce(to_jsonb(d) ->> 'datlocprovider', 'c') = 'c'
         AND d.datcollate IN ('C', 'POSIX', 'C.UTF-8', 'C.utf8')
    INTO code_points FROM pg_database d WHERE d.datname = current_database();
  FOR body IN SELECT * FROM (VALUES ('eq', '='), ('ne', '<>'), ('lt', '<'), ('le', '<='),
                                    ('gt', '>'), ('ge', '>=')) v(name, op)
  LOOP
    EXECUTE format('CREATE OR REPLACE FUNCTION q6tsql.tsql_%s(a anycompatible, b anycompatible)'
                   ' RETURNS boolean LANGUAGE sql STABLE PARALLEL SAFE AS %L',
                   body.name, 'SELECT a ' || body.op || ' b');
  END LOOP;
  FOR body IN
    SELECT * FROM (VALUES
      ('eq', 'a >= ' || b || ' AND ' || CASE WHEN code_points
         THEN $x$a < (rtrim(b) || '!')::citext$x$
         ELSE $x$a <= (rtrim(b) || repeat(' ', 8000))::citext$x$ END
         || ' AND ' || format(exact, '=')),
      ('ne', format(exact, '<>')),
      ('lt', CASE WHEN code_points THEN 'a < ' || b ELSE format(exact, '<') END),
      ('le', CASE WHEN code_points THEN $x$a < (rtrim(b) || '!')::citext AND $x$ ELSE '' END
             || format(exact, '<=')),
      ('gt', CASE WHEN code_points THEN 'a > ' || b || ' AND ' ELSE '' END || format(exact, '>')),
      ('ge', CASE WHEN code_points THEN 'a >= ' || b ELSE format(exact, '>=') END)) v(name, expr)
  LOOP
    EXECUTE format('CREATE OR REPLACE FUNCTION q6tsql.tsql_%s(a citext, b citext) RETURNS boolean'
                   ' LANGUAGE sql IMMUTABLE PARALLEL SAFE AS %L', body.name, 'SELECT ' || body.expr);
  END LOOP;
END $$;
DO $$
DECLARE
  op record;
BEGIN
  FOR op IN SELECT * FROM (VALUES ('^=', 'eq'), ('^<>', 'ne'), ('^<', 'lt'), ('^<=', 'le'),
                                  ('^>', 'gt'), ('^>=', 'ge')) v(name, fn),
                          (VALUES ('anycompatible'), ('citext')) t(type)
  LOOP
    IF NOT EXISTS (SELECT 1 FROM pg_operator o JOIN pg_namespace n ON n.oid = o.oprnamespace
                   WHERE n.nspname = 'q6tsql' AND o.oprname = op.name
                     AND o.oprleft = op.type::regtype) THEN
      EXECUTE format('CREATE OPERATOR q6tsql.%s (LEFTARG = %s, RIGHTARG = %s, FUNCTION = q6tsql.tsql_%s)',
                     op.name, op.type, op.type, op.fn);
    END IF;
  END LOOP;
END $$;

-- A varchar compared with a number is converted to the number's type, as
-- SQL Server converts it: 'A7' = 10 raises error 245, ' 010' = 10 holds,
-- '' is 0 as an int. The plain comparison operators get overloads of text
-- (and citext) beside integer and numeric, either way round, where the
-- server has none: it picks them by the operand types, so statements keep
-- their text and a number column its own operator (and index). The padded
-- ones (^=) get them with the text first, as the dialect writes a column
-- first: a number column compared with a parameter keeps telling the
-- parameter's type from the column.
CREATE OR REPLACE FUNCTION q6tsql.tsql_varchar_number(x text, t text) RETURNS numeric
LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $$ BEGIN
  IF x IS NULL THEN RETURN NULL; END IF;
  IF t = 'int' THEN
    IF btrim(x) = '' THEN RETURN 0; END IF;
    RETURN q6tsql.tsql_int(x, 'int');
  END IF;
  IF x !~ '^\s*[+-]?(\d+\.?\d*|\.\d+)\s*$' THEN
    RAISE EXCEPTION 'Error converting data type varchar to numeric.' USING ERRCODE = '22018';
  END IF;
  RETURN btrim(x)::numeric;
END $$;
DO $$
DECLARE
  body record;
  arg record;
BEGIN
  FOR body IN SELECT * FROM (VALUES ('eq', '^=', '='), ('ne', '^<>', '<>'), ('lt', '^<', '<'),
                                    ('le', '^<=', '<='), ('gt', '^>', '>'), ('ge', '^>=', '>=')) v(fn, name, op),
              (VALUES ('citext', 'integer', 'int'), ('text', 'integer', 'int'),
                      ('citext', 'numeric', 'numeric'), ('text', 'numeric', 'numeric')) t(txt, num, conv)
  LOOP
    EXECUTE format('CREATE OR REPLACE FUNCTION q6tsql.tsql_%s(a %s, b %s) RETURNS boolean'
                   ' LANGUAGE sql IMMUTABLE PARALLEL SAFE AS %L', body.fn, body.txt, body.num,
                   format('SELECT q6tsql.tsql_varchar_number(a, %L) %s b', body.conv, body.op));
    EXECUTE format('CREATE OR REPLACE FUNCTION q6tsql.tsql_%s(a %s, b %s) RETURNS boolean'
                   ' LANGUAGE sql IMMUTABLE PARALLEL SAFE AS %L', body.fn, body.num, body.txt,
                   format('SELECT a %s q6tsql.tsql_varchar_number(b, %L)', body.op, body.conv));
    FOR arg IN SELECT * FROM (VALUES (body.txt, body.num, body.op), (body.num, body.txt, body.op),
                                     (body.txt, body.num, body.name)) p(l, r, name) LOOP
      IF NOT EXISTS (SELECT 1 FROM pg_operator o JOIN pg_namespace n ON n.oid = o.oprnamespace
                     WHERE n.nspname = 'q6tsql' AND o.oprname = arg.name
                       AND o.oprleft = arg.l::regtype AND o.oprright = arg.r::regtype) THEN
        EXECUTE format('CREATE OPERATOR q6tsql.%s (LEFTARG = %s, RIGHTARG = %s, FUNCTION = q6tsql.tsql_%s)',
                       arg.name, arg.l, arg.r, body.fn);
      END IF;
    END LOOP;
  END LOOP;
END $$;

-- A text or varchar column that is no citext (a case-sensitive column, a
-- table made without the layer, a catalogue view) compared with a literal or
-- a parameter: with the number overloads above, text ^= 'x' would leave the
-- server no best candidate. Text gets its own, comparing as the plain
-- operators do (the column's own collation; its index serves).
DO $$
DECLARE
  body record;
BEGIN
  FOR body IN SELECT * FROM (VALUES ('eq', '^=', '='), ('ne', '^<>', '<>'), ('lt', '^<', '<'),
                                    ('le', '^<=', '<='), ('gt', '^>', '>'), ('ge', '^>=', '>=')) v(fn, name, op)
  LOOP
    EXECUTE format('CREATE OR REPLACE FUNCTION q6tsql.tsql_text_%s(a text, b text) RETURNS boolean'
                   ' LANGUAGE sql STABLE PARALLEL SAFE AS %L', body.fn, 'SELECT a ' || body.op || ' b');
    IF NOT EXISTS (SELECT 1 FROM pg_operator o JOIN pg_namespace n ON n.oid = o.oprnamespace
                   WHERE n.nspname = 'q6tsql' AND o.oprname = body.name
                     AND o.oprleft = 'text'::regtype AND o.oprright = 'text'::regtype) THEN
      EXECUTE format('CREATE OPERATOR q6tsql.%s (LEFTARG = text, RIGHTARG = text, FUNCTION = q6tsql.tsql_text_%s)',
                     body.name, body.fn);
    END IF;
  END LOOP;
END $$;

-- A value compared under the default collation: text without its trailing
-- blanks as citext, any other value as it is (a scalar subquery's value,
-- whose type the statement does not tell).
CREATE OR REPLACE FUNCTION q6tsql.tsql_fold(v anyelement) RETURNS anyelement
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT v';
CREATE OR REPLACE FUNCTION q6tsql.tsql_fold(v text) RETURNS citext
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT rtrim(v)::citext';
CREATE OR REPLACE FUNCTION q6tsql.tsql_fold(v citext) RETURNS citext
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT rtrim(v)::citext';

-- LIKE patterns ([abc], [a-c], [^a], [%], % and _) as an anchored regular
-- expression, used with ~* (case-insensitive, as the default collation).
CREATE OR REPLACE FUNCTION q6tsql.tsql_like_regex(p text, esc text DEFAULT NULL) RETURNS text
LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $$
DECLARE
  r text := '^';
  i int := 1;
  n int := length(p);
  c text;
  j int;
  cls text;
BEGIN
  IF p IS NULL THEN RETURN NULL; END IF;
  WHILE i <= n LOOP
    c := substr(p, i, 1);
    IF esc IS NOT NULL AND c = esc AND i < n THEN
      i := i + 1;
      r := r || regexp_replace(substr(p, i, 1), '([^[:alnum:]_ ])', '\\\1', 'g');
    ELSIF c = '%' THEN
      r := r || '.*';
    ELSIF c = '_' THEN
      r := r || '.';
    ELSIF c = '[' AND strpos(substr(p, i + 2), ']') > 0 THEN
      j := i + 1 + strpos(substr(p, i + 2), ']');
      cls := substr(p, i + 1, j - i - 1);
      IF left(cls, 1) = '^' AND length(cls) > 1 THEN
        r := r || '[^' || regexp_replace(substr(cls, 2), '([\\\[\]^])', '\\\1', 'g') || ']';
      ELSE
        r := r || '[' || regexp_replace(cls, '([\\\[\]^])', '\\\1', 'g') || ']';
      END IF;
      i := j;
    ELSE
      r := r || regexp_replace(c, '([^[:alnum:]_ ])', '\\\1', 'g');
    END IF;
    i := i + 1;
  END LOOP;
  RETURN r || '$';
END $$;

-- Whether no proper prefix of f is also its suffix, ignoring case: then two
-- matches of f never overlap (for tsql_replace).
CREATE OR REPLACE FUNCTION q6tsql.tsql_unbordered(f text) RETURNS boolean
LANGUAGE plpgsql IMMUTABLE STRICT PARALLEL SAFE AS $$
DECLARE t text := lower(f);
BEGIN
  FOR n IN 1 .. length(t) - 1 LOOP
    IF left(t, n) = right(t, n) THEN RETURN false; END IF;
  END LOOP;
  RETURN true;
END $$;

-- LEN, LEFT and RIGHT of a number work on its text, as in SQL Server.
CREATE OR REPLACE FUNCTION q6tsql.rtrim(x numeric) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT x::text';
CREATE OR REPLACE FUNCTION q6tsql.left(x numeric, n int) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT left(x::text, n)';
CREATE OR REPLACE FUNCTION q6tsql.right(x numeric, n int) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT right(x::text, n)';

-- Dates. Text in the literal forms and timestamps alike; results are text in
-- the stored form 'YYYY-MM-DD HH:MM:SS' (with .fff when not zero, and the
-- finer digits to the seventh with trailing zeros cut).
CREATE OR REPLACE FUNCTION q6tsql.tsql_to_ts(s text, style int DEFAULT 0) RETURNS timestamp
LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $$
DECLARE
  t text := btrim(s);
  m text[];
  y int;
BEGIN
  IF style NOT IN (0, 100, 1, 101, 2, 102, 3, 103, 4, 104, 5, 105, 8, 108, 10, 110, 11, 111, 12, 112,
                   114, 20, 120, 21, 121, 23, 126) THEN
    RAISE EXCEPTION 'CONVERT style % from a character string to a date is not supported on PostgreSQL', style
      USING ERRCODE = '0A000';
  END IF;
  IF t IS NULL THEN RETURN NULL; END IF;
  IF style = 12 AND t ~ '^\d{6}$' THEN  -- yymmdd
    y := substr(t, 1, 2)::int;
    t := (y + CASE WHEN y < 50 THEN 2000 ELSE 1900 END) || substr(t, 3);
  END IF;
  IF t ~ '^\d{8}( .*)?$' THEN
    t := substr(t, 1, 4) || '-' || substr(t, 5, 2) || '-' || substr(t, 7, 2) || substr(t, 9);
  ELSIF t ~ '^\d{1,2}:\d{2}' THEN
    t := '1900-01-01 ' || t;
  ELSE
    m := regexp_match(t, '^(\d{1,2})[/.-](\d{1,2})[/.-](\d{2}|\d{4})(.*)$');
    IF m IS NOT NULL THEN
      y := m[3]::int;
      IF length(m[3]) = 2 THEN y := y + CASE WHEN y < 50 THEN 2000 ELSE 1900 END; END IF;
      IF style IN (2, 11) THEN  -- yy.mm.dd, yy/mm/dd
        y := m[1]::int;
        t := (y + CASE WHEN y < 50 THEN 2000 ELSE 1900 END) || '-' || m[2] || '-' || m[3] || m[4];
      ELSIF style % 100 IN (3, 4, 5) THEN
        t := y || '-' || m[2] || '-' || m[1] || m[4];
      ELSE
        t := y || '-' || m[1] || '-' || m[2] || m[4];
      END IF;
    ELSIF t !~ '^(\d{4}-\d{1,2}-\d{1,2}|\d{4}/\d{1,2}/\d{1,2}|\d{4}\.\d{1,2}\.\d{1,2}|[A-Za-z]{3})' THEN
      RAISE invalid_datetime_format;
    END IF;
  END IF;
  -- Digits past the microsecond are cut, not rounded: .9999999 stays in its second.
  RETURN regexp_replace(t, '(\.\d{6})\d+', '\1')::timestamp;
EXCEPTION WHEN invalid_datetime_format OR datetime_field_overflow OR invalid_text_representation THEN
  RAISE EXCEPTION 'Conversion failed when converting date and/or time from character string.'
    USING ERRCODE = '22007';
END $$;
-- The fraction of a second a date text holds past its seconds, its digits
-- as written ('' when none): a timestamp or time keeps six, SQL Server seven.
CREATE OR REPLACE FUNCTION q6tsql.tsql_frac(s text) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS
$$SELECT coalesce((regexp_match(s, ':\d{1,2}\.(\d+)'))[1], '')$$;
-- The stored form's fraction of t ticks (100 ns, below 10,000,000): none
-- for 0, else '.fff' and the finer digits with trailing zeros cut.
CREATE OR REPLACE FUNCTION q6tsql.tsql_frac_text(t bigint) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS
$$SELECT CASE WHEN t = 0 THEN '' ELSE '.' || left(lpad(t::text, 7, '0'), 3)
  || rtrim(substr(lpad(t::text, 7, '0'), 4), '0') END$$;
CREATE OR REPLACE FUNCTION q6tsql.tsql_fmt(d timestamp) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS
$$SELECT to_char(d, 'YYYY-MM-DD HH24:MI:SS') || q6tsql.tsql_frac_text(to_char(d, 'US')::bigint * 10)$$;
-- d rounded as a datetime keeps it: to 1/300 s, in whole milliseconds
-- (.000, .003, .007); past 9999-12-31 23:59:59.997 it stays there.
CREATE OR REPLACE FUNCTION q6tsql.tsql_round300(d timestamp) RETURNS timestamp
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS
$$SELECT CASE WHEN r < timestamp '10000-01-01' THEN r
  ELSE date_trunc('second', d) + interval '997 milliseconds' END
  FROM (SELECT date_trunc('second', d) + round(round((extract(microseconds FROM d)::numeric % 1000000)
    * 300 / 1000000) * 1000 / 300) * interval '1 millisecond' AS r) x$$;
-- s (with a style, as tsql_to_ts reads it) as the stored form of a
-- datetime2(n): its fraction from the text's own digits (seven kept),
-- rounded half up to n of them, a carry going into the seconds (digits past
-- the seventh are cut: 23:59:59.9999999 stays in its day at seven digits;
-- rounded to fewer it is the next day's midnight).
CREATE OR REPLACE FUNCTION q6tsql.tsql_round_text(s text, style int, n int) RETURNS text
LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $$
DECLARE
  d timestamp := date_trunc('second', q6tsql.tsql_to_ts(s, style));
  unit bigint := (10 ^ (7 - least(greatest(n, 0), 7)))::bigint;
  t bigint := rpad(left(q6tsql.tsql_frac(s), 7), 7, '0')::bigint;
BEGIN
  IF d IS NULL THEN RETURN NULL; END IF;
  t := (t + unit / 2) / unit * unit;
  IF t >= 10000000 AND d >= timestamp '9999-12-31 23:59:59' THEN  -- stays in the range
    t := 10000000 - unit;
  ELSIF t >= 10000000 THEN
    d := d + interval '1 second';
    t := t - 10000000;
  END IF;
  RETURN to_char(d, 'YYYY-MM-DD HH24:MI:SS') || q6tsql.tsql_frac_text(t);
END $$;
-- Stored date text plus or minus n days (fractions are parts of a day), as
-- datetime + n. Text that holds no date is refused: there the number would
-- win and the sum be a number, which an operator of one result type cannot
-- give.
CREATE OR REPLACE FUNCTION q6tsql.tsql_add_days(d text, n numeric) RETURNS text
LANGUAGE plpgsql IMMUTABLE STRICT PARALLEL SAFE AS $$ BEGIN
  IF btrim(d) !~ '^\d{4}-\d{1,2}-\d{1,2}([ T]\d{1,2}:\d{2}(:\d{2}(\.\d+)?)?)?$' THEN
    RAISE EXCEPTION 'text + number is supported on PostgreSQL only for date text (''%'' is none); use CAST or DATEADD', d
      USING ERRCODE = '0A000';
  END IF;
  RETURN q6tsql.tsql_fmt(q6tsql.tsql_to_ts(d) + n * interval '1 day');
END $$;
CREATE OR REPLACE FUNCTION q6tsql.tsql_add_days(n numeric, d text) RETURNS text
LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE AS 'SELECT q6tsql.tsql_add_days(d, n)';
CREATE OR REPLACE FUNCTION q6tsql.tsql_sub_days(d text, n numeric) RETURNS text
LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE AS 'SELECT q6tsql.tsql_add_days(d, -n)';
DO $$ BEGIN
  IF NOT EXISTS (SELECT 1 FROM pg_operator o JOIN pg_namespace n ON n.oid = o.oprnamespace
                 WHERE n.nspname = 'q6tsql' AND o.oprname = '+'
                   AND o.oprleft = 'text'::regtype AND o.oprright = 'numeric'::regtype) THEN
    CREATE OPERATOR q6tsql.+ (LEFTARG = text, RIGHTARG = numeric, FUNCTION = q6tsql.tsql_add_days);
    CREATE OPERATOR q6tsql.+ (LEFTARG = numeric, RIGHTARG = text, FUNCTION = q6tsql.tsql_add_days);
    CREATE OPERATOR q6tsql.- (LEFTARG = text, RIGHTARG = numeric, FUNCTION = q6tsql.tsql_sub_days);
  END IF;
END $$;

-- A date column (timestamp) plus or minus n days, as datetime + n.
CREATE OR REPLACE FUNCTION q6tsql.tsql_add_days(d timestamp, n numeric) RETURNS timestamp
LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE AS 'SELECT d + n * interval ''1 day''';
CREATE OR REPLACE FUNCTION q6tsql.tsql_add_days(n numeric, d timestamp) RETURNS timestamp
LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE AS 'SELECT d + n * interval ''1 day''';
CREATE OR REPLACE FUNCTION q6tsql.tsql_sub_days(d timestamp, n numeric) RETURNS timestamp
LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE AS 'SELECT d - n * interval ''1 day''';
DO $$ BEGIN
  IF NOT EXISTS (SELECT 1 FROM pg_operator o JOIN pg_namespace n ON n.oid = o.oprnamespace
                 WHERE n.nspname = 'q6tsql' AND o.oprname = '+'
                   AND o.oprleft = 'timestamp'::regtype AND o.oprright = 'numeric'::regtype) THEN
    CREATE OPERATOR q6tsql.+ (LEFTARG = timestamp, RIGHTARG = numeric, FUNCTION = q6tsql.tsql_add_days);
    CREATE OPERATOR q6tsql.+ (LEFTARG = numeric, RIGHTARG = timestamp, FUNCTION = q6tsql.tsql_add_days);
    CREATE OPERATOR q6tsql.- (LEFTARG = timestamp, RIGHTARG = numeric, FUNCTION = q6tsql.tsql_sub_days);
  END IF;
END $$;

-- time columns: PostgreSQL rounds a time past 23:59:59.999999 (or past the
-- column's digits) to 24:00:00, which SQL Server's time has not; the trigger
-- (called only for that value) writes instead what SQL Server keeps, its
-- second argument: the last microsecond for time(7) (23:59:59.9999999 stays
-- in its day), midnight for fewer digits (rounded up, the next day's time).
CREATE OR REPLACE FUNCTION q6tsql.tsql_time_in_day() RETURNS trigger
LANGUAGE plpgsql AS $$ BEGIN
  NEW := jsonb_populate_record(NEW, jsonb_build_object(TG_ARGV[0], TG_ARGV[1]));
  RETURN NEW;
END $$;

-- smalldatetime columns (timestamp(0)) rounded to the minute on every write;
-- the column's name is the trigger's argument.
CREATE OR REPLACE FUNCTION q6tsql.tsql_minute_round() RETURNS trigger
LANGUAGE plpgsql AS $$
DECLARE
  v text := to_jsonb(NEW) ->> TG_ARGV[0];
BEGIN
  IF v IS NOT NULL THEN
    NEW := jsonb_populate_record(NEW, jsonb_build_object(TG_ARGV[0],
             date_trunc('minute', v::timestamp + interval '30 seconds')));
  END IF;
  RETURN NEW;
END $$;

-- datetime columns (timestamp(3)) rounded to 1/300 s, as SQL Server keeps
-- them: whole ticks of 1/300 s written as milliseconds, which end in 0, 3
-- or 7 (.125 is .127, .999 the next second). The trigger's WHEN clause
-- calls it only for a value off that grid; the column's name is its argument.
CREATE OR REPLACE FUNCTION q6tsql.tsql_tick_round() RETURNS trigger
LANGUAGE plpgsql AS $$
DECLARE
  v timestamp := (to_jsonb(NEW) ->> TG_ARGV[0])::timestamp;
  ms int;
BEGIN
  IF v IS NOT NULL THEN
    ms := (date_part('milliseconds', v)::bigint % 1000)::int;
    NEW := jsonb_populate_record(NEW, jsonb_build_object(TG_ARGV[0],
             v + make_interval(secs => (((ms * 3 + 5) / 10 * 20 + 3) / 6 - ms) / 1000.0)));
  END IF;
  RETURN NEW;
END $$;

-- The trigger of tsql_tick_round on column `col` of table `tbl` (a name as
-- SQL writes it), unless it has one: tables made with datetime columns call
-- it behind CREATE TABLE and ALTER TABLE .. ADD. The WHEN clause costs a row
-- on the grid a date_part, not a call.
CREATE OR REPLACE PROCEDURE q6tsql.tsql_tick_trigger(tbl text, col text)
LANGUAGE plpgsql AS $$
DECLARE
  rel regclass := tbl::regclass;
BEGIN
  IF NOT EXISTS (SELECT 1 FROM pg_trigger t
                  WHERE t.tgrelid = rel AND t.tgfoid = 'q6tsql.tsql_tick_round()'::regprocedure
                    AND t.tgargs = convert_to(col, 'UTF8') || '\x00'::bytea) THEN
    EXECUTE format('CREATE TRIGGER %I BEFORE INSERT OR UPDATE ON %s FOR EACH ROW'
                   ' WHEN (date_part(''microseconds'', NEW.%I)::bigint %% 10000 NOT IN (0, 3000, 7000))'
                   ' EXECUTE FUNCTION q6tsql.tsql_tick_round(%L)',
                   left('q6_tick_' || (SELECT relname FROM pg_class WHERE oid = rel) || '_' || col, 63),
                   rel, col, col);
  END IF;
END $$;

-- Upgrades: every datetime column (timestamp(3) with no record of another
-- declared type) of the tables of the current schema gets the trigger that
-- tables made today have.
CREATE OR REPLACE PROCEDURE q6tsql.tsql_tick_triggers()
LANGUAGE plpgsql AS $$
DECLARE
  c record;
BEGIN
  FOR c IN
    SELECT cl.oid::regclass::text AS tbl, a.attname::text AS col
      FROM pg_attribute a
      JOIN pg_class cl ON cl.oid = a.attrelid
      JOIN pg_namespace n ON n.oid = cl.relnamespace
     WHERE n.nspname = current_schema() AND cl.relkind IN ('r', 'p') AND a.attnum > 0
       AND NOT a.attisdropped AND a.atttypid = 'timestamp'::regtype AND a.atttypmod = 3
       AND coalesce(col_description(cl.oid, a.attnum), '') NOT LIKE 'q6tsql:%'
  LOOP
    CALL q6tsql.tsql_tick_trigger(c.tbl, c.col);
  END LOOP;
END $$;

-- Dates in the styles of CONVERT.
CREATE OR REPLACE FUNCTION q6tsql.tsql_style(d timestamp, style int) RETURNS text
LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $$ BEGIN
  RETURN CASE style
    WHEN 0 THEN to_char(d, 'Mon ') || lpad(to_char(d, 'FMDD'), 2) || to_char(d, ' YYYY ')
                || lpad(to_char(d, 'FMHH12'), 2) || to_char(d, ':MIAM')
    WHEN 100 THEN q6tsql.tsql_style(d, 0)
    WHEN 1 THEN to_char(d, 'MM/DD/YY') WHEN 101 THEN to_char(d, 'MM/DD/YYYY')
    WHEN 2 THEN to_char(d, 'YY.MM.DD') WHEN 102 THEN to_char(d, 'YYYY.MM.DD')
    WHEN 3 THEN to_char(d, 'DD/MM/YY') WHEN 103 THEN to_char(d, 'DD/MM/YYYY')
    WHEN 4 THEN to_char(d, 'DD.MM.YY') WHEN 104 THEN to_char(d, 'DD.MM.YYYY')
    WHEN 5 THEN to_char(d, 'DD-MM-YY') WHEN 105 THEN to_char(d, 'DD-MM-YYYY')
    WHEN 10 THEN to_char(d, 'MM-DD-YY') WHEN 110 THEN to_char(d, 'MM-DD-YYYY')
    WHEN 11 THEN to_char(d, 'YY/MM/DD') WHEN 111 THEN to_char(d, 'YYYY/MM/DD')
    WHEN 12 THEN to_char(d, 'YYMMDD') WHEN 112 THEN to_char(d, 'YYYYMMDD')
    WHEN 20 THEN to_char(d, 'YYYY-MM-DD HH24:MI:SS') WHEN 120 THEN to_char(d, 'YYYY-MM-DD HH24:MI:SS')
    WHEN 21 THEN to_char(d, 'YYYY-MM-DD HH24:MI:SS.MS') WHEN 121 THEN to_char(d, 'YYYY-MM-DD HH24:MI:SS.MS')
    WHEN 23 THEN to_char(d, 'YYYY-MM-DD')
    WHEN 8 THEN to_char(d, 'HH24:MI:SS') WHEN 108 THEN to_char(d, 'HH24:MI:SS')
    WHEN 14 THEN to_char(d, 'HH24:MI:SS:MS') WHEN 114 THEN to_char(d, 'HH24:MI:SS:MS')
    WHEN 126 THEN to_char(d, 'YYYY-MM-DD"T"HH24:MI:SS')
                  || CASE WHEN to_char(d, 'MS') = '000' THEN '' ELSE to_char(d, '.MS') END
  END;
END $$;

-- The text CAST(x AS varchar) gives for a date column's value: style 0 for
-- timestamps (datetime and smalldatetime; a datetime2 column is a timestamp
-- too, and its typmod does not reach a function), the day for a date, the
-- time of day with seven fractional digits for a time.
CREATE OR REPLACE FUNCTION q6tsql.tsql_date_text(d timestamp) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT q6tsql.tsql_style(d, 0)';
CREATE OR REPLACE FUNCTION q6tsql.tsql_date_text(d date) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$SELECT to_char(d, 'YYYY-MM-DD')$$;
CREATE OR REPLACE FUNCTION q6tsql.tsql_date_text(t time) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$SELECT to_char(t, 'HH24:MI:SS.US') || '0'$$;
-- The same for a datetime2(n) or time(n) column, whose declared digits the
-- dialect hands over (the stored types keep at most six): SQL Server's ISO
-- form with n fractional digits, none and no point for n = 0.
CREATE OR REPLACE FUNCTION q6tsql.tsql_date_text(d timestamp, n int) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS
$$SELECT to_char(d, 'YYYY-MM-DD HH24:MI:SS')
         || CASE WHEN n > 0 THEN '.' || left(to_char(d, 'US') || '0', n) ELSE '' END$$;
CREATE OR REPLACE FUNCTION q6tsql.tsql_date_text(t time, n int) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS
$$SELECT to_char(t, 'HH24:MI:SS')
         || CASE WHEN n > 0 THEN '.' || left(to_char(t, 'US') || '0', n) ELSE '' END$$;
-- The same for the text of a CAST or CONVERT to datetime2(n) or time(n),
-- rounded to n digits already: its own digits (seven, where a timestamp or
-- time would keep six and round 23:59:59.9999999 into the next day).
CREATE OR REPLACE FUNCTION q6tsql.tsql_date_text(s text, n int) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS
$$SELECT regexp_replace(s, '\.\d*$', '')
         || CASE WHEN n > 0 THEN '.' || rpad(left(q6tsql.tsql_frac(s), n), n, '0') ELSE '' END$$;

-- Date parts by their names and abbreviations.
CREATE OR REPLACE FUNCTION q6tsql.tsql_part(fn text, p text) RETURNS text
LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $$ BEGIN
  CASE lower(p)
    WHEN 'year', 'yy', 'yyyy' THEN RETURN 'year';
    WHEN 'quarter', 'qq', 'q' THEN RETURN 'quarter';
    WHEN 'month', 'mm', 'm' THEN RETURN 'month';
    WHEN 'dayofyear', 'dy', 'y' THEN RETURN 'dayofyear';
    WHEN 'day', 'dd', 'd' THEN RETURN 'day';
    WHEN 'week', 'wk', 'ww' THEN RETURN 'week';
    WHEN 'weekday', 'dw', 'w' THEN RETURN 'weekday';
    WHEN 'hour', 'hh' THEN RETURN 'hour';
    WHEN 'minute', 'mi', 'n' THEN RETURN 'minute';
    WHEN 'second', 'ss', 's' THEN RETURN 'second';
    WHEN 'millisecond', 'ms' THEN RETURN 'millisecond';
    ELSE RAISE EXCEPTION '% with the part ''%'' is not supported on PostgreSQL', fn, p
           USING ERRCODE = '0A000';
  END CASE;
END $$;
)q6sql"
