R"q6sql(
-- The compatibility schema: SQL Server's meaning of the T-SQL functions and
-- operators that the dialect layer rewrites into tsql_* calls. Every
-- connection the driver opens has q6tsql at the end of its search path.
-- Running this text again is harmless: it replaces the functions and only
-- creates what is missing. (The first and last lines let the driver compile
-- the text in; they are not part of the SQL.)
CREATE EXTENSION IF NOT EXISTS citext;
CREATE SCHEMA IF NOT EXISTS q6tsql;

CREATE OR REPLACE FUNCTION q6tsql.tsql_version() RETURNS integer
LANGUAGE sql IMMUTABLE AS 'SELECT 3';

CREATE OR REPLACE FUNCTION q6tsql.tsql_unsupported(what text) RETURNS integer
LANGUAGE plpgsql AS $$ BEGIN
  RAISE EXCEPTION '% is not supported on PostgreSQL', what USING ERRCODE = '0A000';
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

-- Strings. Searches ignore case, as the default collation does. Every
-- function is one SQL expression that the planner inlines, so a literal
-- search text is examined once, when the statement is planned: a text of
-- ASCII characters only is found in the text folded by ASCII letters alone
-- ("C" collation), much cheaper than the full Unicode lower(); a text with
-- no ASCII letter at all is found as it is.
CREATE OR REPLACE FUNCTION q6tsql.tsql_charindex(f text, s text) RETURNS bigint
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS
$$SELECT CASE WHEN f = '' THEN 0
  WHEN octet_length(f) > length(f) THEN strpos(lower(s), lower(f))
  WHEN f COLLATE "C" !~ '[A-Za-z]' THEN strpos(s, f)
  ELSE strpos(lower(s COLLATE "C"), lower(f COLLATE "C")) END$$;
CREATE OR REPLACE FUNCTION q6tsql.tsql_charindex(f text, s text, st bigint) RETURNS bigint
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS
$$SELECT CASE WHEN f IS NULL OR s IS NULL THEN NULL
  WHEN st <= 1 THEN q6tsql.tsql_charindex(f, s)
  ELSE coalesce(nullif(q6tsql.tsql_charindex(f, substr(s, st::int)), 0) + st - 1, 0) END$$;
CREATE OR REPLACE FUNCTION q6tsql.tsql_patindex(p text, s text) RETURNS bigint
LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $$
DECLARE
  body text;
  m text[];
BEGIN
  IF p IS NULL OR s IS NULL THEN RETURN NULL; END IF;
  body := q6tsql.tsql_like_regex(CASE WHEN left(p, 1) = '%' THEN substr(p, 2) ELSE p END);
  body := substr(body, 2);  -- without its ^
  IF left(p, 1) <> '%' THEN
    RETURN CASE WHEN s ~* ('^' || body) THEN 1 ELSE 0 END;
  END IF;
  m := regexp_match(s, '^(.*?)' || body, 'i');
  RETURN CASE WHEN m IS NULL THEN 0 ELSE length(m[1]) + 1 END;
END $$;
-- Whether no proper prefix of f is also its suffix, ignoring case: then two
-- matches of f never overlap.
CREATE OR REPLACE FUNCTION q6tsql.tsql_unbordered(f text) RETURNS boolean
LANGUAGE plpgsql IMMUTABLE STRICT PARALLEL SAFE AS $$
DECLARE t text := lower(f);
BEGIN
  FOR n IN 1 .. length(t) - 1 LOOP
    IF left(t, n) = right(t, n) THEN RETURN false; END IF;
  END LOOP;
  RETURN true;
