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
  {"LikeCyrillicCase", "select count(*) from fd_names where name like N'про%'", "1"},
  {"LikeBackslashIsPlain", "select case when 'a\\b' like 'a\\b' then 1 else 0 end", "1"},
  {"DateTextEqualsDay", "select count(*) from fd_names where d = '2024-02-29'", "1"},
  {"DateTextEqualsCompactDay", "select count(*) from fd_names where d = '20240229'", "1"},
  {"DateTextAtMostDay", "select count(*) from fd_names where d <= '2024-02-29'", "1"},
  {"DateTextAfterDay", "select count(*) from fd_names where d > '2024-02-29'", "1"},
  {"DateTextBetween", "select count(*) from fd_names where d between '20240229' and '2024-03-01'", "1"},
  {"DateTextIsoT", "select count(*) from fd_names where d = '2024-03-01T10:30:00'", "1"},
  // Syntax.
  {"TopInParentheses", "select top (1) coid from fd_doc order by coid desc", "520000000000001"},
  {"TopPercent", "select top 10 percent coid from fd_doc", nullptr, "TOP n PERCENT is not supported"},
  {"AliasEqualsExpression", "select total = qty * 2 from fd_doc where coid = '510000000000001'", "10"},
  {"QuotedAliasWithoutAs", "select x from (select qty 'x' from fd_doc where coid = '510000000000001') t", "5"},
  {"DboPrefixes", "select count(*) from dbo.fd_doc d join [dbo].[fd_line] l on l.parentoid = d.coid", "3"},
  {"SelectWithoutFrom", "select 1 + 1", "2"},
  // Standard SQL that must pass through.
  {"ArrayConstructor", "select (ARRAY[1,2,3])[2]", "2", nullptr, Quirk::kPostgresOnly},
  {"ArrayCast", "select array_length('{1,2}'::int[], 1)", "2", nullptr, Quirk::kPostgresOnly},
  {"SubstringFromFor", "select substring('abcdef' from 2 for 3)", "bcd", nullptr, Quirk::kPostgresOnly},
};
// clang-format on

}  // namespace q6::dialect_test
