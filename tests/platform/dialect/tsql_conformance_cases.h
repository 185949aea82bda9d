// T-SQL constructs with the results SQL Server gives for them, construct by
// construct: every row runs, translated, on both engines (on the tables of
// dialect_engines_test.cpp). Where an engine cannot give SQL Server's
// meaning, the row says so: that engine must refuse the statement, never
// answer differently.
#pragma once

namespace q6::dialect_test {

// The few places where an engine refuses what SQL Server runs.
enum class Quirk {
  kNone,
  kRefusedOnPostgres,  // PostgreSQL refuses it
  kRefusedOnSqlite,    // SQLite refuses it
  kPostgresOnly,       // PostgreSQL syntax that must pass through unharmed
};

inline constexpr const char* kNull = "<NULL>";

struct ConformanceCase {
  const char* name;
  const char* tsql;
  const char* first;            // the first column of the only row; kNull; nullptr: refused
  const char* error = nullptr;  // when refused: a part of the message
  Quirk quirk = Quirk::kNone;
};

// clang-format off
inline const ConformanceCase kConformanceCases[] = {
  // Operators and literals.
  {"ConcatLiterals", "select 'x' + 'y'", "xy"},
  {"ConcatColumns", "select code + ' ' + coid from fd_doc where coid = '510000000000001'", "0000000123 510000000000001"},
  {"ConcatNull", "select 'x' + null + 'y'", kNull},
  {"AddTextToNumber", "select '1' + 1", "2"},
  {"DatePlusDays", "select d + 1 from fd_names where id = 1", "2024-03-01 00:00:00"},
  {"DateMinusDays", "select d - 1.5 from fd_names where id = 1", "2024-02-27 12:00:00"},
  {"IntegerDivision", "select -7 / 2", "-3"},
  {"Modulo", "select 7 % 3", "1"},
  {"NLiteral", "select N'Привет ''мир'''", "Привет 'мир'"},
  // Conversions.
  {"CastIntTruncates", "select cast(-1.9 as int)", "-1"},
  {"CastIntFromDecimalText", "select cast('1.5' as int)", nullptr, "Conversion failed"},
  {"CastTinyintOverflow", "select cast(256 as tinyint)", nullptr, "overflow"},
  {"CastDecimalRounds", "select cast(2.675 as decimal(5,2))", "2.68"},
  {"CastDecimalOverflow", "select cast(1000 as numeric(5,2))", nullptr, "overflow"},
  {"CastMoney", "select cast('12.34567' as money)", "12.3457"},
  {"CastFloat", "select cast(' 1.5 ' as float)", "1.5"},
  {"CastBit", "select cast(5 as bit) + cast('false' as bit)", "1"},
  {"CastVarcharCuts", "select cast('abcdef' as varchar(3))", "abc"},
  {"CastCharPads", "select cast('ab' as char(4)) + '|'", "ab  |"},
  {"CastDatetimeCompact", "select cast('20240305' as datetime)", "2024-03-05 00:00:00"},
  {"CastDatetimeIsoT", "select cast('2024-03-05T10:11:12' as datetime)", "2024-03-05 10:11:12"},
  {"CastDatetimeMonthName", "select cast('Mar 5 2024 10:00PM' as datetime)", "2024-03-05 22:00:00"},
  {"CastDatetimeNoSuchDay", "select cast('2024-02-30' as datetime)", nullptr, "Conversion failed"},
  {"CastSmalldatetimeRounds", "select cast('2024-03-05 10:11:31' as smalldatetime)", "2024-03-05 10:12:00"},
  {"CastDate", "select cast('2024-03-05 10:11:12' as date)", "2024-03-05"},
  {"ConvertStyle103Out", "select convert(varchar(10), d, 103) from fd_names where id = 1", "29/02/2024"},
  {"ConvertStyle103In", "select convert(datetime, '29/02/2024', 103)", "2024-02-29 00:00:00"},
  {"ConvertStyle112", "select convert(char(8), d, 112) from fd_names where id = 1", "20240229"},
  {"ConvertStyle1", "select convert(varchar, d, 1) from fd_names where id = 1", "02/29/24"},
  {"ConvertStyle0", "select convert(varchar(30), d, 0) from fd_names where id = 2", "Mar  1 2024 10:30AM"},
  {"ConvertStyle126", "select convert(varchar(30), d, 126) from fd_names where id = 2", "2024-03-01T10:30:00"},
  {"ConvertBadStyle", "select convert(varchar(30), d, 7) from fd_names where id = 2", nullptr, "style"},
  {"Str", "select str(123.456, 8, 2)", "  123.46"},
  {"StrTooNarrow", "select str(123456, 3)", "***"},
  {"IsNumeric", "select isnumeric('1e5') * 10 + isnumeric('abc')", "10"},
  // Dates.
  {"DateAddKeepsMonthEnd", "select dateadd(month, 1, '2024-01-31')", "2024-02-29 00:00:00"},
  {"DateAddDaysToColumn", "select dateadd(dd, -1, d) from fd_names where id = 1", "2024-02-28 00:00:00"},
  {"DateDiffYearBoundary", "select datediff(year, '2023-12-31 23:59:59', '2024-01-01')", "1"},
  {"DateDiffWeekStartsSunday", "select datediff(wk, '2024-03-02', '2024-03-03')", "1"},
  {"DateDiffDays", "select datediff(day, '2024-02-28 23:00', '2024-03-01 01:00')", "2"},
  {"DatePartWeekday", "select datepart(dw, '2024-03-03')", "1"},
  {"DatePartQuarter", "select datepart(qq, d) from fd_names where id = 2", "1"},
  {"DateNameMonth", "select datename(month, '2024-03-03')", "March"},
  {"YearMonthDay", "select year(d) * 10000 + month(d) * 100 + day(d) from fd_names where id = 1", "20240229"},
  {"DatePartTzOffset", "select datepart(tzoffset, '2024-03-03')", nullptr, "DATEPART with the part 'tzoffset' is not supported"},
  {"GetDateIsRecent", "select case when getdate() > '20200101' then 1 else 0 end", "1"},
  // Strings.
  {"CharIndexFromStart", "select charindex('b', 'abcb', 3)", "4"},
  {"CharIndexIgnoresCase", "select charindex('B', 'abc')", "2"},
  {"PatIndex", "select patindex('%[0-9]%', 'ab12')", "3"},
  {"SubstringZeroStart", "select substring('abcdef', 0, 3)", "ab"},
  {"LenDropsTrailingBlanks", "select len(name) from fd_names where id = 2", "3"},
  {"LenOfNumber", "select len(12345)", "5"},
  {"LeftAndRight", "select left('abcdef', 2) + right('abcdef', 2)", "abef"},
  {"Trims", "select ltrim('  a ') + '|' + rtrim(' b  ') + '|'", "a | b|"},
  {"UpperCyrillic", "select upper(N'привет, ёж')", "ПРИВЕТ, ЁЖ"},
  {"LowerCyrillic", "select lower(name) from fd_names where id = 1", "продажи"},
  {"ReplaceIgnoresCase", "select replace('aBcb', 'b', 'X')", "aXcX"},
  {"Replicate", "select replicate('ab', 3)", "ababab"},
  {"Space", "select 'a' + space(2) + 'b'", "a  b"},
  {"Reverse", "select reverse(N'абв')", "вба"},
  {"Stuff", "select stuff('abcdef', 2, 3, 'XY')", "aXYef"},
  // Logic and numbers.
  {"Iif", "select iif(1 > 2, 'a', 'b')", "b"},
  {"CaseCoalesceNullif", "select coalesce(nullif(1, 1), case when 1 = 1 then 7 end)", "7"},
  {"IsNull", "select isnull(null, 'x')", "x"},
  {"RoundNegativeLength", "select round(1234.5, -2)", "1200"},
  {"RoundTruncates", "select round(2.675, 2, 1)", "2.67"},
  {"RoundHalfAwayFromZero", "select round(-2.5, 0)", "-3"},
  {"CeilingFloorSign", "select ceiling(1.2) * 100 + floor(-1.2) * 10 + sign(-5)", "179"},
  {"PowerSqrtAbs", "select power(2, 10) + sqrt(16) + abs(-3)", "1031"},
  // Exact numbers (fd_amounts: decimal(18,2) and money columns) and SQL
  // Server's arithmetic errors.
  {"DecimalSumKeepsScale", "select '[' + cast(sum(amount) as varchar(30)) + ']' from fd_amounts", "[434.80]"},
  {"DecimalAddIsExact", "select case when a.amount + b.amount = 0.3 then 1 else 0 end from fd_amounts a, fd_amounts b where a.id = 2 and b.id = 3", "1"},
  {"DecimalTimesIntKeepsScale", "select '[' + cast(amount * 3 as varchar(30)) + ']' from fd_amounts where id = 2", "[0.30]"},
  {"DecimalMaxKeepsScale", "select '[' + cast(max(amount) as varchar(30)) + ']' from fd_amounts", "[425.50]"},
  {"DecimalAvgHasSixPlaces", "select '[' + cast(avg(amount) as varchar(40)) + ']' from fd_amounts", "[108.700000]"},
  {"DecimalColumnOrdersByValue", "select top 1 id from fd_amounts order by amount desc", "1"},
  {"DecimalColumnComparesByValue", "select count(*) from fd_amounts where amount > 9 and amount >= 0.2 and amount < 100.5", "0"},
  {"DecimalColumnRange", "select count(*) from fd_amounts where amount between 0.15 and 10", "2"},
  {"CastDecimalKeepsScale", "select '[' + cast(cast(2.5 as decimal(5,2)) as varchar(10)) + ']'", "[2.50]"},
  {"MoneyTimesInt", "select price * 2 from fd_amounts where id = 2", "5"},
  {"AvgOfIntIsInt", "select avg(v) from (select 1 v union all select 2 union all select 2) t", "1"},
  {"DivideByZero", "select 1 / 0", nullptr, "by zero"},
  {"ModuloByZero", "select 7 % (2 - 2)", nullptr, "by zero"},
  {"DecimalDivideByZero", "select amount / 0 from fd_amounts where id = 1", nullptr, "by zero"},
  {"BigintOverflow", "select cast(9223372036854775807 as bigint) + 1", nullptr},
  {"IntOverflow", "select 2147483647 + 1 - 1", nullptr, "int"},
  {"IntProductOverflow", "select 65536 * 32768 - 1", nullptr, "int"},
  {"IntArithmeticInRange", "select 2147483647 - 1 + 1", "2147483647"},
  {"NumberPastIntIsDecimal", "select 2147483648 + 1", "2147483649"},
  {"VarcharColumnComparedWithNumber", "select count(*) from fd_doc where code = 123 or 124 = code or code > 124.5", "3"},
  {"VarcharColumnHoldsNoNumber", "select count(*) from fd_doc where memo = 10", nullptr, "Conversion failed"},
  {"BlankIsZeroAsInt", "select 5 + ''", "5", nullptr, Quirk::kRefusedOnPostgres},
  {"WindowSumIsExact", "select max(s) from (select sum(amount) over (order by id) s from fd_amounts) t", "434.8"},
  {"WindowTimesNumber", "select max(x) from (select avg(amount) over () * 2 x from fd_amounts) t", "217.4"},
  // Bytes.
  {"BinaryLiteralIsBytes", "select length(0xFF00) + length(0xABC) * 10", "22"},
  {"BinaryColumnHoldsBytes", "select length(b) from fd_bytes where b = 0x0102FF", "3"},
  // Functions of SQL Server 2012 to 2017.
  {"Concat", "select concat('a', null, 1, 'b')", "a1b"},
  {"ConcatWs", "select concat_ws('-', 'a', null, 'b')", "a-b"},
  {"Choose", "select choose(2, 'x', 'y', 'z')", "y"},
  {"QuoteName", "select quotename('a]b') + quotename('it''s', '''')", "[a]]b]'it''s'"},
  {"AsciiUnicode", "select ascii('A') * 1000 + unicode(N'é')", "65233"},
  {"Translate", "select translate('2*[3+4]', '[]', '()')", "2*(3+4)"},
  {"TranslateLengthsDiffer", "select translate('abc', 'ab', 'x')", nullptr, "equal number of characters"},
  {"EoMonth", "select eomonth('2024-02-10')", "2024-02-29"},
  {"EoMonthMoved", "select eomonth('2024-01-31', 1)", "2024-02-29"},
  {"DateFromParts", "select datefromparts(2024, 2, 29)", "2024-02-29"},
  {"DateTimeFromParts", "select datetimefromparts(2024, 3, 5, 10, 11, 12, 0)", "2024-03-05 10:11:12"},
  {"IsDate", "select isdate('2024-02-30') * 10 + isdate('20240229')", "1"},
  {"TryCastFailsToNull", "select coalesce(try_cast('12x' as int), -1) + try_cast(' 7 ' as int) * 10", "69"},
  {"TryCastOverflowAndBadDate", "select case when try_cast(300 as tinyint) is null and try_cast('2024-02-30' as date) is null then 1 else 0 end", "1"},
  {"TryCastDecimalKeepsScale", "select '[' + cast(try_cast('2.5' as decimal(5,2)) as varchar(10)) + ']'", "[2.50]"},
  {"TryConvertStyles", "select try_convert(varchar(8), try_convert(datetime, '2024-03-05', 120), 112)", "20240305"},
  {"TryCastKeepsOtherErrors", "select try_cast(1 / 0 as int)", nullptr, "by zero"},
  {"StringAgg", "select '[' + string_agg(x, ', ') + ']' from (select 'a' x union all select null union all select 'b') t where x is not null", "[a, b]"},
  {"StringAggWithinGroup", "select string_agg(item, ',') within group (order by amount desc, item) from fd_line", "pin,bolt,nut"},
  {"StringAggOrdersTextWithoutCase", "select string_agg(id, '') within group (order by name desc, id) from fd_names", "1342"},
  {"StringAggDecimalsKeepScale", "select string_agg(amount, ';') within group (order by amount desc) from fd_amounts", "425.50;9.00;0.20;0.10"},
  {"StringAggOfNumbersOrdered", "select string_agg(v, '') within group (order by v desc) from (select 1 v union all select 3 union all select 2) t", "321"},
  {"StringAggNoRowsIsNull", "select string_agg(name, ',') from fd_names where id < 0", kNull},
  {"TrimChars", "select '[' + trim('x.' from '.x.abc.x') + '|' + trim(leading '0' from '0050') + '|' + trim(' ab ') + ']'", "[abc|50|ab]"},
  {"CharNCharFunctions", "select char(65) + nchar(1078) + cast(char(66) as char(3)) + convert(nchar(2), char(67)) + '|'", "AжB  C |"},
  {"CharOutOfRangeIsNull", "select case when char(256) is null and nchar(-1) is null then 1 else 0 end", "1"},
  {"CharOfCodePageRefused", "select char(200)", nullptr, "CHAR(200) is not supported"},
  {"DataLengthBytes", "select datalength('abc ') * 100 + datalength(N'жж') * 10 + datalength(0x0102)", "442"},
  {"DataLengthOfNumberRefused", "select datalength(amount) from fd_amounts where id = 1", nullptr, "DATALENGTH of a number"},
  {"FormatDateParts", "select format(cast('2024-03-05 14:07:09.045' as datetime), 'yyyyMMdd|yyyy-M-d HH:mm:ss.fff|hh tt|H ''h''')", "20240305|2024-3-5 14:07:09.045|02 PM|14 h"},
  {"FormatDateChinese", "select format(d, 'yyyy/MM/dd tt', 'zh-CN') from fd_names where id = 2", "2024/03/01 上午"},
  {"FormatNumbers", "select format(1234567.891, 'N2') + '|' + format(-1234.5, 'N0') + '|' + format(amount, '#,##0.00') + '|' + format(1234.5, '0.00') + '|' + format(0.12345, 'P') from fd_amounts where id = 1", "1,234,567.89|-1,235|425.50|1234.50|12.35 %"},
  {"FormatPercentChinese", "select format(0.5, 'P0', 'zh-CN')", "50%"},
  {"FormatUnsupportedPattern", "select format(1.5, 'C')", nullptr, "not supported"},
  {"FormatUnsupportedDatePart", "select format(d, 'MMM yyyy') from fd_names where id = 1", nullptr, "not supported"},
  {"UtcAndSysDateAreRecent", "select case when getutcdate() > '20200101' and sysdatetime() > '20200101' then 1 else 0 end", "1"},
  // Comparison under the default collation.
  {"EqualsFoldsCyrillic", "select count(*) from fd_names where name = N'ПРОДАЖИ'", "1"},
  {"LiteralsIgnoreCaseAndBlanks", "select case when 'abc' = 'ABC  ' then 1 else 0 end", "1"},
  {"FunctionResultIgnoresCase", "select count(*) from fd_doc where upper(memo) = 'abc'", "1"},
  {"ColumnTrailingBlanksIgnored", "select count(*) from fd_names where name = 'ABC' and 'abc ' = name and not name <> 'abc'", "1"},
  {"ColumnNotEqualIgnoresBlanks", "select count(*) from fd_names where name <> N'abc' and id = 2", "0"},
  {"InIgnoresCase", "select count(*) from fd_names where name in ('abd', 'x')", "2"},
  {"InFunctionResultIgnoresCase", "select count(*) from fd_names where upper(name) in ('abd', 'x') and 'ABD' in (lower(name), 'y') and left(name, 3) in (N'ABC', N'ABD  ')", "2"},
  {"InLiteralsIgnoreCase", "select case when 'abc' in ('x', 'ABC  ') and rtrim('a') in ('A') and 'a' not in (N'b') then 1 else 0 end", "1"},
  {"OrderByIgnoresCase", "select top 1 name from fd_names where id > 1 order by name desc, id", "ABD"},
  {"OrderByExpression", "select top 1 name from fd_names where id > 1 order by name + 'z' desc, id", "ABD"},
  {"GroupByExpression", "select count(*) from (select 1 k from fd_names group by name + '') g", "3"},
  {"GroupByIgnoresCase", "select count(*) from (select name from fd_names group by name) g", "3"},
  {"DistinctIgnoresCase", "select count(distinct name) from fd_names", "3"},
  {"ColumnRangesIgnoreBlanks", "select (select count(*) from fd_names where name <= 'ABC') * 100 + (select count(*) from fd_names where name > 'abc') * 10 + (select count(*) from fd_names where name < 'abc ')", "130"},
  {"JoinIgnoresCaseAndBlanks", "select count(*) from fd_names n join fd_pad p on p.code = n.name", "3"},
  {"ColumnRangeAgainstColumn", "select count(*) from fd_names n, fd_pad p where n.name <= p.code and p.code >= n.name", "4"},
  {"ColumnInListIgnoresBlanks", "select count(*) from fd_pad where code in ('abc  ', 'ABD') and code not in (N'abd', 'x')", "1"},
  {"DistinctExpressionIgnoresCase", "select count(*) from (select distinct name + '' n from fd_names) d", "3"},
  {"DistinctFunctionResult", "select count(*) from (select distinct left(name, 2) from fd_names) d", "2"},
  {"CountDistinctIgnoresBlanks", "select count(distinct upper(x)) from (select 'a' x union all select 'A  ') t", "1"},
  {"PrefixEndingInBlank", "select count(*) from fd_names where left('abc d', len(name)) = name", "1"},
  {"LikeRange", "select count(*) from fd_names where name like '[a-c]bd'", "2"},
  {"LikeNegatedClass", "select count(*) from fd_names where name like '[^a]%'", "1"},
  {"LikeEscapes", "select case when '5%' like '5[%]' and 'a_c' like 'a[_]c' and 'abc' not like 'a[_]c' then 1 else 0 end", "1"},
  {"LikePrefixIgnoresCase", "select count(*) from fd_names where name like 'aB%' and name not like 'abcd%' and name not like 'b%'", "3"},
  {"LikeCyrillicCase", "select count(*) from fd_names where name like N'про%'", "1"},
  {"LikeBackslashIsPlain", "select case when 'a\\b' like 'a\\b' then 1 else 0 end", "1"},
  {"DateTextEqualsDay", "select count(*) from fd_names where d = '2024-02-29'", "1"},
  {"DateTextEqualsCompactDay", "select count(*) from fd_names where d = '20240229'", "1"},
  {"DateTextAtMostDay", "select count(*) from fd_names where d <= '2024-02-29'", "1"},
  {"DateTextAfterDay", "select count(*) from fd_names where d > '2024-02-29'", "1"},
  {"DateTextBetween", "select count(*) from fd_names where d between '20240229' and '2024-03-01'", "1"},
  // Date columns compared with literals in SQL Server's forms (fd_dated
  // holds them as dates whatever form they were written in).
  {"DateColumnAfterLooseDay", "select sum(id) from fd_dated where dd > '2024-3-5'", "8"},
  {"DateColumnBetweenSlashed", "select sum(id) from fd_dated where dd between '2024/02/01' and '2024/03/05'", "6"},
  {"DateColumnBeforeMonthName", "select sum(id) from fd_dated where dd < 'Jan 1 2024'", "1"},
  {"DateColumnEqualsStyle0", "select id from fd_dated where dd = 'Mar  5 2024 10:20AM'", "3"},
  {"DateColumnEqualsIsoFraction", "select id from fd_dated where dd = '2024-10-01T08:00:00.500'", "5"},
  {"DayColumnFromCompact", "select sum(id) from fd_dated where dday >= '20240305'", "12"},
  {"DateColumnOrders", "select top 1 id from fd_dated order by dd desc", "5"},
  {"DateColumnStored", "select dd from fd_dated where id = 2", "2024-02-01 00:00:00"},
  {"DateColumnPlusDays", "select dd + 1 from fd_dated where id = 1", "2024-01-01 23:59:59"},
  {"ConvertStyle108", "select convert(varchar(8), dd, 108) from fd_dated where id = 3", "10:20:00"},
  {"ConvertStyle114", "select convert(varchar(12), dd, 114) from fd_dated where id = 5", "08:00:00:500"},
  {"ConvertStyle120Column", "select convert(varchar(30), dd, 120) from fd_dated where id = 3", "2024-03-05 10:20:00"},
  {"ConvertStyle121Column", "select convert(varchar(30), dd, 121) from fd_dated where id = 5", "2024-10-01 08:00:00.500"},
  {"ConvertStyle101Day", "select convert(varchar(10), dday, 101) from fd_dated where id = 4", "03/05/2024"},
  {"SevenDigitsStayInTheDay", "select cast('2024-03-05 23:59:59.9999999' as date)", "2024-03-05"},
  {"ConvertMoneyStyle1", "select convert(varchar(30), cast(1234567.891 as money), 1)", "1,234,567.89"},
  {"ConvertMoneyStyle2", "select convert(varchar(30), cast(1234567.891 as money), 2)", "1234567.8910"},
  {"DateTextIsoT", "select count(*) from fd_names where d = '2024-03-01T10:30:00'", "1"},
  // Syntax.
  {"TopInParentheses", "select top (1) coid from fd_doc order by coid desc", "520000000000001"},
  {"TopPercent", "select top 10 percent coid from fd_doc", nullptr, "TOP n PERCENT is not supported"},
  {"AliasEqualsExpression", "select total = qty * 2 from fd_doc where coid = '510000000000001'", "10"},
  {"QuotedAliasWithoutAs", "select x from (select qty 'x' from fd_doc where coid = '510000000000001') t", "5"},
  {"DboPrefixes", "select count(*) from dbo.fd_doc d join [dbo].[fd_line] l on l.parentoid = d.coid", "3"},
  {"SelectWithoutFrom", "select 1 + 1", "2"},
  // Subqueries.
  {"ScalarSubqueryManyRows", "select (select id from fd_names where d is null)", nullptr, "more than"},
  {"ScalarSubqueryCorrelated", "select top 1 (select max(item) m from fd_line l where l.parentoid = d.coid) from fd_doc d order by coid", "nut"},
  {"ScalarSubqueryAliasEquals", "select (select x = name from fd_names where id = 3) + '|'", "ABD|"},
  {"ScalarSubqueryComparedIgnoresCase", "select case when (select name from fd_names where id = 3) = 'abd' then 1 else 0 end", "1"},
  {"ScalarSubqueryOfLiteralIgnoresCase", "select case when (select 'abc') = 'ABC  ' and 'x' = (select 'X ') then 1 else 0 end", "1"},
  {"DerivedTableAfterJoin", "select count(*) from fd_doc d join fd_line l on l.parentoid = d.coid, (select id from fd_names) n", "12"},
  {"InSubqueryAndExists", "select count(*) from fd_doc d where coid in (select parentoid from fd_line) and exists (select 1 from fd_line l where l.parentoid = d.coid)", "2"},
  {"NotInWithNull", "select count(*) from fd_doc where coid not in (select parentoid from fd_line union all select null)", "0"},
  {"EqualsAny", "select count(*) from fd_doc where coid = any (select parentoid from fd_line) and code <> all (select item from fd_line)", "2"},
  {"GreaterThanAll", "select count(*) from fd_doc where qty > all (select amount from fd_line)", "3", "ANY, SOME or ALL is not supported on SQLite", Quirk::kRefusedOnSqlite},
  {"DerivedColumnList", "select sum(b) from (select id, id * 10 from fd_names) as t (a, b)", "100"},
  {"ValuesColumnList", "select max(y) from (values (1, 'a'), (2, 'b')) v (x, y)", "b"},
  // Common table expressions.
  {"SeveralCtes", ";with a as (select id from fd_names), b as (select id from a where id > 2) select count(*) from b", "2"},
  {"RecursiveCte", "with n (i) as (select 1 union all select i + 1 from n where i < 101) select count(*) from n", "101"},
  {"RecursiveCteJoin", "with t as (select iid, iparentid, 0 as lvl from fd_entities where iid = 52 union all select e.iid, e.iparentid, t.lvl + 1 from fd_entities e join t on e.iid = t.iparentid) select max(lvl) from t", "1"},
  {"RecursionPastLimit", "with n (i) as (select 1 union all select i + 1 from n where i < 102) select count(*) from n", nullptr, "maximum recursion 100"},
  {"MaxRecursionOption", "with n as (select 1 as i union all select i + 1 from n where i < 200) select max(i) from n option (maxrecursion 300)", "200"},
  {"MaxRecursionExhausted", "with n as (select 1 as i union all select i + 1 from n where i < 10) select max(i) from n option (maxrecursion 5)", nullptr, "maximum recursion 5"},
  // Set operations and DISTINCT under the default collation.
  {"UnionIgnoresCase", "select count(*) from (select 'abc' as v union select 'ABC') t", "1"},
  {"UnionIgnoresTrailingBlanks", "select count(*) from (select 'abc' as v union select 'abc  ') t", "1"},
  {"UnionColumnsIgnoreTrailingBlanks", "select count(*) from (select name from fd_names where id = 2 union select code from fd_pad) t", "2"},
  {"IntersectColumnsIgnoreTrailingBlanks", "select count(*) from (select code from fd_pad intersect select name from fd_names) t", "2"},
  {"ExceptIgnoresCase", "select count(*) from (select name from fd_names except select 'ABD') t", "2"},
  {"IntersectIgnoresCase", "select count(*) from (select 'a' x intersect select upper('a ')) t", "1"},
  {"UnionAfterCall", "select count(*) from (select upper('a') x union select 'A ') t", "1"},
  {"DistinctCaseAlias", "select count(*) from (select distinct case when id > 2 then 'x' else 'y' end as c from fd_names) t", "2"},
  {"DistinctCaseWithoutAs", "select count(*) from (select distinct case when id > 2 then name end c from fd_names) t", "2"},
  // Orders.
  {"NullsFirstAscending", "select top 1 coalesce(book_name, 'none') from fd_doc order by book_name", "none"},
  {"NullsLastDescending", "select top 1 coalesce(book_name, 'none') from fd_doc order by book_name desc", "b1"},
  {"NullsInWindowOrder", "select rn from (select coid, row_number() over (order by book_name desc) rn from fd_doc) t where coid = '510000000000003'", "1"},
  {"NullsInUnionOrder", "select top 1 coalesce(x, 'none') from (select book_name x from fd_doc union select 'b0') t order by x", "none"},
  {"OrderByPosition", "select top 1 name, id from fd_names order by 2 desc", "abd"},
  {"OrderByCase", "select top 1 id from fd_names order by case when name = 'abd' then 0 else 1 end, id", "3"},
  {"OrderByKeysIgnoreTrailingBlanks", "select top 1 k from (select name n, id k from fd_names where id = 2 union all select code, 0 from fd_pad) t order by n, k desc", "2"},
  {"OrderByAliasKeysIgnoreTrailingBlanks", "select top 1 k from (select k, n as m from (select name n, id k from fd_names where id = 2 union all select code, 0 from fd_pad) u order by m, k desc offset 0 rows) t", "2"},
  {"WindowOrderKeysIgnoreTrailingBlanks", "select k from (select k, row_number() over (order by n, k desc) r from (select name n, id k from fd_names where id = 2 union all select code, 0 from fd_pad) u) t where r = 1", "2"},
  {"TopWithTies", "select count(*) from (select top 1 with ties id from fd_names order by d) t", "2", "TOP n WITH TIES is not supported on SQLite", Quirk::kRefusedOnSqlite},
  {"OffsetFetch", "select id from fd_names order by id offset 1 + 1 rows fetch next (1) rows only", "3"},
  {"OffsetOnly", "select count(*) from (select id from fd_names order by id offset 3 rows) t", "1"},
  // Windows.
  {"RankOverText", "select sum(x) from (select rank() over (order by name) x from fd_names) t", "9"},
  {"DenseRankNtile", "select sum(x) * 10 + max(y) from (select dense_rank() over (order by name) x, ntile(3) over (order by id) y from fd_names) t", "83"},
  {"SumOverFrame", "select max(s) from (select sum(qty) over (order by coid rows between 1 preceding and current row) s from fd_doc) t", "16"},
  {"LagWithDefault", "select lag(qty, 1, -1) over (order by coid) from fd_doc where coid = '510000000000001'", "-1"},
  {"FirstValue", "select top 1 first_value(item) over (partition by parentoid order by amount desc) from fd_line order by lineoid", "bolt"},
  // Grouping.
  {"GroupByHaving", "select count(*) from (select name from fd_names group by name having count(*) > 1) t", "1"},
  {"GroupByRollup", "select count(*) from (select parentoid, sum(amount) s from fd_line group by rollup (parentoid)) t", "3", "GROUP BY ROLLUP is not supported on SQLite", Quirk::kRefusedOnSqlite},
  {"GroupByWithRollup", "select s from (select parentoid, sum(amount) s from fd_line group by parentoid with rollup) t where parentoid is null", "7.5", "GROUP BY ROLLUP is not supported on SQLite", Quirk::kRefusedOnSqlite},
  {"GroupingFunction", "select max(g) from (select grouping(parentoid) g from fd_line group by cube (parentoid)) t", "1", "GROUP BY CUBE is not supported on SQLite", Quirk::kRefusedOnSqlite},
  {"GroupingSets", "select count(*) from (select parentoid, item from fd_line group by grouping sets ((parentoid), (item))) t", "5", "GROUPING SETS is not supported on SQLite", Quirk::kRefusedOnSqlite},
  // Joins.
  {"CrossApply", "select sum(x.n) from fd_doc d cross apply (select count(*) n from fd_line l where l.parentoid = d.coid) x", "3", "CROSS APPLY is not supported on SQLite", Quirk::kRefusedOnSqlite},
  {"OuterApply", "select count(*) from fd_doc d outer apply (select top 1 item from fd_line l where l.parentoid = d.coid order by item) x where x.item is null", "2", "OUTER APPLY is not supported on SQLite", Quirk::kRefusedOnSqlite},
  {"FullOuterJoin", "select count(*) from fd_doc d full outer join fd_line l on l.parentoid = d.coid", "5"},
  // Statements that change rows (the first value of a change is Null, its count the rows).
  {"UpdateFromJoin", "update a set a.memo = b.item from fd_doc a join fd_line b on b.parentoid = a.coid where b.lineoid = 'L3'", kNull},
  {"DeleteFromJoin", "delete a from fd_line a join fd_doc d on d.coid = a.parentoid where d.qty = 7", kNull},
  {"InsertSelect", "insert into fd_pad (code) select name from fd_names where id = 1", kNull},
  {"UpdateWithSubquery", "update fd_doc set qty = (select count(*) from fd_line where parentoid = fd_doc.coid) where coid = '510000000000002'", kNull},
  {"DeleteTop", "delete top (1) from fd_line where amount > 1", kNull},
  {"UpdateTop", "update top (1) fd_doc set memo = 'x' where qty > 5", kNull},
  {"DeleteTopWithJoin", "delete top (1) from fd_line from fd_line l join fd_doc d on d.coid = l.parentoid", nullptr, "DELETE TOP (n) with FROM is not supported"},
  {"KeywordNames", "select limit + raise from (select 1 as limit, 2 as raise) t", "3"},
  {"GroupByColumnIgnoresTrailingBlanks", "select count(*) from (select name, count(*) n from (select name from fd_names where id = 2 union all select code from fd_pad) u group by name) g", "2"},
  {"DistinctColumnIgnoresTrailingBlanks", "select count(*) from (select distinct name from (select name from fd_names where id = 2 union all select code from fd_pad) u) d", "2"},
  {"NullIfIgnoresCase", "select count(*) from fd_names where nullif(name, 'ABD') is null", "2"},
  {"NullIfLiteralsIgnoreCase", "select coalesce(nullif('abc', 'ABC  '), 'none') + nullif('a', 'b')", "nonea"},
  // Standard SQL that must pass through.
  {"ArrayConstructor", "select (ARRAY[1,2,3])[2]", "2", nullptr, Quirk::kPostgresOnly},
  {"ArrayCast", "select array_length('{1,2}'::int[], 1)", "2", nullptr, Quirk::kPostgresOnly},
  {"SubstringFromFor", "select substring('abcdef' from 2 for 3)", "bcd", nullptr, Quirk::kPostgresOnly},
};

// Statements whose first result column must come back under a name as
// written, with the first row's value.
struct ResultNameCase {
  const char* test;
  const char* tsql;
  const char* name;
  const char* first;
};

inline const ResultNameCase kResultNameCases[] = {
  {"Column", "select sCaption from fd_entities where iid = 51", "sCaption", "Sales order"},
  {"QualifiedColumn", "select e.sCaption, iID from fd_entities e where iid = 51 order by sCaption", "sCaption", "Sales order"},
  {"Alias", "select iid as ItemID from fd_entities where iid = 52", "ItemID", "52"},
  {"AliasWithoutAs", "select top 1 iid ItemID from fd_entities order by ItemID desc", "ItemID", "63"},
  {"BracketedColumn", "select [sName] from fd_entities where iid = 63", "sName", "Ledger"},
  {"UnionOrderedByAlias", "select iid as ItemID from fd_entities where iid = 51 union select 1 order by ItemID", "ItemID", "1"},
  {"KeywordAlias", "select iid as Limit from fd_entities where iid = 63", "Limit", "63"},
};
// clang-format on

}  // namespace q6::dialect_test