END $$;
-- REPLACE takes the plain, case-exact replace() when that is SQL Server's
-- answer: when f holds no ASCII letter (every match is exact), or when f is
-- ASCII, its matches cannot overlap and no match of f ignoring case is left
-- in the result (a match in another case would have stayed). Otherwise a
-- case-insensitive regular expression does it.
CREATE OR REPLACE FUNCTION q6tsql.tsql_replace(s text, f text, r text) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS
$$SELECT CASE WHEN f = '' THEN s
  WHEN octet_length(f) = length(f) AND f COLLATE "C" !~ '[A-Za-z]' THEN replace(s, f, r)
  WHEN octet_length(f) = length(f) AND q6tsql.tsql_unbordered(f)
       AND strpos(lower(replace(s, f, r) COLLATE "C"), lower(f COLLATE "C")) = 0
    THEN replace(s, f, r)
  ELSE regexp_replace(s,
  regexp_replace(f, '([.^$*+?()\[\]{}|\\-])', '\\\1', 'g'), replace(r, '\', '\\'), 'gi') END$$;
CREATE OR REPLACE FUNCTION q6tsql.tsql_replicate(s text, n bigint) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT CASE WHEN n >= 0 THEN repeat(s, n::int) END';
CREATE OR REPLACE FUNCTION q6tsql.tsql_space(n bigint) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT CASE WHEN n >= 0 THEN repeat('' '', n::int) END';
CREATE OR REPLACE FUNCTION q6tsql.tsql_substring(s text, st bigint, len bigint) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT substr(s, st::int, len::int)';
CREATE OR REPLACE FUNCTION q6tsql.tsql_stuff(s text, st bigint, len bigint, r text) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS
'SELECT CASE WHEN st >= 1 AND st <= length(s) AND len >= 0
 THEN overlay(s placing coalesce(r, '''') from st::int for len::int) END';

-- LEN, LEFT and RIGHT of a number work on its text, as in SQL Server.
CREATE OR REPLACE FUNCTION q6tsql.rtrim(x numeric) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT x::text';
CREATE OR REPLACE FUNCTION q6tsql.left(x numeric, n int) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT left(x::text, n)';
CREATE OR REPLACE FUNCTION q6tsql.right(x numeric, n int) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT right(x::text, n)';

-- Numbers.
CREATE OR REPLACE FUNCTION q6tsql.tsql_round(x numeric, n int, f int DEFAULT 0) RETURNS numeric
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS
'SELECT CASE WHEN f <> 0 THEN trunc(x, n) ELSE round(x, n) END';
CREATE OR REPLACE FUNCTION q6tsql.tsql_round(x double precision, n int, f int DEFAULT 0)
RETURNS double precision LANGUAGE sql IMMUTABLE PARALLEL SAFE AS
'SELECT (CASE WHEN f <> 0 THEN trunc(x::numeric, n) ELSE round(x::numeric, n) END)::double precision';
CREATE OR REPLACE FUNCTION q6tsql.tsql_isnumeric(x text) RETURNS int
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS
$$SELECT CASE WHEN x ~ '^\s*[+-]?\$?(\d[\d,]*(\.\d*)?|\.\d+)([eEdD][+-]?\d*)?\s*$'
  OR btrim(x) IN ('+', '-', '$', '.') THEN 1 ELSE 0 END$$;
CREATE OR REPLACE FUNCTION q6tsql.tsql_isnumeric(x numeric) RETURNS int
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT CASE WHEN x IS NULL THEN 0 ELSE 1 END';
CREATE OR REPLACE FUNCTION q6tsql.tsql_str(x double precision, len int DEFAULT 10, decimals int DEFAULT 0)
RETURNS text LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $$
DECLARE
  t text;
  d int := least(decimals, 16);
BEGIN
  IF x IS NULL OR len IS NULL OR len <= 0 OR decimals < 0 THEN RETURN NULL; END IF;
  LOOP
    t := round(x::numeric, d)::text;
    EXIT WHEN length(t) <= len OR d = 0;
    d := d - 1;
  END LOOP;
  IF length(t) > len THEN RETURN repeat('*', len); END IF;
  RETURN lpad(t, len);
END $$;

-- Conversions.
CREATE OR REPLACE FUNCTION q6tsql.tsql_int(x numeric, t text) RETURNS bigint
LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $$
DECLARE v numeric := trunc(x);
BEGIN
  IF v IS NULL THEN RETURN NULL; END IF;
  IF (t = 'tinyint' AND (v < 0 OR v > 255)) OR (t = 'smallint' AND (v < -32768 OR v > 32767))
     OR (t = 'int' AND (v < -2147483648 OR v > 2147483647))
     OR (v < -9223372036854775808 OR v > 9223372036854775807) THEN
    RAISE EXCEPTION 'Arithmetic overflow error converting expression to data type %.', t
      USING ERRCODE = '22003';
  END IF;
  RETURN v;
END $$;
CREATE OR REPLACE FUNCTION q6tsql.tsql_int(x double precision, t text) RETURNS bigint
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT q6tsql.tsql_int(x::numeric, t)';
CREATE OR REPLACE FUNCTION q6tsql.tsql_int(x text, t text) RETURNS bigint
LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $$ BEGIN
  IF x IS NULL THEN RETURN NULL; END IF;
  IF x !~ '^\s*[+-]?\d+\s*$' THEN
    RAISE EXCEPTION 'Conversion failed when converting the varchar value ''%'' to data type %.', x, t
      USING ERRCODE = '22018';
  END IF;
  RETURN q6tsql.tsql_int(btrim(x)::numeric, t);
END $$;
CREATE OR REPLACE FUNCTION q6tsql.tsql_decimal(x numeric, p int, s int) RETURNS numeric
LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $$
DECLARE v numeric := round(x, s);
BEGIN
  IF abs(v) >= power(10::numeric, p - s) THEN
    RAISE EXCEPTION 'Arithmetic overflow error converting numeric to data type numeric.'
      USING ERRCODE = '22003';
  END IF;
  RETURN v;
END $$;
CREATE OR REPLACE FUNCTION q6tsql.tsql_decimal(x double precision, p int, s int) RETURNS numeric
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT q6tsql.tsql_decimal(x::numeric, p, s)';
CREATE OR REPLACE FUNCTION q6tsql.tsql_decimal(x text, p int, s int) RETURNS numeric
LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $$ BEGIN
  RETURN q6tsql.tsql_decimal(btrim(x)::numeric, p, s);
EXCEPTION WHEN invalid_text_representation THEN
  RAISE EXCEPTION 'Error converting data type varchar to numeric.' USING ERRCODE = '22018';
END $$;
CREATE OR REPLACE FUNCTION q6tsql.tsql_float(x double precision) RETURNS double precision
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT x';
CREATE OR REPLACE FUNCTION q6tsql.tsql_float(x text) RETURNS double precision
LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $$ BEGIN
  IF btrim(x) ~* '(inf|nan)' THEN RAISE invalid_text_representation; END IF;
  RETURN btrim(x)::double precision;
EXCEPTION WHEN invalid_text_representation THEN
  RAISE EXCEPTION 'Error converting data type varchar to float.' USING ERRCODE = '22018';
END $$;
CREATE OR REPLACE FUNCTION q6tsql.tsql_bit(x numeric) RETURNS int
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT CASE WHEN x <> 0 THEN 1 WHEN x = 0 THEN 0 END';
CREATE OR REPLACE FUNCTION q6tsql.tsql_bit(x double precision) RETURNS int
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT CASE WHEN x <> 0 THEN 1 WHEN x = 0 THEN 0 END';
CREATE OR REPLACE FUNCTION q6tsql.tsql_bit(x text) RETURNS int
LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $$ BEGIN
  IF x IS NULL THEN RETURN NULL; END IF;
  IF lower(btrim(x)) IN ('true', 'false') THEN RETURN (lower(btrim(x)) = 'true')::int; END IF;
  RETURN q6tsql.tsql_bit(btrim(x)::numeric);
EXCEPTION WHEN invalid_text_representation THEN
  RAISE EXCEPTION 'Conversion failed when converting the varchar value ''%'' to data type bit.', x
    USING ERRCODE = '22018';
END $$;
CREATE OR REPLACE FUNCTION q6tsql.tsql_varchar(x text, n int) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT CASE WHEN n < 0 THEN x ELSE left(x, n) END';
CREATE OR REPLACE FUNCTION q6tsql.tsql_varchar(x numeric, n int) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT q6tsql.tsql_varchar(x::text, n)';
CREATE OR REPLACE FUNCTION q6tsql.tsql_varchar(x double precision, n int) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT q6tsql.tsql_varchar(x::text, n)';
CREATE OR REPLACE FUNCTION q6tsql.tsql_char(x text, n int) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT rpad(x, n)';
CREATE OR REPLACE FUNCTION q6tsql.tsql_char(x numeric, n int) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT rpad(x::text, n)';

-- Dates. Text in the literal forms and timestamps alike; results are text in
-- the stored form 'YYYY-MM-DD HH:MM:SS' (with .fff when not zero).
CREATE OR REPLACE FUNCTION q6tsql.tsql_to_ts(s text, style int DEFAULT 0) RETURNS timestamp
LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $$
DECLARE
  t text := btrim(s);
  m text[];
  y int;
BEGIN
  IF t IS NULL THEN RETURN NULL; END IF;
  IF t ~ '^\d{8}( .*)?$' THEN
    t := substr(t, 1, 4) || '-' || substr(t, 5, 2) || '-' || substr(t, 7, 2) || substr(t, 9);
  ELSIF t ~ '^\d{1,2}:\d{2}' THEN
    t := '1900-01-01 ' || t;
  ELSE
    m := regexp_match(t, '^(\d{1,2})[/.-](\d{1,2})[/.-](\d{2}|\d{4})(.*)$');
    IF m IS NOT NULL THEN
      y := m[3]::int;
      IF length(m[3]) = 2 THEN y := y + CASE WHEN y < 50 THEN 2000 ELSE 1900 END; END IF;
      IF style % 100 IN (3, 4, 5) THEN
        t := y || '-' || m[2] || '-' || m[1] || m[4];
      ELSE
        t := y || '-' || m[1] || '-' || m[2] || m[4];
      END IF;
    ELSIF t !~ '^(\d{4}-\d{1,2}-\d{1,2}|\d{4}/\d{1,2}/\d{1,2}|\d{4}\.\d{1,2}\.\d{1,2}|[A-Za-z]{3})' THEN
      RAISE invalid_datetime_format;
    END IF;
  END IF;
  RETURN t::timestamp;
EXCEPTION WHEN invalid_datetime_format OR datetime_field_overflow OR invalid_text_representation THEN
  RAISE EXCEPTION 'Conversion failed when converting date and/or time from character string.'
    USING ERRCODE = '22007';
END $$;
CREATE OR REPLACE FUNCTION q6tsql.tsql_fmt(d timestamp) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS
$$SELECT to_char(d, 'YYYY-MM-DD HH24:MI:SS') || CASE WHEN to_char(d, 'MS') = '000' THEN ''
  ELSE '.' || to_char(d, 'MS') END$$;
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
CREATE OR REPLACE FUNCTION q6tsql.tsql_datetime(s text, style int DEFAULT 0) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT q6tsql.tsql_fmt(q6tsql.tsql_to_ts(s, style))';
CREATE OR REPLACE FUNCTION q6tsql.tsql_datetime(d timestamp, style int DEFAULT 0) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT q6tsql.tsql_fmt(d)';
CREATE OR REPLACE FUNCTION q6tsql.tsql_datetime(x numeric, style int DEFAULT 0) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS
$$SELECT q6tsql.tsql_fmt(timestamp '1900-01-01' + x * interval '1 day')$$;
CREATE OR REPLACE FUNCTION q6tsql.tsql_smalldatetime(s text, style int DEFAULT 0) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS
$$SELECT q6tsql.tsql_fmt(date_trunc('minute', q6tsql.tsql_to_ts(s, style) + interval '30 seconds'))$$;
CREATE OR REPLACE FUNCTION q6tsql.tsql_date(s text, style int DEFAULT 0) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$SELECT to_char(q6tsql.tsql_to_ts(s, style), 'YYYY-MM-DD')$$;
CREATE OR REPLACE FUNCTION q6tsql.tsql_date(d timestamp, style int DEFAULT 0) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$SELECT to_char(d, 'YYYY-MM-DD')$$;
CREATE OR REPLACE FUNCTION q6tsql.tsql_time(s text, style int DEFAULT 0) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$SELECT to_char(q6tsql.tsql_to_ts(s, style), 'HH24:MI:SS')$$;

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
    WHEN 126 THEN to_char(d, 'YYYY-MM-DD"T"HH24:MI:SS')
                  || CASE WHEN to_char(d, 'MS') = '000' THEN '' ELSE to_char(d, '.MS') END
  END;
END $$;
CREATE OR REPLACE FUNCTION q6tsql.tsql_convert_text(d timestamp, n int, style int) RETURNS text
LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $$
DECLARE t text := q6tsql.tsql_style(d, style);
BEGIN
  IF d IS NOT NULL AND t IS NULL THEN
    RAISE EXCEPTION '% is not a valid style number when converting from datetime to a character string.', style
      USING ERRCODE = '22023';
  END IF;
  RETURN q6tsql.tsql_varchar(t, n);
END $$;
CREATE OR REPLACE FUNCTION q6tsql.tsql_convert_text(x text, n int, style int) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS
$$SELECT CASE WHEN x ~ '^\s*\d{4}-\d{2}-\d{2}( \d{2}:\d{2}(:\d{2}(\.\d+)?)?)?\s*$'
  THEN q6tsql.tsql_convert_text(q6tsql.tsql_to_ts(x), n, style) ELSE q6tsql.tsql_varchar(x, n) END$$;
CREATE OR REPLACE FUNCTION q6tsql.tsql_convert_text(x numeric, n int, style int) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT q6tsql.tsql_varchar(x::text, n)';

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
CREATE OR REPLACE FUNCTION q6tsql.tsql_dateadd(p text, n bigint, d timestamp) RETURNS text
LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $$ BEGIN
  RETURN q6tsql.tsql_fmt(d + CASE q6tsql.tsql_part('DATEADD', p)
    WHEN 'year' THEN make_interval(years => n::int)
    WHEN 'quarter' THEN make_interval(months => 3 * n::int)
    WHEN 'month' THEN make_interval(months => n::int)
    WHEN 'week' THEN make_interval(days => 7 * n::int)
    WHEN 'hour' THEN n * interval '1 hour'
    WHEN 'minute' THEN n * interval '1 minute'
    WHEN 'second' THEN n * interval '1 second'
    WHEN 'millisecond' THEN n * interval '1 millisecond'
    ELSE make_interval(days => n::int) END);
END $$;
CREATE OR REPLACE FUNCTION q6tsql.tsql_dateadd(p text, n bigint, d text) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT q6tsql.tsql_dateadd(p, n, q6tsql.tsql_to_ts(d))';
CREATE OR REPLACE FUNCTION q6tsql.tsql_datediff(p text, a timestamp, b timestamp) RETURNS bigint
LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $$ BEGIN
  RETURN CASE q6tsql.tsql_part('DATEDIFF', p)
    WHEN 'year' THEN extract(year FROM b) - extract(year FROM a)
    WHEN 'quarter' THEN (extract(year FROM b) * 4 + extract(quarter FROM b))
                      - (extract(year FROM a) * 4 + extract(quarter FROM a))
    WHEN 'month' THEN (extract(year FROM b) * 12 + extract(month FROM b))
                    - (extract(year FROM a) * 12 + extract(month FROM a))
    WHEN 'week' THEN floor((b::date - date '1900-01-01' + 1) / 7.0)
                   - floor((a::date - date '1900-01-01' + 1) / 7.0)
    WHEN 'hour' THEN floor(extract(epoch FROM b) / 3600) - floor(extract(epoch FROM a) / 3600)
    WHEN 'minute' THEN floor(extract(epoch FROM b) / 60) - floor(extract(epoch FROM a) / 60)
    WHEN 'second' THEN floor(extract(epoch FROM b)) - floor(extract(epoch FROM a))
    WHEN 'millisecond' THEN floor(extract(epoch FROM b) * 1000) - floor(extract(epoch FROM a) * 1000)
    ELSE b::date - a::date END;
END $$;
CREATE OR REPLACE FUNCTION q6tsql.tsql_datediff(p text, a text, b text) RETURNS bigint
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS
'SELECT q6tsql.tsql_datediff(p, q6tsql.tsql_to_ts(a), q6tsql.tsql_to_ts(b))';
CREATE OR REPLACE FUNCTION q6tsql.tsql_datediff(p text, a timestamp, b text) RETURNS bigint
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT q6tsql.tsql_datediff(p, a, q6tsql.tsql_to_ts(b))';
CREATE OR REPLACE FUNCTION q6tsql.tsql_datediff(p text, a text, b timestamp) RETURNS bigint
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT q6tsql.tsql_datediff(p, q6tsql.tsql_to_ts(a), b)';
CREATE OR REPLACE FUNCTION q6tsql.tsql_datepart(p text, d timestamp) RETURNS bigint
LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $$ BEGIN
  RETURN CASE q6tsql.tsql_part('DATEPART', p)
    WHEN 'year' THEN extract(year FROM d) WHEN 'quarter' THEN extract(quarter FROM d)
    WHEN 'month' THEN extract(month FROM d) WHEN 'dayofyear' THEN extract(doy FROM d)
    WHEN 'day' THEN extract(day FROM d)
    WHEN 'week' THEN q6tsql.tsql_datediff('week', date_trunc('year', d), d) + 1
    WHEN 'weekday' THEN extract(dow FROM d) + 1
    WHEN 'hour' THEN extract(hour FROM d) WHEN 'minute' THEN extract(minute FROM d)
    WHEN 'second' THEN floor(extract(second FROM d))
    ELSE floor(extract(milliseconds FROM d))::bigint % 1000 END;
END $$;
CREATE OR REPLACE FUNCTION q6tsql.tsql_datepart(p text, d text) RETURNS bigint
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT q6tsql.tsql_datepart(p, q6tsql.tsql_to_ts(d))';
CREATE OR REPLACE FUNCTION q6tsql.tsql_datename(p text, d timestamp) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS
$$SELECT CASE q6tsql.tsql_part('DATENAME', p) WHEN 'month' THEN to_char(d, 'FMMonth')
  WHEN 'weekday' THEN to_char(d, 'FMDay') ELSE q6tsql.tsql_datepart(p, d)::text END$$;
CREATE OR REPLACE FUNCTION q6tsql.tsql_datename(p text, d text) RETURNS text
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT q6tsql.tsql_datename(p, q6tsql.tsql_to_ts(d))';
CREATE OR REPLACE FUNCTION q6tsql.tsql_year(d timestamp) RETURNS bigint
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT extract(year FROM d)::bigint';
CREATE OR REPLACE FUNCTION q6tsql.tsql_year(d text) RETURNS bigint
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT extract(year FROM q6tsql.tsql_to_ts(d))::bigint';
CREATE OR REPLACE FUNCTION q6tsql.tsql_month(d timestamp) RETURNS bigint
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT extract(month FROM d)::bigint';
CREATE OR REPLACE FUNCTION q6tsql.tsql_month(d text) RETURNS bigint
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT extract(month FROM q6tsql.tsql_to_ts(d))::bigint';
CREATE OR REPLACE FUNCTION q6tsql.tsql_day(d timestamp) RETURNS bigint
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT extract(day FROM d)::bigint';
CREATE OR REPLACE FUNCTION q6tsql.tsql_day(d text) RETURNS bigint
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS 'SELECT extract(day FROM q6tsql.tsql_to_ts(d))::bigint';
)q6sql"
